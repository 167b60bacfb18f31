#include "matte/word_matte.h"

#include "matte/word_cells.h"

#include <QFileInfo>
#include <QPainterPath>
#include <QRawFont>

#include <algorithm>
#include <cmath>

namespace {

/// DejaVu Sans Bold at one pixel a font unit, unhinted: outlines exactly as drawn in the
/// file, whatever the screen, the rasteriser or the font settings of the machine.
QRawFont wordFont()
{
    if (!QFileInfo::exists(QString::fromLatin1(WordFontFile)))
        return {};
    QRawFont probe(QString::fromLatin1(WordFontFile), 16, QFont::PreferNoHinting);
    if (!probe.isValid())
        return {};
    return QRawFont(QString::fromLatin1(WordFontFile), probe.unitsPerEm(), QFont::PreferNoHinting);
}

} // namespace

WordMatte word_matte(const QString &text, int cols, int rows)
{
    WordMatte out;
    out.word = text.normalized(QString::NormalizationForm_C).simplified();
    const QString &word = out.word;
    const auto refuse = [&out](WordRefusal why) {
        out.refusal = why;
        return out;
    };
    if (word.isEmpty())
        return refuse(WordRefusal::NoLetters);
    const QRawFont font = wordFont();
    if (!font.isValid())
        return refuse(WordRefusal::NoFont);
    for (const char32_t c : word.toUcs4()) {
        const QString one = QString::fromUcs4(&c, 1);
        if (!QChar::isSpace(c) && font.glyphIndexesForString(one).value(0) == 0) {
            out.missing = one;
            return refuse(WordRefusal::MissingLetter);
        }
    }
    const QList<quint32> glyphs = font.glyphIndexesForString(word);
    const QList<QPointF> advances =
        font.advancesForGlyphIndexes(glyphs, QRawFont::SeparateAdvances | QRawFont::KernedAdvances);

    // The word in font units, y down with the baseline at 0, each letter's path kept for its box.
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    QList<QRectF> inkBoxes;
    qreal pen = 0;
    for (qsizetype i = 0; i < glyphs.size(); ++i) {
        const QPainterPath glyph = font.pathForGlyph(glyphs[i]).translated(pen, 0);
        if (!glyph.isEmpty()) {
            path.addPath(glyph);
            inkBoxes << glyph.boundingRect();
        }
        pen += i < advances.size() ? advances[i].x() : 0;
    }
    const QRectF ink = path.boundingRect();
    if (ink.isEmpty())
        return refuse(WordRefusal::NoLetters);

    // The scale that fills the grid one way, and the least that keeps the word legible:
    // its letters, accents left out ('E' for 'É'), at least MinLetterCells tall.
    double letterHeight = 0;
    for (const QChar c : word) {
        const QString bare = c.decomposition().isEmpty() ? QString(c) : c.decomposition().left(1);
        for (const quint32 g : font.glyphIndexesForString(bare))
            letterHeight = std::max(letterHeight, -font.pathForGlyph(g).boundingRect().top());
    }
    const double least = MinLetterCells / std::max(letterHeight, 1.0);
    const double scale = std::min(cols / ink.width(), rows / ink.height());
    if (!(scale >= least)) {
        out.needed = QSize(std::max(cols, int(std::ceil(ink.width() * least))),
                           std::max(rows, int(std::ceil(ink.height() * least))));
        return refuse(WordRefusal::TooSmall);
    }
    const double left = (cols - ink.width() * scale) / 2 - ink.left() * scale;
    const double top = (rows - ink.height() * scale) / 2 - ink.top() * scale;
    const auto toCells = [&](QPointF p) { return OutlinePoint{left + p.x() * scale, top + p.y() * scale}; };

    // Curves are flattened in font units, a tiny fraction of a cell, and only then scaled.
    Outline outline;
    for (const QPolygonF &contour : path.toSubpathPolygons()) {
        std::vector<OutlinePoint> corners;
        corners.reserve(std::size_t(contour.size()));
        for (const QPointF &p : contour)
            corners.push_back(toCells(p));
        outline.push_back(std::move(corners));
    }
    out.inside = fill_outline(outline, cols, rows);
    out.baselineRow = int(std::ceil(top - 0.5)) - 1;
    for (const QRectF &box : inkBoxes) {
        const OutlinePoint a = toCells(box.topLeft()), b = toCells(box.bottomRight());
        const QPoint first(std::clamp(int(std::floor(a.x)), 0, cols - 1), std::clamp(int(std::floor(a.y)), 0, rows - 1));
        const QPoint last(std::clamp(int(std::ceil(b.x)) - 1, 0, cols - 1), std::clamp(int(std::ceil(b.y)) - 1, 0, rows - 1));
        out.letters << QRect(first, last);
    }
    thicken_lines(out.inside);
    out.joins = join_pieces(out.inside, out.baselineRow);
    return out;
}
