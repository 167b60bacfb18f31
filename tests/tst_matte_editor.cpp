#include "matte/acceptance.h"
#include "matte/import_dialog.h"
#include "matte/matte_canvas.h"
#include "matte/matte_colours.h"
#include "matte/matte_editor.h"
#include "matte/matte_picture.h"
#include "matte/matte_widgets.h"
#include "matte/path_check.h"
#include "maze/state.h"

#include <QtTest>
#include <QtWidgets>

#include <functional>
#include <memory>
#include <random>

namespace MC = MatteColour;

namespace {

// What a modal message box said before the test closed it.
struct Message {
    QString text;
    QString title;
    QMessageBox::Icon icon;
};

// Runs `action` while a zero-delay timer answers every modal message box with OK,
// noting what it said. Any other modal dialog still open is rejected, so that a
// dialog that should not have opened fails the test instead of hanging it.
QList<Message> answering(const std::function<void()> &action, const QList<QString> &expectedDialogs = {})
{
    QList<Message> seen;
    QTimer timer;
    timer.setInterval(0);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            seen.append({box->text(), box->windowTitle(), box->icon()});
            box->button(QMessageBox::Ok)->click();
        } else if (auto *dialog = qobject_cast<QDialog *>(modal)) {
            if (!expectedDialogs.contains(dialog->objectName())) {
                seen.append({QStringLiteral("unexpected dialog ") + dialog->objectName(), {}, QMessageBox::NoIcon});
                dialog->done(QDialog::Rejected);
            }
        }
    });
    timer.start();
    action();
    timer.stop();
    return seen;
}

struct Editor {
    MazeState s;
    std::unique_ptr<Form4> f;
    QList<Message> setUpMessages;

    MatteCanvas *canvas() const { return f->canvas(); }
    int cs() const { return f->cellSize(); }
    QPushButton *button(const char *name) const { return f->findChild<QPushButton *>(name); }

    // Widget position of the centre of cell (cx, cy), or of a drawable pixel.
    QPoint cellCentre(int cx, int cy) const { return pixel(cx * cs() + cs() / 2, cy * cs() + cs() / 2); }
    QPoint pixel(int x, int y) const { return {x + canvas()->border(), y + canvas()->border()}; }

    // The colour of a cell, or -2 when its square is not of one colour.
    std::int32_t cell(int cx, int cy) const
    {
        const std::int32_t c = canvas()->point(cx * cs(), cy * cs());
        for (int y = cy * cs(); y < (cy + 1) * cs(); ++y)
            for (int x = cx * cs(); x < (cx + 1) * cs(); ++x)
                if (canvas()->point(x, y) != c)
                    return -2;
        return c;
    }

    void click(int cx, int cy, std::int32_t pen)
    {
        pickPen(pen);
        QTest::mouseClick(canvas(), Qt::LeftButton, {}, cellCentre(cx, cy));
    }

    void pickPen(std::int32_t pen)
    {
        const char *names[] = {"Command5", "Command6", "Command7", "Command8"};
        for (const char *name : names)
            if (button(name)->property("penColour").toInt() == pen)
                button(name)->click();
    }

    // Paints a drawing ('#' paper, '.' maze, 'S' start, 'F' finish) with the pens.
    void paint(const QStringList &rows)
    {
        for (int cy = 0; cy < rows.size(); ++cy)
            for (int cx = 0; cx < rows[cy].size(); ++cx)
                if (rows[cy][cx] == u'#')
                    click(cx, cy, MC::Paper);
        for (int cy = 0; cy < rows.size(); ++cy)
            for (int cx = 0; cx < rows[cy].size(); ++cx) {
                if (rows[cy][cx] == u'S')
                    click(cx, cy, MC::Start);
                if (rows[cy][cx] == u'F')
                    click(cx, cy, MC::Finish);
            }
    }

    QList<Message> ok()
    {
        return answering([this] { button("Command2")->click(); }, {QStringLiteral("Form7")});
    }
};

std::unique_ptr<Editor> openEditor(qint64 cols, qint64 rows, const std::function<void(MazeState &)> &prepare = {})
{
    auto e = std::make_unique<Editor>();
    e->s.MatteCols = cols;
    e->s.MatteRows = rows;
    if (prepare)
        prepare(e->s);
    e->f = std::make_unique<Form4>(e->s);
    e->setUpMessages = answering([&] {
        e->f->show();
        if (!QTest::qWaitForWindowExposed(e->f.get()))
            return;
        QTRY_VERIFY(!e->f->firstActivation());
    });
    return e;
}

// Qt reads GIF but does not write it: a minimal writer for test pictures of up to 256
// colours, any pixel less than half opaque becoming the transparent index 0. The LZW
// stream holds only single-pixel codes, with a clear code often enough to keep every
// code nine bits wide.
bool saveGif(const QImage &source, const QString &path)
{
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    QList<QRgb> palette{qRgb(255, 255, 255)};
    QByteArray indices;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (qAlpha(p) < 128) {
                indices += char(0);
                continue;
            }
            qsizetype i = palette.indexOf(p | 0xFF000000, 1);
            if (i < 0) {
                palette.append(p | 0xFF000000);
                i = palette.size() - 1;
            }
            if (i > 255)
                return false;
            indices += char(i);
        }
    QByteArray out("GIF89a");
    auto word = [&](int v) { out += char(v & 0xFF); out += char(v >> 8 & 0xFF); };
    word(image.width());
    word(image.height());
    out += char(0xF7);
    out += char(0);
    out += char(0);
    for (int i = 0; i < 256; ++i) {
        const QRgb c = i < palette.size() ? palette[i] : 0;
        out += char(qRed(c));
        out += char(qGreen(c));
        out += char(qBlue(c));
    }
    out += QByteArray("\x21\xF9\x04\x01\x00\x00\x00\x00", 8);
    out += char(0x2C);
    word(0);
    word(0);
    word(image.width());
    word(image.height());
    out += char(0);
    out += char(8);

    QByteArray data;
    quint32 bits = 0;
    int count = 0;
    auto code = [&](int c) {
        bits |= quint32(c) << count;
        count += 9;
        while (count >= 8) {
            data += char(bits & 0xFF);
            bits >>= 8;
            count -= 8;
        }
    };
    for (qsizetype i = 0; i < indices.size(); ++i) {
        if (i % 250 == 0)
            code(256);
        code(uchar(indices[i]));
    }
    code(257);
    if (count > 0)
        data += char(bits & 0xFF);
    for (qsizetype i = 0; i < data.size(); i += 255) {
        const QByteArray block = data.mid(i, 255);
        out += char(block.size());
        out += block;
    }
    out += char(0);
    out += char(0x3B);

    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(out) == out.size();
}

bool savePicture(const QImage &image, const QString &path)
{
    if (path.endsWith(QStringLiteral(".gif")))
        return saveGif(image, path);
    return image.save(path, nullptr, 95);
}

QString packedName(std::int32_t c)
{
    return QStringLiteral("0x%1").arg(quint32(c), 6, 16, QLatin1Char('0'));
}

// A matte as the canvas shows it, one letter per cell.
QStringList picture(const Editor &e)
{
    QStringList rows;
    for (int cy = 0; cy < e.s.MatteRows; ++cy) {
        QString row;
        for (int cx = 0; cx < e.s.MatteCols; ++cx) {
            switch (e.cell(cx, cy)) {
            case MC::Maze: row += u'.'; break;
            case MC::Paper: row += u'#'; break;
            case MC::Start: row += u'S'; break;
            case MC::Finish: row += u'F'; break;
            case MC::Linked: row += u'*'; break;
            default: row += u'?'; break;
            }
        }
        rows << row;
    }
    return rows;
}

QStringList filled(int cols, int rows, QChar c)
{
    return QStringList(rows, QString(cols, c));
}

CellMap paperOf(const QStringList &rows)
{
    CellMap m(int(rows.first().size()), int(rows.size()));
    for (int cy = 0; cy < rows.size(); ++cy)
        for (int cx = 0; cx < rows[cy].size(); ++cx)
            m.set(cx, cy, rows[cy][cx] == u'#');
    return m;
}

bool sameBlocked(const NodeGrid &a, const NodeGrid &b)
{
    if (a.width() != b.width() || a.height() != b.height())
        return false;
    for (int y = 0; y <= a.height(); ++y)
        for (int x = 0; x <= a.width(); ++x)
            if (a.blocked(x, y) != b.blocked(x, y))
                return false;
    return true;
}

// Chooses a file in the import dialog once it is up, checks the preview, and presses
// Import (or Cancel when `file` is empty). A file that is not listed cancels.
void chooseInDialog(const QString &dir, const QString &file, bool *previewShown = nullptr)
{
    auto *waiting = new QTimer;
    waiting->setInterval(0);
    QObject::connect(waiting, &QTimer::timeout, [=] {
        auto *d = qobject_cast<Form5 *>(QApplication::activeModalWidget());
        if (!d)
            return;
        waiting->stop();
        waiting->deleteLater();
        d->setDirectory(dir);
        auto *list = d->findChild<QListWidget *>("File1");
        const auto items = list->findItems(file, Qt::MatchExactly);
        if (file.isEmpty() || items.isEmpty()) {
            d->findChild<QPushButton *>("Command1")->click();
            return;
        }
        list->setCurrentItem(items.first());
        if (previewShown) {
            const QPixmap shown = d->findChild<QLabel *>("Image1")->pixmap();
            *previewShown = !shown.isNull() && d->findChild<QPushButton *>("Command2")->isEnabled();
        }
        d->findChild<QPushButton *>("Command2")->click();
    });
    waiting->start();
}

} // namespace

class TestMatteEditor : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void windowsCarryTheirNamesAndCaptions();
    void setUpFitsAndCentresTheCanvas_data();
    void setUpFitsAndCentresTheCanvas();
    void gridTooLargeLeavesAnInertEditor();
    void cellCountsBelowOneAreRefused();
    void redrawsAnAcceptedMatte();
    void acceptedMatteOfOtherDimensionsIsNotRead_data();
    void acceptedMatteOfOtherDimensionsIsNotRead();
    void pensShowTheirColours();
    void startAndFinishPens();
    void mazeAndPaperPensUnsetPoints();
    void dragging_data();
    void dragging();
    void clearAndInvert();
    void invertIgnoresClicksUntilDone();
    void closingInTheMiddleOfInvert();
    void cancelAndTitleBarClose();
    void okRefusesMissingPoints_data();
    void okRefusesMissingPoints();
    void okAcceptsTheThreeByThreeMatte();
    void okNoDirectPath();
    void okAgreesWithHeadlessAcceptance();
    void pathCheckWindow_data();
    void pathCheckWindow();
    void pathCheckAtOnePixelPerCell();
    void importEachFormat_data();
    void importEachFormat();
    void importSamplesCellCentres();
    void importThresholds();
    void importLargePhoto();
    void importIgnoresClicksUntilDone();
    void importCancelledChangesNothing();
    void commandLineReadsPicturesAsTheEditorDoes();
    void importOfAFileThatNoLongerLoads();
    void importDialogLists();
    void importDialogRefusesBrokenPictures();

private:
    QTemporaryDir pictures_;
};

void TestMatteEditor::initTestCase()
{
    QVERIFY(pictures_.isValid());
}

void TestMatteEditor::windowsCarryTheirNamesAndCaptions()
{
    auto e = openEditor(50, 70);
    Form4 &f = *e->f;
    QCOMPARE(f.objectName(), QStringLiteral("Form4"));
    QCOMPARE(f.windowTitle(), QStringLiteral("Matte editor"));
    const QList<std::pair<const char *, const char *>> buttons{
        {"Command3", "Import picture"}, {"Command4", "Clear matte"}, {"Command9", "Invert matte"},
        {"Command5", "Maze"},           {"Command6", "Paper"},       {"Command7", "Start"},
        {"Command8", "Finish"},         {"Command2", "Ok"},          {"Command1", "Cancel"}};
    for (const auto &[name, caption] : buttons)
        QCOMPARE(e->button(name)->text(), QString::fromLatin1(caption));
    QCOMPARE(f.findChild<QGroupBox *>("Frame1")->title(), QStringLiteral("Matte"));
    QCOMPARE(f.findChild<QGroupBox *>("Frame2")->title(), QStringLiteral("Pen colour"));
    QCOMPARE(f.findChild<QLabel *>("Label1")->text(), QStringLiteral("Current pen"));
    QCOMPARE(f.findChild<QCheckBox *>("Check1")->text(), QStringLiteral("Remove unused areas"));
    QVERIFY(!f.findChild<QCheckBox *>("Check1")->isChecked());
    QVERIFY(f.findChild<QWidget *>("Shape1"));
    QVERIFY(f.findChild<QWidget *>("Line1"));
    QVERIFY(!f.findChild<QLabel *>("Label2")->isVisible());
    QVERIFY(!f.findChild<QLabel *>("Picture2")->isVisible());
    QCOMPARE(f.findChild<MatteCanvas *>("Picture1"), e->canvas());
    QCOMPARE(e->canvas()->parentWidget(), f.findChild<QGroupBox *>("Frame1"));
    // Every pen button lies inside the pen frame.
    for (const char *name : {"Command5", "Command6", "Command7", "Command8"})
        QCOMPARE(e->button(name)->parentWidget(), f.findChild<QGroupBox *>("Frame2"));
    // Every control of the right-hand column lies inside the window and shows its
    // caption whole.
    for (QWidget *w : f.findChildren<QWidget *>()) {
        if (!w->isVisible() || w->parentWidget() != &f)
            continue;
        QVERIFY2(f.rect().contains(w->geometry()), qPrintable(w->objectName()));
        if (auto *b = qobject_cast<QAbstractButton *>(w))
            QVERIFY2(b->fontMetrics().horizontalAdvance(b->text()) < b->width(), qPrintable(w->objectName()));
    }

    QLabel target;
    Form5 dialog(&target);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Image import"));
    QCOMPARE(dialog.findChild<QGroupBox *>("Frame1")->title(), QStringLiteral("Location of picture to import"));
    QCOMPARE(dialog.findChild<QGroupBox *>("Frame2")->title(), QStringLiteral("Preview"));
    QCOMPARE(dialog.findChild<QPushButton *>("Command2")->text(), QStringLiteral("Import"));
    QCOMPARE(dialog.findChild<QPushButton *>("Command1")->text(), QStringLiteral("Cancel"));
    QVERIFY(!dialog.findChild<QPushButton *>("Command2")->isEnabled());
    for (const char *name : {"Drive1", "Dir1", "File1", "Image1"})
        QVERIFY2(dialog.findChild<QWidget *>(name), name);

    Form7 check(*e->canvas(), e->cs(), 50, 70, {2, 2});
    QCOMPARE(check.windowTitle(), QStringLiteral("Matte editor"));
    QCOMPARE(check.findChild<QGroupBox *>("Frame1")->title(), QStringLiteral("Matte cleanup routine"));
    QCOMPARE(check.findChild<QLabel *>("Label2")->text(), QStringLiteral("0 nodes successfully linked to"));
    QStringList pair;
    for (QLabel *l : check.findChildren<QLabel *>("Label1"))
        pair << l->text();
    QCOMPARE(pair, (QStringList{"Checking for a complete path from start to finish.", "Please wait..."}));
}

void TestMatteEditor::setUpFitsAndCentresTheCanvas_data()
{
    QTest::addColumn<int>("cols");
    QTest::addColumn<int>("rows");
    QTest::newRow("50 x 70 default") << 50 << 70;
    QTest::newRow("1 x 1") << 1 << 1;
    QTest::newRow("10 x 10") << 10 << 10;
    QTest::newRow("wide 300 x 7") << 300 << 7;
    QTest::newRow("one pixel per cell across") << 445 << 3;
    QTest::newRow("one pixel per cell down") << 2 << 405;
}

void TestMatteEditor::setUpFitsAndCentresTheCanvas()
{
    QFETCH(int, cols);
    QFETCH(int, rows);
    MazeState fresh;
    const QSize design = Form4(fresh).canvas()->drawableSize();
    QCOMPARE(design, QSize(445, 405));

    auto e = openEditor(cols, rows, [](MazeState &s) { s.FinishX = s.FinishY = 6; });
    QVERIFY(e->setUpMessages.isEmpty());
    // The largest cell that fits, found by trying the next one up.
    const int cs = e->cs();
    QVERIFY(cs >= 1);
    QVERIFY(cs * cols <= design.width() && cs * rows <= design.height());
    QVERIFY((cs + 1) * cols > design.width() || (cs + 1) * rows > design.height());
    QCOMPARE(e->canvas()->drawableSize(), QSize(cs * cols, cs * rows));

    const QWidget *frame = e->f->findChild<QGroupBox *>("Frame1");
    const QRect g = e->canvas()->geometry();
    QCOMPARE(g.x(), (frame->width() - g.width()) / 2);
    QCOMPARE(g.y(), (frame->height() - g.height()) / 2 + 4);
    QVERIFY(frame->rect().contains(g));

    // A fresh matte: all blue, no point, even though a finish was set before.
    QCOMPARE(picture(*e), filled(cols, rows, u'.'));
    QCOMPARE(e->s.StartX, -1);
    QCOMPARE(e->s.FinishX, -1);
    QCOMPARE(e->s.FinishY, -1);
    QCOMPARE(e->f->penColour(), MC::Maze);
    QCOMPARE(static_cast<FilledCircle *>(e->f->findChild<QWidget *>("Shape1"))->fillColour(), MC::Maze);

    // What the screen shows is what the canvas holds.
    const QImage shown = e->canvas()->grab().toImage();
    QCOMPARE(fromQRgb(shown.pixel(e->pixel(0, 0))), MC::Maze);
    QCOMPARE(fromQRgb(shown.pixel(e->pixel(cs * cols - 1, cs * rows - 1))), MC::Maze);
}

void TestMatteEditor::gridTooLargeLeavesAnInertEditor()
{
    auto e = openEditor(446, 10, [](MazeState &s) {
        s.StartX = 4;
        s.StartY = 4;
        s.UseMatte = true;
    });
    QCOMPARE(e->setUpMessages.size(), 1);
    QCOMPARE(e->setUpMessages[0].text,
             QStringLiteral("The maze size is too large for the matte editor to handle. Please use less nodes."));
    QCOMPARE(e->setUpMessages[0].title, QStringLiteral("Corvanthel"));
    QCOMPARE(e->setUpMessages[0].icon, QMessageBox::NoIcon);
    QCOMPARE(e->cs(), 0);
    const QImage before = e->canvas()->image();
    QCOMPARE(before.size(), QSize(445, 405));

    // The canvas and every command that needs cells stay inert: no message, no dialog,
    // no change.
    const QList<Message> after = answering([&] {
        QTest::mouseClick(e->canvas(), Qt::LeftButton, {}, QPoint(20, 20));
        e->pickPen(MC::Start);
        QTest::mouseClick(e->canvas(), Qt::LeftButton, {}, QPoint(20, 20));
        for (const char *name : {"Command4", "Command9", "Command3", "Command2"})
            e->button(name)->click();
        e->f->Form_Activate();
    });
    QVERIFY2(after.isEmpty(), qPrintable(after.value(0).text));
    QCOMPARE(e->canvas()->image(), before);
    QCOMPARE(e->s.StartX, 4);
    QVERIFY(e->s.UseMatte);
    QVERIFY(e->f->isVisible());
    e->button("Command1")->click();
    QVERIFY(!e->s.UseMatte);
    QVERIFY(!e->f->isVisible());
}

void TestMatteEditor::cellCountsBelowOneAreRefused()
{
    MazeState s;
    for (auto [cols, rows] : {std::pair{0, 5}, std::pair{5, 0}, std::pair{-3, -3}, std::pair{0, 0}}) {
        s.MatteCols = cols;
        s.MatteRows = rows;
        QVERIFY(!Form4::checkCellCounts(s).isEmpty());
    }
    s.MatteCols = s.MatteRows = 1;
    QVERIFY(Form4::checkCellCounts(s).isEmpty());
    s.MatteCols = 100000;
    QVERIFY(Form4::checkCellCounts(s).isEmpty());  // too large is the set-up's message

    // Opened anyway, the editor says so and stays inert instead of looping.
    auto e = openEditor(0, 0);
    QCOMPARE(e->setUpMessages.size(), 1);
    QCOMPARE(e->setUpMessages[0].text, Form4::checkCellCounts(e->s));
    QCOMPARE(e->cs(), 0);
}

void TestMatteEditor::redrawsAnAcceptedMatte()
{
    const QStringList matte{"#..#", ".S..", "..#F"};
    auto prepare = [&](MazeState &s) {
        accept_matte(paperOf(matte), {4, 4}, {8, 6}, false, s.grid);
        s.StartX = 4;
        s.StartY = 4;
        s.FinishX = 8;
        s.FinishY = 6;
        s.UseMatte = true;
    };
    auto e = openEditor(4, 3, prepare);
    QCOMPARE(picture(*e), matte);
    QCOMPARE(e->s.StartX, 4);
    QCOMPARE(e->s.FinishX, 8);

    // An unset finish leaves no red marker.
    auto noFinish = openEditor(4, 3, [&](MazeState &s) {
        prepare(s);
        s.FinishX = s.FinishY = -1;
    });
    QCOMPARE(picture(*noFinish), (QStringList{"#..#", ".S..", "..#."}));
}

void TestMatteEditor::acceptedMatteOfOtherDimensionsIsNotRead_data()
{
    QTest::addColumn<int>("gridWidth");
    QTest::addColumn<int>("gridHeight");
    QTest::addColumn<int>("startX");
    QTest::newRow("grid of a smaller maze") << 5 << 5 << 4;
    QTest::newRow("grid never allocated") << -1 << -1 << 4;
    QTest::newRow("start beyond the cells") << 9 << 7 << 10;
    QTest::newRow("start on a wall node") << 9 << 7 << 3;
}

void TestMatteEditor::acceptedMatteOfOtherDimensionsIsNotRead()
{
    QFETCH(int, gridWidth);
    QFETCH(int, gridHeight);
    QFETCH(int, startX);
    auto e = openEditor(4, 3, [&](MazeState &s) {
        if (gridWidth >= 0)
            s.grid.allocate(gridWidth, gridHeight);
        s.StartX = std::int16_t(startX);
        s.StartY = 2;
        s.FinishX = s.FinishY = 2;
    });
    QVERIFY(e->setUpMessages.isEmpty());
    QCOMPARE(picture(*e), filled(4, 3, u'.'));
    QCOMPARE(e->s.StartX, -1);
    QCOMPARE(e->s.FinishX, -1);
}

void TestMatteEditor::pensShowTheirColours()
{
    auto e = openEditor(10, 10);
    auto *shape = static_cast<FilledCircle *>(e->f->findChild<QWidget *>("Shape1"));
    for (auto [name, colour] : {std::pair{"Command5", MC::Maze}, std::pair{"Command6", MC::Paper},
                                std::pair{"Command7", MC::Start}, std::pair{"Command8", MC::Finish}}) {
        QPushButton *b = e->button(name);
        const QImage face = b->grab().toImage();
        QCOMPARE(packedName(fromQRgb(face.pixel(4, face.height() / 2))), packedName(colour));
        b->click();
        QCOMPARE(e->f->penColour(), colour);
        QCOMPARE(shape->fillColour(), colour);
        const QImage circle = shape->grab().toImage();
        QCOMPARE(packedName(fromQRgb(circle.pixel(circle.width() / 2, circle.height() / 2))), packedName(colour));
    }
}

void TestMatteEditor::startAndFinishPens()
{
    auto e = openEditor(6, 5);
    e->click(1, 1, MC::Paper);

    // Start on a blue cell.
    e->click(2, 3, MC::Start);
    QCOMPARE(e->s.StartX, 6);
    QCOMPARE(e->s.StartY, 8);
    QCOMPARE(e->cell(2, 3), MC::Start);

    // On white paper, and on itself, nothing happens.
    e->click(1, 1, MC::Start);
    e->click(2, 3, MC::Start);
    QCOMPARE(e->s.StartX, 6);
    QCOMPARE(e->cell(1, 1), MC::Paper);
    QCOMPARE(e->cell(2, 3), MC::Start);

    // The finish cannot go on the start, and the start cannot go on the finish.
    e->click(2, 3, MC::Finish);
    QCOMPARE(e->s.FinishX, -1);
    e->click(5, 4, MC::Finish);
    QCOMPARE(e->s.FinishX, 12);
    QCOMPARE(e->s.FinishY, 10);
    e->click(5, 4, MC::Start);
    QCOMPARE(e->s.StartX, 6);
    QCOMPARE(e->cell(5, 4), MC::Finish);

    // Moving the start turns the old cell blue again: one start, one finish at most.
    e->click(0, 0, MC::Start);
    QCOMPARE(e->s.StartX, 2);
    QCOMPARE(e->s.StartY, 2);
    QCOMPARE(e->cell(2, 3), MC::Maze);
    QCOMPARE(picture(*e), (QStringList{"S.....", ".#....", "......", "......", ".....F"}));

    // Clicks just inside the canvas edge land in the last cells.
    QTest::mouseClick(e->canvas(), Qt::LeftButton, {}, e->pixel(6 * e->cs() - 1, 5 * e->cs() - 1));
    QCOMPARE(e->s.StartX, 2);  // the finish cell is red, not blue
    QTest::mouseClick(e->canvas(), Qt::LeftButton, {}, e->pixel(6 * e->cs() - 1, 0));
    QCOMPARE(e->s.StartX, 12);
    QCOMPARE(e->s.StartY, 2);
}

void TestMatteEditor::mazeAndPaperPensUnsetPoints()
{
    auto e = openEditor(5, 5);
    e->click(1, 1, MC::Start);
    e->click(3, 3, MC::Finish);

    e->click(1, 1, MC::Paper);
    QCOMPARE(e->s.StartX, -1);
    QCOMPARE(e->s.StartY, -1);
    QCOMPARE(e->s.FinishX, 8);
    QCOMPARE(e->cell(1, 1), MC::Paper);

    e->click(3, 3, MC::Maze);
    QCOMPARE(e->s.FinishX, -1);
    QCOMPARE(e->s.FinishY, -1);
    QCOMPARE(e->cell(3, 3), MC::Maze);

    // Paper over paper, maze over maze: the cell keeps its colour, nothing else moves.
    e->click(1, 1, MC::Paper);
    e->click(0, 0, MC::Maze);
    QCOMPARE(picture(*e), (QStringList{".....", ".#...", ".....", ".....", "....."}));
}

void TestMatteEditor::dragging_data()
{
    QTest::addColumn<QList<int>>("buttons");  // pressed in this order, all held
    QTest::addColumn<std::int32_t>("pen");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("left drag paints one cell per position")
        << QList<int>{Qt::LeftButton} << MC::Paper << QStringList{"#.#.#.", "......", "......"};
    QTest::newRow("right drag paints nothing") << QList<int>{Qt::RightButton} << MC::Paper << filled(6, 3, u'.');
    QTest::newRow("middle drag paints nothing") << QList<int>{Qt::MiddleButton} << MC::Paper << filled(6, 3, u'.');
    QTest::newRow("left then right: the press paints, the drag not")
        << QList<int>{Qt::LeftButton, Qt::RightButton} << MC::Paper << QStringList{"#.....", "......", "......"};
    QTest::newRow("right then left: the left press paints, the drag not")
        << QList<int>{Qt::RightButton, Qt::LeftButton} << MC::Paper << QStringList{"#.....", "......", "......"};
    QTest::newRow("start pen drag moves the start along blue cells")
        << QList<int>{Qt::LeftButton} << MC::Start << QStringList{"....S.", "......", "......"};
}

void TestMatteEditor::dragging()
{
    QFETCH(QList<int>, buttons);
    QFETCH(std::int32_t, pen);
    QFETCH(QStringList, expected);
    auto e = openEditor(6, 3);
    e->pickPen(pen);
    for (int b : buttons)
        QTest::mousePress(e->canvas(), Qt::MouseButton(b), {}, e->cellCentre(0, 0));
    // Positions two cells apart: the cells between are not filled in.
    QTest::mouseMove(e->canvas(), e->cellCentre(2, 0));
    QTest::mouseMove(e->canvas(), e->cellCentre(4, 0));
    // Outside the canvas, negative positions included: nothing is drawn there, nothing breaks.
    QTest::mouseMove(e->canvas(), QPoint(-40, -40));
    QTest::mouseMove(e->canvas(), QPoint(e->canvas()->width() + 30, 5));
    for (int b : buttons)
        QTest::mouseRelease(e->canvas(), Qt::MouseButton(b), {}, QPoint(-40, -40));
    // A move with no button held paints nothing.
    QTest::mouseMove(e->canvas(), e->cellCentre(1, 2));
    QCOMPARE(picture(*e), expected);
    if (pen == MC::Start) {
        QCOMPARE(e->s.StartX, 10);
        QCOMPARE(e->s.StartY, 2);
    }
}

void TestMatteEditor::clearAndInvert()
{
    auto e = openEditor(7, 4);
    e->paint({"#.#....", "..S....", "....#..", "F....##"});
    const QStringList painted = picture(*e);

    e->button("Command9")->click();
    QCOMPARE(picture(*e), (QStringList{".#.####", "#######", "####.##", "#####.."}));
    QCOMPARE(e->s.StartX, -1);
    QCOMPARE(e->s.FinishX, -1);
    e->button("Command9")->click();
    QStringList back = painted;
    back[1][2] = u'.';
    back[3][0] = u'.';
    QCOMPARE(picture(*e), back);

    e->paint({".......", "S......", ".......", "......F"});
    e->button("Command4")->click();
    QCOMPARE(picture(*e), filled(7, 4, u'.'));
    QCOMPARE(e->s.StartX, -1);
    QCOMPARE(e->s.StartY, -1);
    QCOMPARE(e->s.FinishX, -1);
    QCOMPARE(e->s.FinishY, -1);
    e->button("Command9")->click();
    QCOMPARE(picture(*e), filled(7, 4, u'#'));
}

void TestMatteEditor::invertIgnoresClicksUntilDone()
{
    // Every tenth column yields to the event loop; clicks that arrive then on the
    // canvas and on the commands that rewrite it must not leave a cell in two colours.
    auto e = openEditor(9, 9);  // 45 pixels a cell: several yields within each cell
    e->paint({"#########", "#.......#", "#.S...F.#", "#.......#", "#########", ".........", ".........",
              ".........", "........."});
    int arrivals = 0;
    QTimer intruder;
    intruder.setInterval(0);
    connect(&intruder, &QTimer::timeout, [&] {
        if (++arrivals > 3)
            return;
        QTest::mouseClick(e->canvas(), Qt::LeftButton, {}, e->cellCentre(4, 4));
        e->pickPen(MC::Maze);
        QTest::mouseClick(e->canvas(), Qt::LeftButton, {}, e->cellCentre(4, 6));
        e->button("Command4")->click();
        e->button("Command9")->click();
        e->button("Command2")->click();
    });
    e->pickPen(MC::Paper);
    const QList<Message> messages = answering([&] {
        intruder.start();
        e->button("Command9")->click();
        intruder.stop();
    });
    QVERIFY(arrivals >= 3);
    QVERIFY2(messages.isEmpty(), qPrintable(messages.value(0).text));
    QCOMPARE(picture(*e), (QStringList{".........", ".#######.", ".#######.", ".#######.", ".........",
                                       "#########", "#########", "#########", "#########"}));
    QCOMPARE(e->s.StartX, -1);
    QCOMPARE(e->s.FinishX, -1);
    // The pen buttons stayed live: the last pen chosen in the middle holds.
    QCOMPARE(e->f->penColour(), MC::Maze);

    // Once done, the editor answers again.
    e->click(4, 6, MC::Maze);
    QCOMPARE(e->cell(4, 6), MC::Maze);
}

void TestMatteEditor::closingInTheMiddleOfInvert()
{
    auto e = openEditor(9, 9, [](MazeState &s) {
        accept_matte(CellMap(9, 9), {2, 2}, {18, 18}, false, s.grid);
        s.StartX = s.StartY = 2;
        s.FinishX = s.FinishY = 18;
        s.UseMatte = true;
    });
    e->click(4, 4, MC::Start);
    QTimer::singleShot(0, e->f.get(), [&] { e->f->close(); });
    e->button("Command9")->click();
    QVERIFY(!e->f->isVisible());
    QCOMPARE(e->f->result(), int(QDialog::Rejected));
    // A title-bar close puts back the points the editor opened with; the interrupted
    // inversion does not unset them afterwards.
    QCOMPARE(e->s.StartX, 2);
    QCOMPARE(e->s.StartY, 2);
    QCOMPARE(e->s.FinishX, 18);
    QVERIFY(e->s.UseMatte);
}

void TestMatteEditor::cancelAndTitleBarClose()
{
    for (bool useMatte : {false, true}) {
        auto e = openEditor(4, 4, [&](MazeState &s) { s.UseMatte = useMatte; });
        e->paint({"S...", "....", "....", "...F"});
        e->button("Command1")->click();
        QVERIFY(!e->f->isVisible());
        QVERIFY(!e->s.UseMatte);
        // Cancel leaves the points as painted: the main window clears them.
        QCOMPARE(e->s.StartX, 2);
        QCOMPARE(e->s.FinishX, 8);
    }

    // From the title bar: UseMatte as it was, and the matte in force as it was.
    const QStringList accepted{"S.#.", "..#.", "....", "...F"};
    for (bool useMatte : {false, true}) {
        auto e = openEditor(4, 4, [&](MazeState &s) {
            accept_matte(paperOf(accepted), {2, 2}, {8, 8}, false, s.grid);
            s.StartX = s.StartY = 2;
            s.FinishX = s.FinishY = 8;
            s.UseMatte = useMatte;
        });
        NodeGrid before;
        accept_matte(paperOf(accepted), {2, 2}, {8, 8}, false, before);
        QCOMPARE(picture(*e), accepted);
        // Moving the points and failing an Ok changes the state while the editor is open...
        e->click(1, 3, MC::Start);
        e->click(2, 0, MC::Maze);
        e->click(1, 0, MC::Paper);
        e->click(1, 1, MC::Paper);
        e->click(0, 1, MC::Paper);
        e->click(2, 2, MC::Paper);
        e->click(0, 0, MC::Finish);
        QCOMPARE(e->s.StartX, 4);
        const QList<Message> failed = e->ok();
        QCOMPARE(failed.size(), 1);
        QCOMPARE(failed[0].title, QStringLiteral("No direct path"));
        QVERIFY(!sameBlocked(e->s.grid, before));
        // ...and closing from the title bar puts it back.
        QVERIFY(e->f->close());
        QVERIFY(!e->f->isVisible());
        QCOMPARE(e->s.UseMatte, useMatte);
        QCOMPARE(e->s.StartX, 2);
        QCOMPARE(e->s.StartY, 2);
        QCOMPARE(e->s.FinishX, 8);
        QCOMPARE(e->s.FinishY, 8);
        QVERIFY(sameBlocked(e->s.grid, before));
    }
}

void TestMatteEditor::okRefusesMissingPoints_data()
{
    QTest::addColumn<QStringList>("matte");
    QTest::addColumn<QString>("message");
    QTest::newRow("neither") << QStringList{"...", "..."} << "Please choose start and finish points.";
    QTest::newRow("finish only") << QStringList{"..F", "..."} << "Please choose a start point.";
    QTest::newRow("start only") << QStringList{"S..", "..."} << "Please choose a finish point.";
}

void TestMatteEditor::okRefusesMissingPoints()
{
    QFETCH(QStringList, matte);
    QFETCH(QString, message);
    auto e = openEditor(3, 2, [](MazeState &s) {
        s.grid.allocate(11, 11);
        s.grid.set(5, 5, NodeGrid::Blocked);
    });
    e->paint(matte);
    const QList<Message> seen = e->ok();
    QCOMPARE(seen.size(), 1);
    QCOMPARE(seen[0].text, message);
    QCOMPARE(seen[0].title, QStringLiteral("Corvanthel"));
    QCOMPARE(seen[0].icon, QMessageBox::NoIcon);
    QVERIFY(e->f->isVisible());
    QCOMPARE(e->s.grid.width(), 11);
    QVERIFY(e->s.grid.blocked(5, 5));
    QVERIFY(!e->s.UseMatte);
    QCOMPARE(picture(*e), matte);
}

void TestMatteEditor::okAcceptsTheThreeByThreeMatte()
{
    auto e = openEditor(3, 3);
    e->paint({"##.", "...", "F.S"});
    QSignalSpy closed(e->f.get(), &QDialog::finished);
    QVERIFY(e->ok().isEmpty());
    QCOMPARE(closed.size(), 1);
    QCOMPARE(closed[0][0].toInt(), int(QDialog::Accepted));
    QVERIFY(e->s.UseMatte);
    QVERIFY(!e->f->isVisible());
    // The path check's marks stay on the canvas: every maze cell is black.
    QCOMPARE(picture(*e), (QStringList{"##*", "***", "***"}));

    NodeGrid expected;
    expected.allocate(7, 7);
    for (int x = 1; x <= 4; ++x)
        for (int y = 1; y <= 2; ++y)
            expected.set(x, y, NodeGrid::Blocked);
    QVERIFY(sameBlocked(e->s.grid, expected));
    QCOMPARE(e->s.StartX, 6);
    QCOMPARE(e->s.FinishX, 2);
}

void TestMatteEditor::okNoDirectPath()
{
    auto e = openEditor(5, 3, [](MazeState &s) { s.UseMatte = true; });
    e->f->findChild<QCheckBox *>("Check1")->setChecked(true);
    e->paint({"S.#..", "..#..", "..#.F"});
    e->click(4, 0, MC::Start);  // a click that leaves the Start pen chosen
    e->click(0, 0, MC::Start);
    const QList<Message> seen = e->ok();
    QCOMPARE(seen.size(), 1);
    QCOMPARE(seen[0].text,
             QStringLiteral("There must be a complete (blue) path from the start point to the finish point."));
    QCOMPARE(seen[0].title, QStringLiteral("No direct path"));
    QCOMPARE(seen[0].icon, QMessageBox::Critical);
    QVERIFY(e->f->isVisible());
    QVERIFY(e->s.UseMatte);
    // Repainted from Blocked: no black left, the markers back, Maze the pen again.
    QCOMPARE(picture(*e), (QStringList{"S.#..", "..#..", "..#.F"}));
    QCOMPARE(e->f->penColour(), MC::Maze);
    // Blocked holds the matte as read, without Remove unused areas.
    NodeGrid expected;
    accept_matte(paperOf({"S.#..", "..#..", "..#.F"}), {2, 2}, {10, 6}, false, expected);
    QVERIFY(sameBlocked(e->s.grid, expected));
    QVERIFY(!e->s.grid.blocked(8, 2));

    // Mending the path then accepts, and removes what the start cannot reach: the
    // corner cell cut off by two paper cells.
    e->click(2, 2, MC::Maze);
    e->click(3, 0, MC::Paper);
    e->click(4, 1, MC::Paper);
    QVERIFY(e->ok().isEmpty());
    QVERIFY(!e->f->isVisible());
    QVERIFY(e->s.UseMatte);
    QVERIFY(e->s.grid.blocked(10, 2));
    QVERIFY(e->s.grid.blocked(11, 2));
    QVERIFY(!e->s.grid.blocked(10, 6));
}

void TestMatteEditor::okAgreesWithHeadlessAcceptance()
{
    // The editor and the command line must build the same Blocked from the same matte.
    std::mt19937 rng(11);
    int accepted = 0;
    for (int round = 0; round < 24; ++round) {
        const int cols = 3 + int(rng() % 9), rows = 3 + int(rng() % 9);
        QStringList rowsText;
        for (int cy = 0; cy < rows; ++cy) {
            QString row;
            for (int cx = 0; cx < cols; ++cx)
                row += rng() % 10 < 4 ? u'#' : u'.';
            rowsText << row;
        }
        const int sx = int(rng() % cols), sy = int(rng() % rows);
        int fx = int(rng() % cols), fy = int(rng() % rows);
        if (fx == sx && fy == sy)
            fx = (fx + 1) % cols;
        rowsText[sy][sx] = u'S';
        rowsText[fy][fx] = u'F';
        const bool removeUnused = round % 2;

        NodeGrid headless;
        const MatteOutcome outcome = accept_matte(paperOf(rowsText), {2 * sx + 2, 2 * sy + 2},
                                                  {2 * fx + 2, 2 * fy + 2}, removeUnused, headless);
        auto e = openEditor(cols, rows);
        e->f->findChild<QCheckBox *>("Check1")->setChecked(removeUnused);
        e->paint(rowsText);
        const QList<Message> seen = e->ok();
        QCOMPARE(!e->f->isVisible(), outcome.accepted());
        QCOMPARE(e->s.UseMatte, outcome.accepted());
        QCOMPARE(seen.size(), outcome.accepted() ? 0 : 1);
        QVERIFY2(sameBlocked(e->s.grid, headless), qPrintable(rowsText.join(u'/')));
        accepted += outcome.accepted();
    }
    // Both outcomes were exercised.
    QVERIFY(accepted >= 4 && accepted <= 20);
}

void TestMatteEditor::pathCheckWindow_data()
{
    QTest::addColumn<QStringList>("matte");
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<QStringList>("after");
    QTest::newRow("no paper: the whole canvas turns black")
        << QStringList{"S...", "....", "...F"}
        << QStringList{"11 nodes successfully linked to", "11 nodes successfully linked to"}
        << QStringList{"****", "****", "****"};
    QTest::newRow("start walled in")
        << QStringList{".#..", "#S#.", ".#.F"} << QStringList{"0 nodes successfully linked to"}
        << QStringList{".#..", "#*#.", ".#.F"};
    QTest::newRow("sideways then down: one sweep")
        << QStringList{"S...", "###.", "###F"}
        << QStringList{"5 nodes successfully linked to", "5 nodes successfully linked to"}
        << QStringList{"****", "###*", "###*"};
    QTest::newRow("down then sideways: two sweeps")
        << QStringList{"S###", ".###", "...F"}
        << QStringList{"2 nodes successfully linked to", "5 nodes successfully linked to",
                       "5 nodes successfully linked to"}
        << QStringList{"*###", "*###", "****"};
    QTest::newRow("corner contact keeps the other region's colours")
        << QStringList{"S.#", "..#", "##F"}
        << QStringList{"3 nodes successfully linked to", "3 nodes successfully linked to"}
        << QStringList{"**#", "**#", "##F"};
}

void TestMatteEditor::pathCheckWindow()
{
    QFETCH(QStringList, matte);
    QFETCH(QStringList, labels);
    QFETCH(QStringList, after);
    auto e = openEditor(int(matte.first().size()), int(matte.size()));
    e->paint(matte);
    const QImage before = e->canvas()->image();

    Form7 check(*e->canvas(), e->cs(), int(matte.first().size()), int(matte.size()),
                {e->s.StartX, e->s.StartY}, e->f.get());
    QLabel *counter = check.findChild<QLabel *>("Label2");
    QStringList shown;
    connect(&check, &Form7::swept, [&] { shown << counter->text(); });
    QCOMPARE(check.exec(), int(QDialog::Accepted));
    QVERIFY(!check.isVisible());
    QCOMPARE(shown, labels);
    QCOMPARE(check.sweeps(), labels.size());
    QCOMPARE(picture(*e), after);

    // Only the linked cells' squares changed, and they are wholly black.
    const QImage now = e->canvas()->image();
    for (int y = 0; y < now.height(); ++y)
        for (int x = 0; x < now.width(); ++x)
            if (now.pixel(x, y) != before.pixel(x, y))
                QCOMPARE(after[y / e->cs()][x / e->cs()], QChar(u'*'));

    // A second activation does not run the check again.
    check.Form_Activate();
    QCOMPARE(check.sweeps(), labels.size());
}

void TestMatteEditor::pathCheckAtOnePixelPerCell()
{
    auto e = openEditor(445, 2);
    QCOMPARE(e->cs(), 1);
    e->click(3, 0, MC::Start);
    e->click(100, 1, MC::Paper);
    e->click(101, 0, MC::Paper);
    e->click(101, 1, MC::Paper);
    e->click(444, 1, MC::Finish);
    QVERIFY(!e->ok().isEmpty());  // the paper column cuts the path
    e->click(101, 0, MC::Maze);
    QVERIFY(e->ok().isEmpty());
    QCOMPARE(e->canvas()->point(444, 1), MC::Linked);
    QCOMPARE(e->canvas()->point(100, 1), MC::Paper);
    QCOMPARE(e->canvas()->point(101, 0), MC::Linked);
}

void TestMatteEditor::importEachFormat_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::newRow("bmp") << "bmp";
    QTest::newRow("gif") << "gif";
    QTest::newRow("jpg") << "jpg";
    QTest::newRow("jpeg") << "jpeg";
}

void TestMatteEditor::importEachFormat()
{
    QFETCH(QString, suffix);
    // Black on the left two thirds, white on the right third, a white band on top.
    QImage image(90, 60, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter(&image).fillRect(60, 0, 30, 60, Qt::white);
    QPainter(&image).fillRect(0, 0, 90, 10, Qt::white);
    const QString name = QStringLiteral("drawing.") + suffix;
    QVERIFY(savePicture(image, pictures_.filePath(name)));

    auto e = openEditor(9, 6);
    e->click(0, 5, MC::Finish);
    e->click(1, 5, MC::Start);  // the pen stays Start through the import
    bool previewShown = false;
    chooseInDialog(pictures_.path(), name, &previewShown);
    const QList<Message> seen =
        answering([&] { e->button("Command3")->click(); }, {QStringLiteral("Form5")});
    QVERIFY2(seen.isEmpty(), qPrintable(seen.value(0).text));
    QVERIFY(previewShown);
    QCOMPARE(picture(*e), (QStringList{"#########", "......###", "......###", "......###", "......###",
                                       "......###"}));
    QCOMPARE(e->s.StartX, -1);
    QCOMPARE(e->s.FinishX, -1);
    QCOMPARE(e->f->penColour(), MC::Start);
    QCOMPARE(e->f->findChild<QLabel *>("Label2")->text(), QDir::toNativeSeparators(pictures_.filePath(name)));
    // A click on a blue cell still places the start.
    e->click(2, 3, MC::Start);
    QCOMPARE(e->s.StartX, 6);
}

void TestMatteEditor::importSamplesCellCentres()
{
    // 100 x 100 onto 50 x 70 cells: white exactly on the pixels the import samples
    // (odd columns, rows floor((cy + 0.5) x 100 / 70)), black elsewhere. Any other
    // sample position finds black.
    QImage image(100, 100, QImage::Format_RGB32);
    image.fill(Qt::black);
    for (int cy = 0; cy < 70; ++cy)
        for (int x = 1; x < 100; x += 2)
            image.setPixel(x, (2 * cy + 1) * 100 / 140, qRgb(255, 255, 255));
    QVERIFY(image.save(pictures_.filePath("grid.bmp")));
    // The same picture moved one pixel right: no sample is white any more.
    QImage shifted(100, 100, QImage::Format_RGB32);
    shifted.fill(Qt::black);
    QPainter(&shifted).drawImage(1, 0, image);
    QVERIFY(shifted.save(pictures_.filePath("shifted.bmp")));

    auto e = openEditor(50, 70);
    chooseInDialog(pictures_.path(), "grid.bmp");
    answering([&] { e->button("Command3")->click(); }, {QStringLiteral("Form5")});
    QCOMPARE(picture(*e), filled(50, 70, u'#'));

    chooseInDialog(pictures_.path(), "shifted.bmp");
    answering([&] { e->button("Command3")->click(); }, {QStringLiteral("Form5")});
    QCOMPARE(picture(*e), filled(50, 70, u'.'));
}

void TestMatteEditor::importThresholds()
{
    const QList<std::pair<QColor, QChar>> samples{
        {QColor(204, 204, 204), u'#'}, {QColor(203, 203, 203), u'.'}, {QColor(255, 255, 203), u'.'},
        {QColor(0, 0, 255), u'#'},     {QColor(255, 0, 0), u'.'},     {QColor(0, 255, 0), u'.'},
        {QColor(255, 255, 0), u'.'},   {QColor(255, 255, 255), u'#'}, {QColor(0, 0, 0), u'.'},
        {QColor(0, 205, 204), u'#'}};
    QImage image(int(samples.size()) * 10, 10, QImage::Format_RGB32);
    QString expected;
    for (int i = 0; i < samples.size(); ++i) {
        QPainter(&image).fillRect(i * 10, 0, 10, 10, samples[i].first);
        expected += samples[i].second;
    }
    QVERIFY(image.save(pictures_.filePath("greys.bmp")));
    // Transparency is read as the white paper beneath it.
    QImage clear(20, 10, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    QPainter(&clear).fillRect(10, 0, 10, 10, Qt::black);
    QVERIFY(saveGif(clear, pictures_.filePath("clear.gif")));

    auto e = openEditor(int(samples.size()), 1);
    chooseInDialog(pictures_.path(), "greys.bmp");
    answering([&] { e->button("Command3")->click(); }, {QStringLiteral("Form5")});
    QCOMPARE(picture(*e), QStringList{expected});

    auto t = openEditor(2, 1);
    chooseInDialog(pictures_.path(), "clear.gif");
    answering([&] { t->button("Command3")->click(); }, {QStringLiteral("Form5")});
    QCOMPARE(picture(*t), QStringList{"#."});
}

void TestMatteEditor::importLargePhoto()
{
    // A photo-like 3000 x 2000 picture: a smooth gradient, noise and a dark disc.
    QImage photo(3000, 2000, QImage::Format_RGB32);
    std::mt19937 rng(3);
    for (int y = 0; y < photo.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(photo.scanLine(y));
        for (int x = 0; x < photo.width(); ++x) {
            const int base = 255 * x / photo.width();
            const int noise = int(rng() % 21) - 10;
            const int v = std::clamp(base + noise, 0, 255);
            line[x] = qRgb(v, std::clamp(v + 5, 0, 255), std::clamp(v - 5, 0, 255));
        }
    }
    {
        QPainter p(&photo);
        p.setBrush(Qt::black);
        p.drawEllipse(QPoint(2500, 1000), 300, 300);
    }
    QVERIFY(photo.save(pictures_.filePath("photo.jpg"), "JPG", 90));
    const QImage decoded(pictures_.filePath("photo.jpg"));
    QCOMPARE(decoded.size(), QSize(3000, 2000));

    auto e = openEditor(60, 40);
    bool previewShown = false;
    chooseInDialog(pictures_.path(), "photo.jpg", &previewShown);
    answering([&] { e->button("Command3")->click(); }, {QStringLiteral("Form5")});
    QVERIFY(previewShown);
    // Each cell follows its own centre pixel of the decoded picture.
    for (int cy = 0; cy < 40; ++cy)
        for (int cx = 0; cx < 60; ++cx) {
            const QRgb p = decoded.pixel((2 * cx + 1) * 3000 / 120, (2 * cy + 1) * 2000 / 80);
            const bool light = qBlue(p) != 204 ? qBlue(p) > 204 : qGreen(p) != 204 ? qGreen(p) > 204 : qRed(p) >= 204;
            QCOMPARE(e->cell(cx, cy), light ? MC::Paper : MC::Maze);
        }
    // The disc is maze in the middle of the light side.
    QCOMPARE(e->cell(50, 20), MC::Maze);
    QCOMPARE(e->cell(59, 0), MC::Paper);
}

void TestMatteEditor::commandLineReadsPicturesAsTheEditorDoes()
{
    QImage drawing(37, 23, QImage::Format_ARGB32);
    std::mt19937 rng(5);
    for (int y = 0; y < drawing.height(); ++y)
        for (int x = 0; x < drawing.width(); ++x)
            drawing.setPixel(x, y, qRgba(int(rng() % 256), int(rng() % 256), 150 + int(rng() % 70),
                                         rng() % 2 ? 255 : int(rng() % 256)));
    QVERIFY(drawing.save(pictures_.filePath("noise.png")));

    auto e = openEditor(13, 11);
    chooseInDialog(pictures_.path(), "noise.png");
    answering([&] { e->button("Command3")->click(); }, {QStringLiteral("Form5")});
    // The file list does not offer PNG: nothing was imported.
    QCOMPARE(picture(*e), filled(13, 11, u'.'));

    QVERIFY(QFile::copy(pictures_.filePath("noise.png"), pictures_.filePath("noise.bmp")));
    chooseInDialog(pictures_.path(), "noise.bmp");
    answering([&] { e->button("Command3")->click(); }, {QStringLiteral("Form5")});
    const QImage loaded = load_matte_picture(pictures_.filePath("noise.bmp"));
    QCOMPARE(loaded.size(), QSize(37, 23));
    const CellMap paper = sample_matte_picture(loaded, 13, 11);
    QVERIFY(paper.count() > 10 && paper.count() < 13 * 11 - 10);
    for (int cy = 0; cy < 11; ++cy)
        for (int cx = 0; cx < 13; ++cx)
            QCOMPARE(e->cell(cx, cy), paper.at(cx, cy) ? MC::Paper : MC::Maze);

    QFile junk(pictures_.filePath("junk.gif"));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("GIF89a, or not");
    junk.close();
    QString error;
    QVERIFY(load_matte_picture(junk.fileName(), &error).isNull());
    QVERIFY2(error.startsWith(QStringLiteral("cannot read junk.gif: ")), qPrintable(error));
    QVERIFY(load_matte_picture(pictures_.filePath("absent.bmp"), &error).isNull());
    QVERIFY2(error.startsWith(QStringLiteral("cannot read absent.bmp: ")), qPrintable(error));
}

void TestMatteEditor::importIgnoresClicksUntilDone()
{
    // Stripes: paper on even rows of cells. A start placed on a blue cell of a row not
    // yet imported would be painted over and left dangling.
    QImage stripes(80, 80, QImage::Format_RGB32);
    stripes.fill(Qt::black);
    for (int band = 0; band < 8; band += 2)
        QPainter(&stripes).fillRect(0, band * 10, 80, 10, Qt::white);
    QVERIFY(stripes.save(pictures_.filePath("stripes.bmp")));

    auto e = openEditor(8, 8);
    int arrivals = 0;
    QTimer intruder;
    intruder.setInterval(0);
    connect(&intruder, &QTimer::timeout, [&] {
        if (QApplication::activeModalWidget() || ++arrivals > 3)
            return;
        e->click(3, 7, MC::Start);
        e->click(5, 6, MC::Paper);
        e->button("Command4")->click();
        e->button("Command9")->click();
    });
    chooseInDialog(pictures_.path(), "stripes.bmp");
    const QList<Message> seen = answering([&] {
        intruder.start();
        e->button("Command3")->click();
        intruder.stop();
    }, {QStringLiteral("Form5")});
    QVERIFY2(seen.isEmpty(), qPrintable(seen.value(0).text));
    QVERIFY(arrivals >= 3);
    QCOMPARE(picture(*e), (QStringList{"########", "........", "########", "........", "########", "........",
                                       "########", "........"}));
    QCOMPARE(e->s.StartX, -1);
}

void TestMatteEditor::importCancelledChangesNothing()
{
    QImage white(10, 10, QImage::Format_RGB32);
    white.fill(Qt::white);
    QVERIFY(white.save(pictures_.filePath("white.bmp")));

    auto e = openEditor(4, 4);
    e->paint({"#...", ".S..", "...F", "...."});
    e->pickPen(MC::Paper);
    const QImage before = e->canvas()->image();
    chooseInDialog(pictures_.path(), QString());
    const QList<Message> seen = answering([&] { e->button("Command3")->click(); }, {QStringLiteral("Form5")});
    QVERIFY(seen.isEmpty());
    QCOMPARE(e->canvas()->image(), before);
    QCOMPARE(e->s.StartX, 4);
    QCOMPARE(e->s.FinishX, 8);
    QCOMPARE(e->f->penColour(), MC::Paper);
    QVERIFY(e->f->findChild<QLabel *>("Label2")->text().isEmpty());
    QVERIFY(!e->f->firstActivation());
}

void TestMatteEditor::importOfAFileThatNoLongerLoads()
{
    QImage white(10, 10, QImage::Format_RGB32);
    white.fill(Qt::white);
    const QString path = pictures_.filePath("vanishing.bmp");
    QVERIFY(white.save(path));

    auto e = openEditor(4, 4);
    e->paint({"#...", ".S..", "...F", "...."});
    const QImage before = e->canvas()->image();
    // The preview loads; then the file is spoilt before the editor reads it.
    QTimer waiting;
    waiting.setInterval(0);
    connect(&waiting, &QTimer::timeout, [&] {
        auto *d = qobject_cast<Form5 *>(QApplication::activeModalWidget());
        if (!d)
            return;
        waiting.stop();
        d->setDirectory(pictures_.path());
        auto *list = d->findChild<QListWidget *>("File1");
        list->setCurrentItem(list->findItems("vanishing.bmp", Qt::MatchExactly).first());
        QFile spoilt(path);
        QVERIFY(spoilt.open(QIODevice::WriteOnly | QIODevice::Truncate));
        spoilt.write("not a picture any more");
        spoilt.close();
        d->findChild<QPushButton *>("Command2")->click();
    });
    waiting.start();
    const QList<Message> seen = answering([&] { e->button("Command3")->click(); }, {QStringLiteral("Form5")});
    QCOMPARE(seen.size(), 1);
    QCOMPARE(seen[0].text, QStringLiteral("The picture format is invalid - try another."));
    QCOMPARE(seen[0].title, QStringLiteral("Corvanthel"));
    QCOMPARE(e->canvas()->image(), before);
    QCOMPARE(e->s.StartX, 4);
    QCOMPARE(e->s.FinishX, 8);
}

void TestMatteEditor::importDialogLists()
{
    QDir dir(pictures_.path());
    QVERIFY(dir.mkpath("lists/sub one"));
    QVERIFY(dir.cd("lists"));
    QImage pixel(4, 4, QImage::Format_RGB32);
    pixel.fill(Qt::black);
    for (const char *name : {"b.bmp", "a.gif", "C.JPG", "d.jpeg", "e.png", "f.txt", "g.bmp.txt"}) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        pixel.save(&file, "BMP");
    }

    QLabel target(QStringLiteral("untouched"));
    Form5 d(&target);
    QCOMPARE(d.directory(), QDir::currentPath());
    auto *drives = d.findChild<QComboBox *>("Drive1");
    auto *dirs = d.findChild<QListWidget *>("Dir1");
    auto *files = d.findChild<QListWidget *>("File1");
    auto *import = d.findChild<QPushButton *>("Command2");
    auto *preview = d.findChild<QLabel *>("Image1");
    QVERIFY(drives->count() >= 1);
    QCOMPARE(drives->currentData().toString(), QStorageInfo(QDir::currentPath()).rootPath());

    d.setDirectory(dir.path());
    QStringList names;
    for (int i = 0; i < files->count(); ++i)
        names << files->item(i)->text();
    QCOMPARE(names, (QStringList{"a.gif", "b.bmp", "C.JPG", "d.jpeg"}));
    QCOMPARE(dirs->currentItem()->text().trimmed(), QStringLiteral("lists"));
    QCOMPARE(dirs->item(dirs->count() - 1)->text().trimmed(), QStringLiteral("sub one"));
    QVERIFY(!import->isEnabled());

    files->setCurrentRow(1);
    QVERIFY(import->isEnabled());
    QVERIFY(!preview->pixmap().isNull());
    QCOMPARE(d.selectedPath(), QDir::toNativeSeparators(dir.filePath("b.bmp")));

    // Entering a subdirectory from the list empties the preview and disables Import.
    emit dirs->itemActivated(dirs->item(dirs->count() - 1));
    QCOMPARE(d.directory(), dir.filePath("sub one"));
    QCOMPARE(files->count(), 0);
    QVERIFY(!import->isEnabled());
    QVERIFY(preview->pixmap().isNull());
    QVERIFY(d.selectedPath().isEmpty());

    // At the root the path gets no doubled separator.
    d.setDirectory(QDir::rootPath());
    QCOMPARE(d.directory(), QDir::rootPath());
    if (files->count() > 0) {
        files->setCurrentRow(0);
        QCOMPARE(d.selectedPath(), QDir::toNativeSeparators(QDir::rootPath() + files->item(0)->text()));
    }

    // A place that cannot be read (a drive without a medium): empty lists, no Import.
    d.setDirectory(dir.filePath("no such directory"));
    QCOMPARE(dirs->count(), 0);
    QCOMPARE(files->count(), 0);
    QVERIFY(!import->isEnabled());
    // Every mounted volume can be chosen without trouble.
    for (int i = 0; i < drives->count(); ++i) {
        drives->setCurrentIndex(i);
        d.Drive1_Change(i);
        QVERIFY(!import->isEnabled());
    }

    // Cancel hands nothing back.
    d.Command1_Click();
    QCOMPARE(target.text(), QStringLiteral("untouched"));
    QCOMPARE(d.result(), int(QDialog::Rejected));
}

void TestMatteEditor::importDialogRefusesBrokenPictures()
{
    QDir dir(pictures_.path());
    QVERIFY(dir.mkpath("broken"));
    QVERIFY(dir.cd("broken"));
    QImage good(8, 8, QImage::Format_RGB32);
    good.fill(Qt::red);
    QVERIFY(saveGif(good, dir.filePath("a-good.gif")));
    QFile bad(dir.filePath("b-bad.jpg"));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("\xff\xd8\xff garbage");
    bad.close();

    QLabel target;
    Form5 d(&target);
    d.setDirectory(dir.path());
    auto *files = d.findChild<QListWidget *>("File1");
    auto *import = d.findChild<QPushButton *>("Command2");
    files->setCurrentRow(0);
    QVERIFY(import->isEnabled());
    const QList<Message> seen = answering([&] { files->setCurrentRow(1); });
    QCOMPARE(seen.size(), 1);
    QCOMPARE(seen[0].text, QStringLiteral("The picture format is invalid - try another."));
    QCOMPARE(seen[0].title, QStringLiteral("Corvanthel"));
    QCOMPARE(seen[0].icon, QMessageBox::NoIcon);
    // Import cannot hand back the broken file the preview does not show.
    QVERIFY(!import->isEnabled());
    d.Command2_Click();
    QVERIFY(target.text().isEmpty());

    files->setCurrentRow(0);
    QVERIFY(import->isEnabled());
    d.Command2_Click();
    QCOMPARE(target.text(), QDir::toNativeSeparators(dir.filePath("a-good.gif")));
    QCOMPARE(d.result(), int(QDialog::Accepted));
}

QTEST_MAIN(TestMatteEditor)
#include "tst_matte_editor.moc"
