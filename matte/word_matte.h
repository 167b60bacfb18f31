#pragma once

#include "matte/cell_map.h"

#include <QList>
#include <QRect>
#include <QSize>
#include <QString>

/// Where the word's font, DejaVu Sans Bold, is read from (Debian's fonts-dejavu-core).
inline constexpr char WordFontFile[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

/// The least height of a word above its baseline, in cells, that still reads as letters;
/// the font's strokes are then over 2 cells thick.
inline constexpr int MinLetterCells = 10;

/// Why a word makes no matte.
enum class WordRefusal {
    None,
    NoLetters,      // empty, or spaces only
    NoFont,         // DejaVu Sans Bold is not installed
    MissingLetter,  // the font has no letter for a character of the word
    TooSmall,       // its letters would stand under MinLetterCells cells tall
};

/// A word laid over a grid of cells as a matte, or why it makes none.
struct WordMatte {
    CellMap inside;        ///< the word's cells, one joined region; 0 x 0 when refused
    CellMap joins;         ///< those of them that join its pieces rather than draw letters
    QList<QRect> letters;  ///< each letter's ink box in cells, in reading order
    int baselineRow = -1;  ///< the row of cells just above the baseline, the letters' feet
    WordRefusal refusal = WordRefusal::None;
    QString word;          ///< as drawn: spaces squeezed, accents composed
    QString missing;       ///< the character the font lacks (MissingLetter)
    QSize needed;          ///< the least grid, in cells, the word reads on (TooSmall)

    bool ok() const { return refusal == WordRefusal::None; }
};

/// The word in DejaVu Sans Bold over cols x rows cells: scaled, its proportions kept, until
/// it fills the grid across or down, centred, a cell in it when the letters' outline holds
/// the cell's centre; lines one cell thin are widened, and the pieces joined along the
/// baseline. The outlines come
/// unhinted straight from the font file, so the cells are the same on every machine.
/// Refuses an empty word, a missing font, a letter the font lacks, and a word whose letters
/// would stand under MinLetterCells cells tall (with the size it needs).
WordMatte word_matte(const QString &word, int cols, int rows);
