#include "app/form1.h"
#include "app/preview_window.h"
#include "app/page_layout_dialog.h"
#include "matte/import_dialog.h"
#include "matte/matte_editor.h"
#include "matte/path_check.h"
#include "maze/generation.h"
#include "maze/progress.h"
#include "maze/parameters.h"
#include "maze/state.h"
#include "render/too_large_dialog.h"

#include <QtTest>
#include <QPrinter>
#include <QtWidgets>

#include <functional>
#include <memory>

// Every window of the program, built as the program builds it, is walked as a screen reader
// walks it (through QAccessible) and as the keyboard reaches it (its mnemonics). A window
// added to the program gets a row in windows() and is then held to the same rules.

namespace {

/// A window and how to make it; the test owns what it makes.
struct Window {
    QString name;
    std::function<QWidget *()> make;
};

MazeState mainState, matteState, previewState;

// A small maze for the preview to show.
PreviewWindow *makePreview()
{
    params::Choices c;
    c.widthCells = 12;
    c.heightCells = 9;
    c.seed = 1;
    previewState = MazeState{};
    params::apply_choices(c, previewState);
    previewState.rng.seed(*c.seed);
    allocate_arrays(previewState);
    Progress quiet;
    carve_maze(previewState, quiet);
    // Made once the application exists, and kept for the preview that prints on it.
    static QPrinter printer;
    return new PreviewWindow(previewState, c, printer);
}

QList<Window> windows()
{
    return {
        {"Form1", [] { return new Form1(mainState); }},
        {"Form4",
         [] {
             matteState.MatteCols = 12;
             matteState.MatteRows = 8;
             return new Form4(matteState);
         }},
        {"Form5", [] { return new Form5; }},
        {"Form6", [] { return new Form6; }},
        // The path check runs once shown; its controls are walked as built.
        {"Form7", [] { return new Form7([](const SweepReport &) { return MatteResult{}; }); }},
        {"PreviewWindow", makePreview},
        {"PageLayoutDialog", [] { return new PageLayoutDialog(PageSetup{}); }},
    };
}

const QSet<QAccessible::Role> interactiveRoles{
    QAccessible::PushButton, QAccessible::CheckBox,  QAccessible::RadioButton, QAccessible::ComboBox,
    QAccessible::EditableText, QAccessible::Slider,  QAccessible::SpinBox,     QAccessible::Dial,
    QAccessible::List,       QAccessible::ListItem, QAccessible::Table,       QAccessible::Tree,
    QAccessible::MenuItem,   QAccessible::ButtonMenu, QAccessible::ButtonDropDown, QAccessible::PageTab,
    QAccessible::Canvas};

QString describe(QAccessibleInterface *iface)
{
    QObject *o = iface->object();
    const QString name = o ? o->objectName() : QString();
    return QStringLiteral("%1 %2 \"%3\"")
        .arg(o ? QString::fromLatin1(o->metaObject()->className()) : QStringLiteral("item"),
             name.isEmpty() ? QStringLiteral("(unnamed object)") : name, iface->text(QAccessible::Name));
}

// Whether the walk looks at an interface: what the window shows, its menus included;
// nothing of another window (a list's popup) and nothing hidden on purpose.
bool inWindow(QAccessibleInterface *iface, QWidget *top)
{
    QObject *o = iface->object();
    if (auto *action = qobject_cast<QAction *>(o))
        return action->isVisible() && !action->isSeparator();
    auto *w = qobject_cast<QWidget *>(o);
    if (!w || qobject_cast<QMenu *>(w))
        return true;
    return w->window() == top && w->isVisibleTo(top);
}

/// Every interactive control that a screen reader could not tell apart: no name, or only
/// the caption of the group around it; and every option group without a name of its own.
void walk(QAccessibleInterface *iface, QWidget *top, const QStringList &groups, QStringList &faults,
          QSet<QObject *> &seen)
{
    if (!iface || !inWindow(iface, top))
        return;
    seen.insert(iface->object());
    const QAccessible::Role role = iface->role();
    const QString name = iface->text(QAccessible::Name).trimmed();
    const bool interactive = (interactiveRoles.contains(role) || iface->state().focusable)
                             && role != QAccessible::ScrollBar && !qobject_cast<QScrollArea *>(iface->object());
    if (interactive && name.isEmpty())
        faults << describe(iface) + ": no name";
    else if (interactive && !groups.isEmpty() && name == groups.last())
        faults << describe(iface) + ": named only by its group's caption";
    if (role == QAccessible::RadioButton && (groups.isEmpty() || groups.last().isEmpty()))
        faults << describe(iface) + ": its option group has no name";
    QStringList inner = groups;
    if (role == QAccessible::Grouping)
        inner << name;
    for (int i = 0; i < iface->childCount(); ++i)
        walk(iface->child(i), top, inner, faults, seen);
}

QChar mnemonic(const QString &caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != u'&')
            continue;
        if (caption[i + 1] != u'&')
            return caption[i + 1].toLower();
        ++i;
    }
    return {};
}

/// Each caption that carries a mnemonic, as "letter: caption", and each control that
/// should carry one and does not.
void mnemonics(QWidget *top, QMultiMap<QChar, QString> &letters, QStringList &missing)
{
    const auto note = [&](const QString &caption) {
        if (const QChar c = mnemonic(caption); !c.isNull())
            letters.insert(c, caption);
    };
    for (QLabel *label : top->findChildren<QLabel *>()) {
        note(label->text());
        if (label->buddy() && mnemonic(label->text()).isNull())
            missing << "label " + label->text();
        else if (!label->buddy() && !mnemonic(label->text()).isNull())
            missing << "label " + label->text() + ": its mnemonic reaches nothing";
    }
    for (QGroupBox *box : top->findChildren<QGroupBox *>())
        note(box->title());
    for (QMenuBar *bar : top->findChildren<QMenuBar *>())
        for (QAction *menu : bar->actions()) {
            note(menu->text());
            if (mnemonic(menu->text()).isNull())
                missing << "menu " + menu->text();
        }
    for (QAbstractButton *b : top->findChildren<QAbstractButton *>()) {
        if (b->window() != top)
            continue;
        note(b->text());
        if (!mnemonic(b->text()).isNull())
            continue;
        if (auto *option = qobject_cast<QRadioButton *>(b)) {
            // One mnemonic for a group, on its label or on the frame around it.
            const QList<QAbstractButton *> group = option->group() ? option->group()->buttons()
                                                                   : QList<QAbstractButton *>{option};
            bool reached = false;
            for (QLabel *label : top->findChildren<QLabel *>())
                reached |= !mnemonic(label->text()).isNull() && group.contains(label->buddy());
            auto *frame = qobject_cast<QGroupBox *>(option->parentWidget());
            reached |= frame && !mnemonic(frame->title()).isNull();
            if (!reached)
                missing << "option " + option->text() + ": neither it nor its group's caption has a mnemonic";
        } else if (b->isVisibleTo(top)) {
            missing << "button " + b->text();
        }
    }
}

} // namespace

class TestAccessibility : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void everyControlIsNamedAndReachable_data();
    void everyControlIsNamedAndReachable();
    void captionsThatNeedItHaveATooltip_data();
    void captionsThatNeedItHaveATooltip();
    void radioGroupsAreNamedByTheirLabels();

private:
    std::unique_ptr<QWidget> open(const QString &name);
};

void TestAccessibility::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

std::unique_ptr<QWidget> TestAccessibility::open(const QString &name)
{
    for (const Window &w : windows())
        if (w.name == name) {
            std::unique_ptr<QWidget> window(w.make());
            if (name != "Form7") {
                window->show();
                if (!QTest::qWaitForWindowExposed(window.get()))
                    return nullptr;
            }
            // The matte editor sets itself up from the event loop.
            if (auto *editor = qobject_cast<Form4 *>(window.get()))
                if (!QTest::qWaitFor([editor] { return !editor->firstActivation(); }))
                    return nullptr;
            return window;
        }
    return nullptr;
}

void TestAccessibility::everyControlIsNamedAndReachable_data()
{
    QTest::addColumn<QString>("window");
    for (const Window &w : windows())
        QTest::newRow(qPrintable(w.name)) << w.name;
}

// Named for a screen reader, reached by the walk and by the keyboard's mnemonics, none twice.
void TestAccessibility::everyControlIsNamedAndReachable()
{
    QFETCH(QString, window);
    const std::unique_ptr<QWidget> top = open(window);
    QVERIFY(top);
    // Every top-level window the test built and shows is walked, those a window opens
    // of its own accord (none here) included; popups belong to their window's walk.
    int walked = 0;
    QStringList faults;
    for (QWidget *each : QApplication::topLevelWidgets()) {
        if (!each->isWindow() || (each->windowType() != Qt::Window && each->windowType() != Qt::Dialog))
            continue;
        if (each != top.get() && !each->isVisible())
            continue;
        QSet<QObject *> seen;
        walk(QAccessible::queryAccessibleInterface(each), each, {}, faults, seen);
        ++walked;
        // The walk reached every control that the keyboard reaches; a spin box's own text
        // field is the spin box to a screen reader.
        for (QWidget *w : each->findChildren<QWidget *>())
            if (w->focusPolicy() != Qt::NoFocus && w->window() == each && w->isVisibleTo(each) && !seen.contains(w)
                && !qobject_cast<QAbstractSpinBox *>(w->parentWidget()))
                faults << QStringLiteral("%1 %2: not reached").arg(w->metaObject()->className(), w->objectName());
    }
    QVERIFY(walked >= 1);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));

    QMultiMap<QChar, QString> letters;
    QStringList missing;
    mnemonics(top.get(), letters, missing);
    QStringList clashes;
    for (const QChar c : letters.uniqueKeys())
        if (letters.count(c) > 1)
            clashes << QStringLiteral("%1: %2").arg(c, QStringList(letters.values(c)).join(" / "));
    QVERIFY2(clashes.isEmpty(), qPrintable(clashes.join(u'\n')));
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(u'\n')));
}

void TestAccessibility::captionsThatNeedItHaveATooltip_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QStringList>("controls");
    QTest::newRow("main window") << "Form1"
                                 << QStringList{"Slider1", "Combo1", "Combo2", "Text1", "Label7", "Check1", "Check2",
                                                "Option12", "Option13", "Command1", "Command3", "Command4"};
    QTest::newRow("matte editor") << "Form4"
                                  << QStringList{"Picture1", "Command3", "Command4", "Command5", "Command6",
                                                 "Command7", "Command8", "Command9", "Command10", "Command11",
                                                 "Command12", "Command13", "Command14", "Command15", "Check1",
                                                 "Command2", "Command1"};
    QTest::newRow("import dialog") << "Form5" << QStringList{"Drive1", "Dir1", "File1", "Text1"};
    QTest::newRow("too large") << "Form6" << QStringList{"Command1", "Command2"};
    QTest::newRow("page layout") << "PageLayoutDialog"
                                 << QStringList{"orientationList", "ownMarginBox", "centerBox", "titleEdit", "nameLineBox",
                                                "posterAcrossSpin", "posterDownSpin", "resetButton"};
}

void TestAccessibility::captionsThatNeedItHaveATooltip()
{
    QFETCH(QString, window);
    QFETCH(QStringList, controls);
    const std::unique_ptr<QWidget> top = open(window);
    QVERIFY(top);
    for (const QString &name : controls) {
        auto *control = top->findChild<QWidget *>(name);
        QVERIFY2(control, qPrintable(name));
        QVERIFY2(!control->toolTip().isEmpty(), qPrintable(name));
    }
}

void TestAccessibility::radioGroupsAreNamedByTheirLabels()
{
    const std::unique_ptr<QWidget> top = open("Form1");
    QVERIFY(top);
    auto *form = static_cast<Form1 *>(top.get());
    const auto groupName = [](QWidget *option) {
        QAccessibleInterface *group = QAccessible::queryAccessibleInterface(option)->parent();
        return std::pair{group->role(), group->text(QAccessible::Name)};
    };
    QCOMPARE(groupName(form->harderOption), std::pair(QAccessible::Grouping, QStringLiteral("Difficulty")));
    QCOMPARE(groupName(form->planksOption), std::pair(QAccessible::Grouping, QStringLiteral("Appearance")));
    QCOMPARE(groupName(form->bitmapOption), std::pair(QAccessible::Grouping, QStringLiteral("Output to")));
    // The slider is named by its own label, not by the frame around it.
    QCOMPARE(QAccessible::queryAccessibleInterface(form->runSlider)->text(QAccessible::Name), "Run");
    // A group's mnemonic reaches the chosen option, wherever it is.
    form->planksOption->click();
    QCOMPARE(form->appearanceLabel->buddy(), form->planksOption);
    form->harderOption->click();
    QCOMPARE(form->difficultyLabel->buddy(), form->harderOption);
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
