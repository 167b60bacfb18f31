#include "matte/acceptance.h"
#include "matte/completion.h"
#include "matte/far_points.h"
#include "matte/import_dialog.h"
#include "matte/matte_canvas.h"
#include "matte/matte_colours.h"
#include "matte/matte_editor.h"
#include "matte/matte_model.h"
#include "matte/matte_widgets.h"
#include "matte/path_check.h"
#include "matte/matte_picture.h"
#include "matte/shapes.h"
#include "matte/word_matte.h"
#include "maze/state.h"
#include "tests/matte_drawing.h"
#include "tests/support.h"

#include <QtTest>
#include <QtWidgets>

#include <functional>
#include <memory>

namespace MC = MatteColour;
Q_DECLARE_METATYPE(MatteVerdict)

namespace {

QTemporaryDir pictures;
const QList<int> unset{-1, -1, -1, -1};
const QString question = QStringLiteral("Corvanthel (icon %1): ").arg(QMessageBox::Question);
const QString clearQuestion =
    question + "Clear the whole matte? Every cell becomes maze, and the start and finish are removed.";
const QString replaceQuestion = question + "Replace the painting with the picture? The start and finish go with it, "
                                           "unless the picture was saved with its own.";
const QString discardQuestion = question + "The matte has changed. Close the editor and lose the changes?";

// Runs `action` while a zero-delay timer answers every message box with OK, and every question with its
// accepting button (its other one unless `agree`), noting "title (icon): text" and calling `beforeOk`, and
// hands the dialog named `expected` to `handle`. Any other dialog is rejected and noted.
QStringList answering(const std::function<void()> &action, const QString &expected = {},
                      const std::function<void(QDialog *)> &handle = {}, const std::function<void()> &beforeOk = {},
                      bool agree = true)
{
    QStringList seen;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            const QString icon = box->icon() ? QStringLiteral(" (icon %1)").arg(box->icon()) : QString();
            seen << box->windowTitle() + icon + ": " + box->text();
            if (beforeOk)
                beforeOk();
            QAbstractButton *answer = box->button(QMessageBox::Ok);
            for (QAbstractButton *b : box->buttons())
                if (!answer && (box->buttonRole(b) == QMessageBox::AcceptRole) == agree)
                    answer = b;
            answer->click();
        } else if (auto *dialog = qobject_cast<QDialog *>(modal); dialog && dialog->objectName() != expected) {
            seen << QStringLiteral("unexpected dialog ") + dialog->objectName();
            dialog->reject();
        } else if (dialog && handle) {
            handle(dialog);
        }
    });
    timer.start();
    action();
    return seen;
}

// "w x h: (x, y) ..." for the nodes of a w x h grid for which `in` holds.
QString nodes(int w, int h, const std::function<bool(int, int)> &in)
{
    QStringList s{QStringLiteral("%1 x %2:").arg(w).arg(h)};
    for (int y = 0; y <= h; ++y)
        for (int x = 0; x <= w; ++x)
            if (in(x, y))
                s << QStringLiteral("(%1, %2)").arg(x).arg(y);
    return s.join(u' ');
}

QString blockedNodes(const NodeGrid &g)
{
    return nodes(g.width(), g.height(), [&](int x, int y) { return g.blocked(x, y); });
}

// The counter of every path-check window the editor opens, after each sweep.
struct SweepSpy : QObject {
    QStringList shown;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::ChildPolished)
            if (auto *check = qobject_cast<Form7 *>(static_cast<QChildEvent *>(event)->child()))
                connect(check, &Form7::swept, this,
                        [this, check] { shown << check->countLabel->text(); });
        return false;
    }
};

// An editor opened on a cols x rows matte, after `prepare` has set up the state.
struct Editor {
    MazeState s;
    std::unique_ptr<Form4> f;
    QStringList setUpMessages;

    Editor(qint64 cols, qint64 rows, const std::function<void(MazeState &)> &prepare = {})
    {
        s.MatteCols = cols;
        s.MatteRows = rows;
        if (prepare)
            prepare(s);
        f = std::make_unique<Form4>(s);
        setUpMessages = answering([&] {
            f->show();
            QVERIFY(QTest::qWaitForWindowExposed(f.get()));
            QTRY_VERIFY(!f->firstActivation());
        });
    }
    MatteCanvas *canvas() const { return f->matteCanvas; }
    int cs() const { return f->cellSize(); }
    QList<int> points() const { return {s.StartX, s.StartY, s.FinishX, s.FinishY}; }
    QPoint centre(int x, int y) const { return QPoint(x, y) * cs() + QPoint(1, 1) * (canvas()->border() + cs() / 2); }

    // The canvas as it paints, one letter a cell: '.' maze, '#' paper, 'S' start, 'F' finish, '*' linked,
    // '?' not of one colour.
    QStringList picture() const
    {
        const QHash<std::int32_t, QChar> letters{
            {MC::Maze, u'.'}, {MC::Paper, u'#'}, {MC::Start, u'S'}, {MC::Finish, u'F'}, {MC::Linked, u'*'}};
        const QImage shown = canvas()->grab(canvas()->contentsRect()).toImage().convertToFormat(QImage::Format_RGB32);
        QStringList rows(s.MatteRows);
        for (int cy = 0; cy < s.MatteRows; ++cy)
            for (int cx = 0; cx < s.MatteCols; ++cx) {
                const QImage square = shown.copy(cx * cs(), cy * cs(), cs(), cs());
                QImage plain(square.size(), square.format());
                plain.fill(square.pixel(0, 0));
                rows[cy] += square == plain ? letters.value(fromQRgb(square.pixel(0, 0)), u'?') : u'?';
            }
        return rows;
    }

    void click(int cx, int cy, std::int32_t pen)
    {
        const QHash<std::int32_t, QPushButton *> pens{
            {MC::Maze, f->mazePen}, {MC::Paper, f->paperPen}, {MC::Start, f->startPen}, {MC::Finish, f->finishPen}};
        pens.value(pen)->click();
        QTest::mouseClick(canvas(), Qt::LeftButton, {}, centre(cx, cy));
    }

    // Paints a drawing with the pens: paper first, then the start and the finish.
    void paint(const QStringList &rows)
    {
        for (const auto &[letter, pen] : {std::pair{u'#', MC::Paper}, {u'S', MC::Start}, {u'F', MC::Finish}})
            for (int cy = 0; cy < rows.size(); ++cy)
                for (int cx = 0; cx < rows[cy].size(); ++cx)
                    if (rows[cy][cx] == letter)
                        click(cx, cy, pen);
    }
};

// How the canvas should show a matte of maze cells `inside` with its two points.
QStringList shownAs(const CellMap &inside, MatteCell start, MatteCell finish)
{
    QStringList rows;
    for (int cy = 0; cy < inside.rows(); ++cy) {
        QString row;
        for (int cx = 0; cx < inside.cols(); ++cx)
            row += MatteCell{cx, cy} == start ? u'S' : MatteCell{cx, cy} == finish ? u'F' : inside.at(cx, cy) ? u'.' : u'#';
        rows << row;
    }
    return rows;
}

// A drawing ('#' paper, '.' maze, 'S' start, 'F' finish; rows joined by '/'), then the node rectangles
// excluded, the cells linked, the sweeps run.
struct OkCase {
    QString drawing;
    QList<QRect> excluded;
    int linked, sweeps;
    MatteVerdict verdict = MatteVerdict::Accepted;
    bool removeUnused = false;
};

} // namespace

Q_DECLARE_METATYPE(OkCase)

class TestMatteEditor : public QObject {
    Q_OBJECT
private slots:
    void setUp_data();
    void setUp();
    void pensInvertAndClear();
    void ok_data();
    void ok();
    void importPictures_data();
    void importPictures();
    void damagedPicturesAreRefused_data();
    void damagedPicturesAreRefused();
    void keyboardPaintsAndSaysWhatItDoes();
    void escapeAsksWhenThePaintingChanged();
    void zoomMakesALargeMatteEditable();
    void savedMatteImportsAsItWas();
    void savingFailsCleanly();
    void importDialogListsEveryFormatAndTakesATypedPath();
    void shapesFillTheMatteUndoably_data();
    void shapesFillTheMatteUndoably();
    void wordsFillTheMatteOnEnter();
    void placingPointsPutsThemFarApart();
};

void TestMatteEditor::setUp_data()
{
    // Blocked 9 nodes wide holds the 4 x 3 matte; `shown` is the rows joined by '/', or the message shown.
    QTest::addColumn<int>("cols");
    QTest::addColumn<int>("gridWidth");
    QTest::addColumn<QList<int>>("points");
    QTest::addColumn<QString>("shown");
    const QList<int> set{4, 4, 8, 6};
    QTest::newRow("accepted matte") << 4 << 9 << set << "#..#/.S../..#F";
    QTest::newRow("no finish") << 4 << 9 << QList<int>{4, 4, -1, -1} << "#..#/.S../..#.";
    QTest::newRow("stale Blocked of a smaller maze") << 4 << 5 << set << "..../..../....";
    QTest::newRow("too large: CellSize 0")
        << 446 << 9 << set << "The maze size is too large for the matte editor to handle. Please use less nodes.";
    QTest::newRow("no cells across") << 0 << 9 << set << "The matte needs at least one cell across and one cell down.";
}

void TestMatteEditor::setUp()
{
    QFETCH(int, cols);
    QFETCH(int, gridWidth);
    QFETCH(QList<int>, points);
    QFETCH(QString, shown);
    Editor e(cols, 3, [&](MazeState &s) {
        accept_matte(painted("#..#/.S../..#F"), false, s.grid);
        if (gridWidth != 9)
            s.grid.allocate(gridWidth, gridWidth);
        s.StartX = std::int16_t(points[0]), s.StartY = std::int16_t(points[1]);
        s.FinishX = std::int16_t(points[2]), s.FinishY = std::int16_t(points[3]);
        s.UseMatte = true;
    });
    // Edit Matte refuses counts below one before opening; too large is the set-up's to say.
    QCOMPARE(Form4::checkCellCounts(e.s), cols > 0 ? QString() : shown);
    if (cols == 4) {
        QCOMPARE(e.setUpMessages, QStringList());
        QCOMPARE(e.picture(), shown.split(u'/'));
        QCOMPARE(e.points(), shown.contains(u'S') ? points : unset);
        QCOMPARE(e.f->penColour(), MC::Maze);
        return;
    }
    QCOMPARE(e.setUpMessages, QStringList{"Corvanthel: " + shown});
    QCOMPARE(e.cs(), 0);
    // Then whatever needs cells does nothing: no message, no dialog, no change.
    const QImage before = e.canvas()->grab().toImage();
    const auto useAll = [&] {
        e.click(0, 0, MC::Paper), e.click(0, 0, MC::Start);
        for (QPushButton *b : {e.f->clearButton, e.f->invertButton, e.f->importButton, e.f->okButton})
            b->click();
    };
    QCOMPARE(answering(useAll), QStringList());
    QCOMPARE(e.canvas()->grab().toImage(), before);
    QCOMPARE(e.points(), points);
    e.f->cancelButton->click();
    QVERIFY(!e.f->isVisible());
    QVERIFY(!e.s.UseMatte);
}

void TestMatteEditor::pensInvertAndClear()
{
    Editor e(6, 5);
    const QStringList painted{"......", ".#....", "..S...", "......", ".....F"};
    e.paint(painted);
    // Start and Finish go on blue cells only: not on paper, not on each other.
    e.click(1, 1, MC::Start);
    e.click(5, 4, MC::Start);
    e.click(2, 2, MC::Finish);
    QCOMPARE(e.picture(), painted);
    QCOMPARE(e.points(), (QList<int>{6, 6, 12, 10}));
    // Moving the start turns its old cell blue; painting over a marker unsets its point.
    e.click(0, 0, MC::Start);
    e.click(5, 4, MC::Paper);
    QCOMPARE(e.points(), (QList<int>{2, 2, -1, -1}));
    e.click(0, 0, MC::Maze);
    QCOMPARE(e.points(), unset);
    // A right-button drag paints nothing; a left drag paints every cell along the way, a jump of four cells
    // included, and down off the canvas as far as its edge.
    e.f->paperPen->click();
    const QStringList before = e.picture();
    for (auto [button, cy] : {std::pair{Qt::RightButton, 3}, std::pair{Qt::LeftButton, 2}}) {
        QTest::mousePress(e.canvas(), button, {}, e.centre(0, cy));
        for (QPoint at : {e.centre(4, cy), QPoint(e.centre(4, cy).x(), 100000)})
            QTest::mouseMove(e.canvas(), at);
        QTest::mouseRelease(e.canvas(), button, {}, QPoint(-40, -40));
    }
    const QStringList dragged{"......", ".#....", "#####.", "....#.", "....##"};
    QCOMPARE(e.picture(), dragged);
    // The whole drag is one step back, and forward again.
    QTest::keyClick(e.f.get(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(e.picture(), before);
    QTest::keyClick(e.f.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(e.picture(), dragged);
    // Invert turns the start cell to paper with the rest, and unsets it.
    e.click(0, 0, MC::Start);
    QCOMPARE(answering([&] { e.f->invertButton->click(); }), QStringList());
    QCOMPARE(e.picture(), (QStringList{"######", "#.####", ".....#", "####.#", "####.."}));
    QCOMPARE(e.points(), unset);
    e.f->invertButton->click();
    QCOMPARE(e.picture(), dragged);
    e.click(1, 0, MC::Start);
    QCOMPARE(e.s.StartX, 4);
    // Clear asks first; kept, nothing changes.
    QCOMPARE(answering([&] { e.f->clearButton->click(); }, {}, {}, {}, false), QStringList{clearQuestion});
    QCOMPARE(e.picture()[2], "#####.");
    QCOMPARE(answering([&] { e.f->clearButton->click(); }), QStringList{clearQuestion});
    QCOMPARE(e.picture(), QStringList(5, QStringLiteral("......")));
    QCOMPARE(e.points(), unset);
    // A blank matte clears without a question, and nothing is lost.
    QCOMPARE(answering([&] { e.f->clearButton->click(); }), QStringList());
    // Undo brings the cleared painting back, the start with it.
    e.f->undoButton->click();
    QCOMPARE(e.picture()[0], ".S....");
    QCOMPARE(e.s.StartX, 4);
}

void TestMatteEditor::ok_data()
{
    QTest::addColumn<OkCase>("c");
    using V = MatteVerdict;
    auto row = [](const char *name, const OkCase &c) { QTest::newRow(name) << c; };
    auto r = [](int x, int y, int w = 1, int h = 1) { return QRect(x, y, w, h); };
    row("3 x 3 with the top two cells paper", {"##./.../F.S", {r(1, 1, 4, 2)}, 6, 2});
    row("L of three leaves its corner open", {"S..../.##../.#.../...../....F", {r(4, 4, 3, 1), r(4, 5, 1, 2)}, 21, 3});
    row("paper in the top-left corner cell", {"#..../.S.../...../...../....F", {r(1, 1, 2, 2)}, 23, 2});
    // The closing rules around a point with paper on two sides.
    row("start, left and above", {"....F/..#../.#S../...../.....", {r(4, 6, 2, 1), r(5, 5, 2, 1), r(6, 4)}, 22, 3});
    row("finish, right and above", {"....S/..#../..F#./...../.....", {r(7, 6, 2, 1), r(6, 5, 2, 1), r(6, 4)}, 22, 3});
    row("start, left and below", {"....F/...../.#S../..#../.....", {r(4, 6, 2, 1), r(5, 7, 2, 1), r(6, 8)}, 22, 3});
    row("finish, right and below", {"....S/...../..F#./..#../.....", {r(7, 6, 2, 1), r(6, 7, 2, 1), r(6, 8)}, 22, 3});
    row("start in column 1 skips rule a", {"...../#..../S..../...../....F", {r(1, 4, 2, 1), r(2, 5)}, 23, 3});
    row("corridor turning down: one sweep", {"S../##./##F", {r(1, 4, 4, 4), r(2, 3), r(5, 6)}, 4, 2});
    row("corridor turning right: two sweeps", {"S##/.##/..F", {r(4, 1, 4, 4), r(3, 2), r(6, 5)}, 4, 3});
    row("island kept", {"S..../.###./.#.#./.###./....F",
        {r(4, 4, 5, 1), r(4, 8, 5, 1), r(4, 5, 1, 3), r(8, 5, 1, 3)}, 15, 3});
    row("island, Remove unused areas", {"S..../.###./.#.#./.###./....F", {r(4, 4, 5, 5)}, 15, 3, V::Accepted, true});
    // The second completion must not exclude a point whose walls above and below are closed.
    row("start in a one-cell-high corridor stays open when removing", {"#####/S...F/#####",
        {r(1, 1, 11, 2), r(1, 6, 11, 2), r(1, 3, 2, 1), r(1, 5, 2, 1), r(10, 3, 2, 1), r(10, 5, 2, 1)}, 4, 2,
        V::Accepted, true});
    row("finish touching the start region only at a corner", {"S.#/..#/##F",
        {r(6, 1, 2, 4), r(1, 6, 4, 2), r(5, 6), r(6, 5), r(5, 5)}, 3, 2, V::NoPath, true});
    row("start boxed into the bottom-right cell", {"F..../...../...../....#/...#S",
        {r(10, 8, 2, 1), r(8, 10, 1, 2), r(9, 10), r(10, 9), r(9, 9)}, 0, 1, V::NoPath});
    // Refused before any check: the grid stays as it was.
    row("neither point", {".../...", {r(1, 1)}, 0, 0, V::NoPoints});
    row("finish only", {"..F/...", {r(1, 1)}, 0, 0, V::NoStart});
    row("start only", {"S../...", {r(1, 1)}, 0, 0, V::NoFinish});
}

void TestMatteEditor::ok()
{
    // The command line's acceptance and the editor's Ok, on the same drawing.
    QFETCH(OkCase, c);
    const auto &[drawing, excluded, linked, sweeps, verdict, removeUnused] = c;
    const QMap<MatteVerdict, QString> messages{
        {MatteVerdict::NoPoints, "Corvanthel: Please choose start and finish points."},
        {MatteVerdict::NoStart, "Corvanthel: Please choose a start point."},
        {MatteVerdict::NoFinish, "Corvanthel: Please choose a finish point."},
        {MatteVerdict::NoPath, QStringLiteral("No direct path (icon %1): There must be a complete (blue) path from the "
                                              "start point to the finish point.").arg(QMessageBox::Critical)}};
    const QStringList matte = drawing.split(u'/');
    const bool accepted = verdict == MatteVerdict::Accepted, noPath = verdict == MatteVerdict::NoPath;
    const int cols = int(matte.first().size()), rows = int(matte.size());
    NodeGrid stale, headless;  // one node excluded on a 1 x 1 grid, which a refused matte leaves alone
    stale.allocate(1, 1), stale.set(1, 1, NodeGrid::Blocked);
    headless = stale;
    const bool checked = accepted || noPath;
    const QString expected = nodes(checked ? 2 * cols + 1 : 1, checked ? 2 * rows + 1 : 1, [&](int x, int y) {
        return std::any_of(excluded.begin(), excluded.end(), [&](QRect r) { return r.contains(x, y); });
    });
    const MattePainting painting = painted(drawing);
    const MatteResult result = accept_matte(painting, removeUnused, headless);
    QCOMPARE(result.verdict, verdict);
    QCOMPARE(result.linkedCount(), qint64(linked));
    QCOMPARE(blockedNodes(headless), expected);
    // What the canvas shows once the path check is done: the linked cells black.
    QStringList marked = matte;
    for (int cy = 0; cy < result.linked.rows(); ++cy)
        for (int cx = 0; cx < result.linked.cols(); ++cx)
            if (result.linked.at(cx, cy))
                marked[cy][cx] = u'*';

    Editor e(cols, rows, [&](MazeState &s) {
        s.grid = stale;
        s.StartX = s.StartY = s.FinishY = 2;  // cleared by the set-up: no such matte
        s.FinishX = 4;
        s.UseMatte = !accepted;
    });
    e.f->removeUnusedBox->setChecked(removeUnused);
    e.paint(matte);
    SweepSpy spy;
    e.f->installEventFilter(&spy);
    QStringList atMessage;
    QCOMPARE(answering([&] { e.f->okButton->click(); }, "Form7", {}, [&] { atMessage = e.picture(); }),
             accepted ? QStringList() : QStringList{messages.value(verdict)});
    QCOMPARE(blockedNodes(e.s.grid), expected);
    QCOMPARE(spy.shown.size(), sweeps);
    if (sweeps > 0)
        QCOMPARE(spy.shown.last(), QStringLiteral("%1 nodes successfully linked to").arg(linked));
    QVERIFY(e.s.UseMatte);  // set on acceptance, otherwise kept
    QCOMPARE(e.f->isVisible(), !accepted);
    if (accepted) {
        QCOMPARE(e.picture(), marked);
        return;
    }
    QCOMPARE(atMessage, noPath ? marked : matte);
    // Repainted from Blocked after "No direct path": no black marks, the markers back.
    QCOMPARE(e.picture(), matte);
    if (noPath) {
        QCOMPARE(e.f->penColour(), MC::Maze);
        // Closed from the title bar, once the user agrees to lose the painting, the editor puts back the
        // points and Blocked it opened with.
        QCOMPARE(answering([&] { e.f->close(); }), QStringList{discardQuestion});
    } else {
        e.f->cancelButton->click();  // Cancel keeps the points painted: the main window clears them
    }
    QVERIFY(!e.f->isVisible());
    QCOMPARE(e.s.UseMatte, noPath);
    const NodePoint start = pointOf(painting.start), finish = pointOf(painting.finish);
    QCOMPARE(e.points(), (noPath ? QList<int>{2, 2, 4, 2} : QList<int>{start.x, start.y, finish.x, finish.y}));
    QCOMPARE(blockedNodes(e.s.grid), blockedNodes(stale));
}

void TestMatteEditor::importPictures_data()
{
    // `shown`: the rows joined by '/', which also give the size of the matte.
    QTest::addColumn<QImage>("image");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("message");
    QImage drawing(90, 60, QImage::Format_RGB32);  // a white band on top, a white right third
    drawing.fill(Qt::black);
    QPainter(&drawing).fillRect(60, 0, 30, 60, Qt::white);
    QPainter(&drawing).fillRect(0, 0, 90, 10, Qt::white);
    for (const char *suffix : {"bmp", "jpg"})
        QTest::newRow(suffix) << drawing << QStringLiteral("drawing.") + suffix
                              << "#########" + QString("/......###").repeated(5) << QString();
    // A failed import leaves the painting and the start alone.
    const QString untouched = "S........" + QString("/.........").repeated(5);
    QTest::newRow("dialog cancelled") << QImage() << QString() << untouched << QString();
    QTest::newRow("file spoilt after the preview")
        << drawing << "spoilt.bmp" << untouched << "Corvanthel: The picture format is invalid - try another.";
    // Paper at 0xCCCCCC and above, blue compared first.
    const QList<QColor> colours{{204, 204, 204}, {203, 203, 203}, {255, 255, 203},
                                {0, 0, 255},     {255, 0, 0},     {0, 205, 204}};
    QImage greys(60, 10, QImage::Format_RGB32);
    for (int i = 0; i < colours.size(); ++i)
        QPainter(&greys).fillRect(i * 10, 0, 10, 10, colours[i]);
    QTest::newRow("thresholds") << greys << "greys.bmp" << "#..#.#" << QString();
    // 100 x 100 onto 50 x 70: white exactly on the pixels sampled, odd columns and rows (2 cy + 1) x 100 / 140.
    // One pixel to the right, no sample is white.
    QImage grid(101, 100, QImage::Format_RGB32);
    grid.fill(Qt::black);
    for (int cy = 0; cy < 70; ++cy)
        for (int x = 2; x <= 100; x += 2)
            grid.setPixel(x, (2 * cy + 1) * 100 / 140, qRgb(255, 255, 255));
    const QString paper = QString(50, u'#').append(u'/').repeated(70).chopped(1);
    QTest::newRow("sample positions") << grid.copy(1, 0, 100, 100) << "grid.bmp" << paper << QString();
    QTest::newRow("off the sample positions")
        << grid.copy(0, 0, 100, 100) << "shifted.bmp" << QString(paper).replace(u'#', u'.') << QString();
    // 14 / 5 is 2.7999999523 in single precision: the third of 5 cells across 14 pixels samples pixel 6, not 7.
    QImage narrow(14, 1, QImage::Format_RGB32);
    narrow.fill(Qt::black);
    for (int x : {1, 4, 6, 9, 12})
        narrow.setPixel(x, 0, qRgb(255, 255, 255));
    QTest::newRow("share rounded to single precision") << narrow << "narrow.bmp" << "#####" << QString();
}

void TestMatteEditor::importPictures()
{
    QFETCH(QImage, image);
    QFETCH(QString, name);
    QFETCH(QString, shown);
    QFETCH(QString, message);
    const QString path = pictures.filePath(name);
    if (!image.isNull())
        QVERIFY(image.save(path, nullptr, 95));
    const QStringList expected = shown.split(u'/');
    Editor e(expected.first().size(), expected.size());
    e.click(0, 0, MC::Start);
    // Cancels the dialog when no such file is listed; spoils the file once it is chosen, when asked to.
    const QStringList seen = answering([&] { e.f->importButton->click(); }, "Form5", [&](QDialog *d) {
        auto *dialog = static_cast<Form5 *>(d);
        dialog->setDirectory(pictures.path());
        QListWidgetItem *item = dialog->fileList->findItems(name, Qt::MatchExactly).value(0);
        dialog->fileList->setCurrentItem(item);
        QFile file(path);
        if (item && !message.isEmpty()) {
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE_GT(file.write("not a picture"), 0);
        }
        (item ? dialog->importButton : dialog->cancelButton)->click();
    });
    const bool imported = !shown.startsWith(u'S');
    // The start painted first is lost by an import, which asks first.
    QCOMPARE(seen, !message.isEmpty() ? QStringList{message} : imported ? QStringList{replaceQuestion} : QStringList());
    QCOMPARE(e.picture(), expected);
    QCOMPARE(e.points(), (imported ? unset : QList<int>{2, 2, -1, -1}));
}

void TestMatteEditor::damagedPicturesAreRefused_data()
{
    QTest::addColumn<QString>("name");
    for (const QString &name : QDir(CORVANTHEL_PICTURES).entryList({"ok*", "bad-*"}, QDir::Files))
        QTest::newRow(qPrintable(name)) << name;
}

// The dialog refuses a damaged picture with its own words and keeps Import off; reading any
// picture twice gives the same answer, pixel for pixel.
void TestMatteEditor::damagedPicturesAreRefused()
{
    QFETCH(QString, name);
    const QString source = QDir(CORVANTHEL_PICTURES).filePath(name);
    const bool damaged = name.startsWith("bad-");
    QString firstError, secondError;
    const QImage first = load_matte_picture(source, &firstError);
    const QImage second = load_matte_picture(source, &secondError);
    QCOMPARE(first.isNull(), damaged);
    QCOMPARE(second, first);
    QCOMPARE(secondError, firstError);
    if (damaged)
        QVERIFY2(firstError.startsWith("the picture " + source + " is damaged or incomplete"), qPrintable(firstError));

    QTemporaryDir folder;
    QVERIFY(QFile::copy(source, folder.filePath(name)));
    Form5 dialog;
    dialog.setDirectory(folder.path());
    QListWidgetItem *item = dialog.fileList->findItems(name, Qt::MatchExactly).value(0);
    QVERIFY(item);
    const QStringList seen = answering([&] { dialog.fileList->setCurrentItem(item); });
    QCOMPARE(seen, damaged ? QStringList{"Corvanthel: The picture format is invalid - try another."} : QStringList());
    QCOMPARE(dialog.importButton->isEnabled(), !damaged);
}

void TestMatteEditor::keyboardPaintsAndSaysWhatItDoes()
{
    Editor e(5, 4);
    QCOMPARE(QApplication::focusWidget(), e.canvas());
    const auto says = [&] { return e.canvas()->accessibleDescription(); };
    QCOMPARE(says(), "Maze pen; cell 1 across, 1 down: maze");
    QCOMPARE(e.f->penIndicator->accessibleName(), "Current pen: Maze");
    // No outline for the mouse; one once the keyboard moves the cursor (the cell is then not of one colour).
    QCOMPARE(e.picture()[0], ".....");
    QTest::keyClick(e.canvas(), Qt::Key_Right);
    QCOMPARE(e.picture()[0], ".?...");
    QTest::keyClick(e.canvas(), Qt::Key_P);
    QVERIFY(e.f->paperPen->isChecked());
    QCOMPARE(e.f->penIndicator->accessibleName(), "Current pen: Paper");
    QTest::keyClick(e.canvas(), Qt::Key_Space);
    QCOMPARE(says(), "Paper pen; cell 2 across, 1 down: paper");
    // Shift with an arrow paints as it goes; the cursor stops at the edge.
    for (int i = 0; i < 5; ++i)
        QTest::keyClick(e.canvas(), Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(says(), "Paper pen; cell 2 across, 4 down: paper");
    QTest::keyClick(e.canvas(), Qt::Key_Right, Qt::ControlModifier);
    QCOMPARE(says(), "Paper pen; cell 5 across, 4 down: maze");
    QTest::keyClick(e.canvas(), Qt::Key_F);
    QTest::keyClick(e.canvas(), Qt::Key_Space);
    QTest::keyClick(e.canvas(), Qt::Key_Up, Qt::ControlModifier);
    QTest::keyClick(e.canvas(), Qt::Key_Left, Qt::ControlModifier);
    QTest::keyClick(e.canvas(), Qt::Key_S);
    QTest::keyClick(e.canvas(), Qt::Key_Space);
    QCOMPARE(says(), "Start pen; cell 1 across, 1 down: start");
    QTest::mouseClick(e.canvas(), Qt::RightButton, {}, e.centre(3, 0));  // the mouse hides the outline again
    QCOMPARE(e.picture(), (QStringList{"S#...", ".#...", ".#...", ".#..F"}));
    QCOMPARE(e.points(), (QList<int>{2, 2, 10, 8}));
    // Each key that painted is a step of its own.
    QTest::keyClick(e.f.get(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(e.points(), (QList<int>{-1, -1, 10, 8}));
    for (int i = 0; i < 2; ++i)
        e.f->undoButton->click();
    QCOMPARE(e.picture(), (QStringList{".#...", ".#...", ".#...", "....."}));
    QVERIFY(e.f->redoButton->isEnabled());
}

void TestMatteEditor::escapeAsksWhenThePaintingChanged()
{
    {
        // Unchanged (painted and undone): Escape is Cancel at once.
        Editor e(4, 3, [](MazeState &s) { s.UseMatte = true; });
        e.click(1, 1, MC::Paper);
        e.f->undoButton->click();
        QVERIFY(!e.f->changed());
        QCOMPARE(answering([&] { QTest::keyClick(e.canvas(), Qt::Key_Escape); }), QStringList());
        QVERIFY(!e.f->isVisible());
        QVERIFY(!e.s.UseMatte);
    }
    Editor e(4, 3, [](MazeState &s) { s.UseMatte = true; });
    e.click(1, 1, MC::Paper);
    QVERIFY(e.f->changed());
    QCOMPARE(answering([&] { QTest::keyClick(e.canvas(), Qt::Key_Escape); }, {}, {}, {}, false),
             QStringList{discardQuestion});
    QVERIFY(e.f->isVisible());
    QVERIFY(e.s.UseMatte);
    QCOMPARE(answering([&] { QTest::keyClick(e.canvas(), Qt::Key_Escape); }), QStringList{discardQuestion});
    QVERIFY(!e.f->isVisible());
    QVERIFY(!e.s.UseMatte);
}

void TestMatteEditor::zoomMakesALargeMatteEditable()
{
    Editor e(300, 200);
    // At the window's first size a cell is one pixel, and the matte fits.
    QCOMPARE(e.cs(), 1);
    QVERIFY(e.f->fitting());
    QCOMPARE(e.canvas()->drawableSize(), QSize(300, 200));
    for (int i = 0; i < 6; ++i)
        QTest::keyClick(e.f.get(), Qt::Key_Plus, Qt::ControlModifier);
    QCOMPARE(e.cs(), 8);
    QVERIFY(!e.f->fitting());
    QCOMPARE(e.canvas()->drawableSize(), QSize(2400, 1600));
    QVERIFY(e.f->canvasView->horizontalScrollBar()->maximum() > 0);
    // A click paints the cell under it at this size, every other cell untouched, each one colour.
    e.click(150, 100, MC::Paper);
    QStringList one(200, QString(300, u'.'));
    one[100][150] = u'#';
    QCOMPARE(e.picture(), one);
    QCOMPARE(e.f->matte().painting().paper.count(), 1u);
    // The cursor keeps itself in view.
    QTest::keyClick(e.canvas(), Qt::Key_Home);
    for (int i = 0; i < 31; ++i)
        QTest::keyClick(e.canvas(), Qt::Key_Right, Qt::ControlModifier);
    QScrollBar *across = e.f->canvasView->horizontalScrollBar();
    QCOMPARE(across->value(), across->maximum());
    QTest::keyClick(e.f.get(), Qt::Key_Minus, Qt::ControlModifier);
    QCOMPARE(e.cs(), 6);
    e.f->fitButton->click();
    QCOMPARE(e.cs(), 1);
    // Fitting, the cells grow with the window.
    e.f->resize(e.f->width() + 700, e.f->height() + 500);
    QTRY_VERIFY(e.cs() >= 3);
    QVERIFY(e.f->fitting());
    QCOMPARE(e.canvas()->drawableSize(), QSize(300, 200) * e.cs());
}

void TestMatteEditor::savedMatteImportsAsItWas()
{
    const QStringList drawing{"#..##....", ".S.#..#..", "...#..#..", "##....#F.", "......###", "#........"};
    const QString path = pictures.filePath("saved.png");
    QStringList shownAfterSave;
    QList<int> pointsAfterSave;
    {
        Editor e(9, 6);
        e.paint(drawing);
        e.f->askSaveName = [&] { return path; };
        QCOMPARE(answering([&] { e.f->saveButton->click(); }), QStringList());
        shownAfterSave = e.picture();
        pointsAfterSave = e.points();
    }
    QCOMPARE(shownAfterSave, drawing);
    // One pixel a cell, maze dark and paper white, as another program reads it.
    const QImage read = support::decodeWithImageMagick(path);
    QCOMPARE(read.size(), QSize(9, 6));
    QCOMPARE(read.pixel(0, 0), qRgb(255, 255, 255));
    QCOMPARE(read.pixel(1, 0), qRgb(0, 0, 0));
    QCOMPARE(read.pixel(1, 1), qRgb(0, 255, 0));
    QCOMPARE(read.pixel(7, 3), qRgb(255, 0, 0));
    // The import's checks of a picture's structure pass it, its text fields kept.
    QString error;
    const QImage checked = load_matte_picture(path, &error);
    QVERIFY2(!checked.isNull(), qPrintable(error));
    QCOMPARE(checked.text(MatteStartKey), "1,1");
    QCOMPARE(checked.text(MatteFinishKey), "7,3");

    const auto import = [&](Editor &e) {
        return answering([&] { e.f->importButton->click(); }, "Form5", [&](QDialog *d) {
            auto *dialog = static_cast<Form5 *>(d);
            dialog->setDirectory(pictures.path());
            dialog->fileList->setCurrentItem(dialog->fileList->findItems("saved.png", Qt::MatchExactly).value(0));
            dialog->importButton->click();
        });
    };
    // The same size: the same cells and the same points.
    Editor same(9, 6);
    QCOMPARE(import(same), QStringList());
    QCOMPARE(same.picture(), drawing);
    QCOMPARE(same.points(), pointsAfterSave);
    // Twice the size: each cell becomes four, and the points go with their cells.
    Editor twice(18, 12);
    QCOMPARE(import(twice), QStringList());
    QStringList doubled;
    for (const QString &row : drawing) {
        QString wide;
        for (const QChar c : row)
            wide += QString(2, c == u'#' ? u'#' : u'.');
        doubled << wide << wide;
    }
    doubled[3][3] = u'S';
    doubled[7][15] = u'F';
    QCOMPARE(twice.picture(), doubled);
    // Undo takes the whole import back.
    twice.f->undoButton->click();
    QCOMPARE(twice.picture(), QStringList(12, QString(18, u'.')));
    QCOMPARE(twice.points(), unset);
}

void TestMatteEditor::savingFailsCleanly()
{
    Editor e(4, 3);
    e.click(1, 1, MC::Paper);
    const QString path = pictures.filePath("missing/matte.png");
    e.f->askSaveName = [&] { return path; };
    const QStringList seen = answering([&] { e.f->saveButton->click(); });
    QCOMPARE(seen.size(), 1);
    QVERIFY2(seen[0].contains("cannot write " + path), qPrintable(seen[0]));
    QVERIFY(!QFileInfo::exists(pictures.filePath("missing")));
}

void TestMatteEditor::importDialogListsEveryFormatAndTakesATypedPath()
{
    const QStringList patterns = Form5::pattern().split(u';');
    QCOMPARE(patterns.mid(0, 4), (QStringList{"*.bmp", "*.gif", "*.jpg", "*.jpeg"}));
    for (const QByteArray &format : QImageReader::supportedImageFormats())
        QVERIFY2(patterns.contains("*." + QString::fromLatin1(format)), format.constData());
    QVERIFY(patterns.contains("*.png"));

    QTemporaryDir folder;
    QVERIFY(QDir(folder.path()).mkdir("sub"));
    QImage dot(3, 2, QImage::Format_RGB32);
    dot.fill(Qt::white);
    dot.setPixel(1, 1, qRgb(0, 0, 0));
    QVERIFY(dot.save(folder.filePath("sub/dot.png")));
    QVERIFY(dot.save(folder.filePath("sub/dot.ppm")));

    Form5 dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.setDirectory(folder.path());
    // A folder typed opens; a picture typed is chosen and imported; a name that is nothing says so.
    dialog.pathEdit->setText("sub");
    QTest::keyClick(dialog.pathEdit, Qt::Key_Return);
    QCOMPARE(dialog.directory(), QDir(folder.filePath("sub")).absolutePath());
    QStringList listed;
    for (int i = 0; i < dialog.fileList->count(); ++i)
        listed << dialog.fileList->item(i)->text();
    QCOMPARE(listed, (QStringList{"dot.png", "dot.ppm"}));
    // With a picture chosen, Enter on a name that is nothing must not import that picture.
    dialog.fileList->setCurrentRow(0);
    QVERIFY(dialog.importButton->isEnabled());
    dialog.pathEdit->setFocus();
    dialog.pathEdit->setText("nothing.png");
    QCOMPARE(answering([&] { QTest::keyClick(dialog.pathEdit, Qt::Key_Return); }),
             QStringList{"Corvanthel: There is no file or folder " + QDir::toNativeSeparators(folder.filePath("sub/nothing.png")) + "."});
    QVERIFY(dialog.isVisible());
    dialog.pathEdit->setText(folder.filePath("sub/dot.png"));
    QTest::keyClick(dialog.pathEdit, Qt::Key_Return);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.chosenPath(), QDir::toNativeSeparators(folder.filePath("sub/dot.png")));

    // A photo whose preview decodes small but which is too large to import whole is refused
    // at its preview, with the reason.
    const int limit = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(4);
    QImage photo(1200, 1000, QImage::Format_RGB32);
    photo.fill(qRgb(40, 90, 160));
    QVERIFY(photo.save(folder.filePath("photo.jpg")));
    Form5 again;
    again.setDirectory(folder.path());
    QListWidgetItem *item = again.fileList->findItems("photo.jpg", Qt::MatchExactly).value(0);
    QVERIFY(item);
    const QStringList seen = answering([&] { again.fileList->setCurrentItem(item); });
    QImageReader::setAllocationLimit(limit);
    QCOMPARE(seen, QStringList{"Corvanthel: The picture " + QDir::toNativeSeparators(folder.filePath("photo.jpg"))
                               + " is too large: 1200 x 1000 pixels, and a picture may take at most 4 MB of memory "
                                 "(about 1 million pixels)."});
    QVERIFY(!again.importButton->isEnabled());
}

void TestMatteEditor::shapesFillTheMatteUndoably_data()
{
    QTest::addColumn<int>("index");
    for (std::size_t i = 0; i < MatteShapes.size(); ++i)
        QTest::newRow(MatteShapes[i].caption) << int(i);
}

void TestMatteEditor::shapesFillTheMatteUndoably()
{
    QFETCH(int, index);
    const auto shape = MatteShape(MatteShapes[std::size_t(index)].value);
    Editor e(21, 15);
    e.click(3, 3, MC::Paper);
    const QStringList before = e.picture();
    QVERIFY(!e.f->removeUnusedBox->isChecked());
    QAction *choice = e.f->shapeMenu->actions().value(index);
    QCOMPARE(choice->text().remove(u'&'), QString::fromLatin1(MatteShapes[std::size_t(index)].caption));
    QCOMPARE(answering([&] { choice->trigger(); }), QStringList());

    // The shape's cells, its far points shown and written into the state at once.
    const CellMap inside = shape_cells(shape, 21, 15);
    const FarPoints far = far_apart_points(paper_outside(inside));
    QCOMPARE(e.picture(), shownAs(inside, far.start, far.finish));
    const NodePoint start = pointOf(far.start), finish = pointOf(far.finish);
    QCOMPARE(e.points(), (QList<int>{start.x, start.y, finish.x, finish.y}));
    QVERIFY(e.f->removeUnusedBox->isChecked());
    // One step to undo, and to redo.
    e.f->undoButton->click();
    QCOMPARE(e.picture(), before);
    QCOMPARE(e.points(), unset);
    e.f->redoButton->click();
    QCOMPARE(e.picture(), shownAs(inside, far.start, far.finish));
    // The points move with the pens like any others.
    e.click(far.start.cx, far.start.cy, MC::Paper);
    QCOMPARE(e.s.StartX, -1);
    e.f->undoButton->click();
    QCOMPARE(e.points(), (QList<int>{start.x, start.y, finish.x, finish.y}));
    // Ok takes it as it is.
    QCOMPARE(answering([&] { e.f->okButton->click(); }, "Form7"), QStringList());
    QVERIFY(e.s.UseMatte);
    QVERIFY(!e.f->isVisible());
}

void TestMatteEditor::wordsFillTheMatteOnEnter()
{
    Editor e(60, 24);
    QVERIFY(e.f->wordLabel->buddy() == e.f->wordEdit);
    e.f->wordEdit->setFocus();
    QTest::keyClicks(e.f->wordEdit, QStringLiteral("Ida"));
    // Enter draws the word; it does not press Ok.
    QCOMPARE(answering([&] { QTest::keyClick(e.f->wordEdit, Qt::Key_Return); }), QStringList());
    QVERIFY(e.f->isVisible());
    const WordMatte word = word_matte(QStringLiteral("Ida"), 60, 24);
    QVERIFY(word.ok());
    const FarPoints far = far_apart_points(paper_outside(word.inside));
    QCOMPARE(e.picture(), shownAs(word.inside, far.start, far.finish));
    QVERIFY(e.f->removeUnusedBox->isChecked());

    // Too long for the matte: refused with the size it needs, the painting kept.
    const QStringList shown = e.picture();
    e.f->wordEdit->setText(QStringLiteral("Maximiliane"));
    const WordMatte tooLong = word_matte(QStringLiteral("Maximiliane"), 60, 24);
    QCOMPARE(tooLong.refusal, WordRefusal::TooSmall);
    QCOMPARE(answering([&] { QTest::keyClick(e.f->wordEdit, Qt::Key_Enter); }),
             QStringList{QStringLiteral("Corvanthel: \"Maximiliane\" is too small to read on 60 x 24 cells: letters 10 "
                                        "cells tall need at least %1 x %2 cells. Make the maze larger in the main window.")
                             .arg(tooLong.needed.width())
                             .arg(tooLong.needed.height())});
    QCOMPARE(e.picture(), shown);
    e.f->wordEdit->setText(QString::fromUtf8("Ida 名"));
    QCOMPARE(answering([&] { QTest::keyClick(e.f->wordEdit, Qt::Key_Return); }),
             QStringList{QString::fromUtf8("Corvanthel: The font DejaVu Sans Bold has no letter for \"名\".")});
    QCOMPARE(e.picture(), shown);
    // An empty box draws nothing; Enter elsewhere is Ok as before.
    e.f->wordEdit->clear();
    QCOMPARE(answering([&] { QTest::keyClick(e.f->wordEdit, Qt::Key_Return); }), QStringList());
    QCOMPARE(e.picture(), shown);
    e.canvas()->setFocus();
    QCOMPARE(answering([&] { QTest::keyClick(e.canvas(), Qt::Key_Return); }, "Form7"), QStringList());
    QVERIFY(!e.f->isVisible());
    QVERIFY(e.s.UseMatte);
}

void TestMatteEditor::placingPointsPutsThemFarApart()
{
    // A U of maze cells: the far ends are the tips, the way round the bottom.
    const QStringList drawing{".###.", ".#S#.", ".#.#.", "....."};
    Editor e(5, 4);
    e.paint(drawing);
    e.f->placePointsButton->click();
    QCOMPARE(e.picture(), (QStringList{"F###S", ".#.#.", ".#.#.", "....."}));
    QCOMPARE(e.points(), (QList<int>{10, 2, 2, 2}));
    // One step to undo: the start back where it was, no finish.
    e.f->undoButton->click();
    QCOMPARE(e.picture(), drawing);
    QCOMPARE(e.points(), (QList<int>{6, 4, -1, -1}));
    // With no two maze cells side by side there is nowhere to put them.
    QCOMPARE(answering([&] { e.f->clearButton->click(); }), QStringList{clearQuestion});
    e.f->invertButton->click();
    e.click(0, 0, MC::Maze);
    QCOMPARE(answering([&] { e.f->placePointsButton->click(); }),
             QStringList{"Corvanthel: The start and finish need at least two maze cells side by side."});
    QCOMPARE(e.points(), unset);
    QVERIFY(!e.f->removeUnusedBox->isChecked());
}

QTEST_MAIN(TestMatteEditor)
#include "tst_matte_editor.moc"
