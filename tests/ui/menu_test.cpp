// The menu bar against the command tables: texts, order, separators, the
// handler behind every number, hints, and the enable and check rules.
#include <QtTest>

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>

#include <set>

#include "app/command_table.h"
#include "app/quillon_window.h"
#include "app/state.h"
#include "ui_test_env.h"

namespace {
// The whole bar as lines: "menu <title>", "<number> <text>" for an item or a
// command on the bar, "-" for a separator.
QStringList menu_tree(QMainWindow& frame)
{
    QStringList lines;
    for (QAction* entry : frame.menuBar()->actions()) {
        if (QMenu* menu = entry->menu()) {
            lines << QStringLiteral("menu ") + entry->text();
            for (QAction* item : menu->actions())
                lines << (item->isSeparator() ? QStringLiteral("-")
                                              : item->objectName() + ' ' + item->text());
        } else {
            lines << QStringLiteral("bar ") + entry->objectName() + ' ' + entry->text();
        }
    }
    return lines;
}

const QStringList expected_tree = {
    "menu &File",
    "24332 &Open...\tCTL+O",
    "24333 &Save...\tCTL+S",
    "24334 Save as &Tiff file...",
    "24335 S&ave as FITS file...",
    "24336 &Quick Save as FITS...\tCtl+Q ",
    "-",
    "13 &Delete File...",
    "19 &Load/Edit AutoSave FITS text",
    "104 Select Dark &Frame...",
    "122 Select Auto-Flat File...",
    "124 Load Comparison Image",
    "-",
    "121 Set Program Defa&ults",
    "12 Zq Camera &Interface\tCTL+Z",
    "21 Pic&k Guide Star\tCTL+P",
    "25 Focus Frame Centre\tCTL+W",
    "26 Default Focus Frame Centre",
    "3201 Image Scale...",
    "3202 Autofocus...",
    "-",
    "22 Train Auto-Guiding",
    "23 Start Auto-Guiding",
    "24 Telescope &Control",
    "3101 Guiding &Graph",
    "3102 Guiding &Options...",
    "-",
    "114 P&rint setup...",
    "116 &Print...",
    "-",
    "24310 E&xit",
    "menu &Edit",
    "9 &Undo Last Filter\tCTL+U",
    "24359 &Copy\tShift+Ins",
    "menu &View",
    "301 &Fit to window",
    "303 Resample to zq1 &Geometry",
    "123 Enlarge by 50%",
    "118 False Colour P&alette",
    "119 &Auto contrast stretch image",
    "726 Max Palette Stretch\tCTL+M",
    "302 &Mirror Image",
    "-",
    "14 &Photometry of Image",
    "-",
    "125 Blink Comparison",
    "-",
    "15 3-D &Intensity Plot",
    "16 Intensity Plot of Current R&ow",
    "-",
    "17 Processing &History",
    "20 &Show/Edit Current Image FITS details",
    "-",
    "3103 &Night Vision\tCTL+R",
    "bar 8 &Label",
    "menu &Contrast",
    "1 &Normal Stretch\tCTL+N",
    "2 &Power Law Stretch",
    "101 &Sine Law Stretch",
    "120 &Remove Background\tCTL+B ",
    "117 N&on-Linear Stretch",
    "102 &Logarithmic Stretch",
    "103 &Antilogarithmic Stretch",
    "105 &Invert image to Negative",
    "menu Filter&s ",
    "106 &Unsharp masking HPF",
    "107 &High Pass, Low Power",
    "108 High Pass, High &Power",
    "109 &Smoother/Sharper Filter",
    "-",
    "3 &Median Filter - Noise Reduction",
    "4 &Gaussian Smoother Filter",
    "5 Low Pass &Weighted Mean &Smoother",
    "-",
    "7 &Bas Relief Generator",
    "18 Gradient &Filter",
    "27 &Vertical Smoothing",
    "menu &Merging",
    "110 &Subtract Image (Dark Frame)",
    "115 Apply &Flat Field",
    "-",
    "111 Merge two Images &together",
    "126 Average &with current Image",
    "bar 6 &Histogram",
    "menu &Help",
    "112 Help in using QUILLON",
    "113 About QUILLON",
};

QMenu* menu_titled(QMainWindow& frame, const QString& title)
{
    for (QAction* entry : frame.menuBar()->actions())
        if (entry->menu() != nullptr && entry->text() == title)
            return entry->menu();
    return nullptr;
}

// Every command the bar offers, in order: the menus' items and the commands
// on the bar itself, without separators.
QList<QAction*> menu_commands(QMainWindow& frame)
{
    QList<QAction*> commands;
    for (QAction* entry : frame.menuBar()->actions())
        for (QAction* action : entry->menu() ? entry->menu()->actions() : QList<QAction*> { entry })
            if (!action->isSeparator())
                commands << action;
    return commands;
}

QAction* item(QMainWindow& frame, int number)
{
    for (QAction* entry : frame.menuBar()->actions()) {
        if (entry->objectName() == QString::number(number))
            return entry;
        if (entry->menu() != nullptr)
            if (auto* found = entry->menu()->findChild<QAction*>(QString::number(number)))
                return found;
    }
    return nullptr;
}

} // namespace

class MenuTest : public QObject {
    Q_OBJECT

private slots:
    void the_menu_bar_is_exactly_the_tables()
    {
        UiTestEnv env;
        const QStringList tree = menu_tree(env.frame());
        for (int i = 0; i < std::min(tree.size(), expected_tree.size()); ++i)
            QCOMPARE(tree[i], expected_tree[i]);
        QCOMPARE(tree.size(), expected_tree.size());
    }

    // "&Histogram" and "&Help" share Alt+H: the bar keeps its texts, Alt+H
    // opens the Help menu (the Histogram has Ctrl+H), and F1 opens the help.
    void help_is_reachable_from_the_keyboard()
    {
        UiTestEnv env;
        env.frame().show();
        QVERIFY(QTest::qWaitForWindowExposed(&env.frame()));
        QApplication::setActiveWindow(&env.frame());
        env.window().setFocus();
        QMenu* help = menu_titled(env.frame(), "&Help");
        QVERIFY(help != nullptr);
        QTest::keyClick(&env.window(), Qt::Key_H, Qt::AltModifier);
        QTRY_VERIFY(help->isVisible());
        QCOMPARE(env.frame().menuBar()->activeAction(), help->menuAction());
        help->hide();
        QVERIFY(env.window().THist.isNull());

        CommandRecorder recorder;
        QTest::keyClick(&env.window(), Qt::Key_F1);
        QTest::keyClick(&env.window(), Qt::Key_H, Qt::ControlModifier);
        QCOMPARE(recorder.seen, (QList<int> { 112, 6 }));
    }

    void menu_items_show_their_text_without_an_added_shortcut()
    {
        UiTestEnv env;
        // The keys are the frame's accelerators: no item carries a shortcut
        // that the menu would print beside the table's text.
        for (QAction* action : env.frame().menuBar()->findChildren<QAction*>())
            QVERIFY2(action->shortcut().isEmpty(), qPrintable(action->text()));
    }

    void every_number_has_a_handler_and_no_other_does()
    {
        UiTestEnv env;
        std::set<int> numbers;
        for (const QString& line : expected_tree) {
            bool ok = false;
            const int number
                = line.section(' ', line.startsWith("bar ") ? 1 : 0, line.startsWith("bar ") ? 1 : 0)
                      .toInt(&ok);
            if (ok)
                numbers.insert(number);
        }
        for (int internal : { 888, 889, 891, 925, 926, 1901, 1902 })
            numbers.insert(internal);
        QCOMPARE(int(numbers.size()), 74);

        std::set<int> table;
        for (const CommandRow& row : command_table()) {
            QVERIFY2(table.insert(row.number).second, qPrintable(QString::number(row.number)));
            QVERIFY(row.handler != nullptr);
        }
        QCOMPARE(table, numbers);

        CommandRecorder recorder;
        for (int number : numbers)
            QVERIFY(env.window().dispatch(number));
        QCOMPARE(recorder.seen.size(), int(numbers.size()));
        for (int unknown : { 0, -1, 10, 890, 24311, 65535 })
            QVERIFY(!env.window().dispatch(unknown));
        QCOMPARE(recorder.seen.size(), int(numbers.size()));
    }

    void choosing_an_item_sends_its_number()
    {
        UiTestEnv env;
        telescope = 'b';
        binned = 1;
        env.window().Dib = std::make_unique<QImage>(4, 4, QImage::Format_Indexed8);
        refresh_command_states(env.frame(), env.window());
        CommandRecorder recorder;
        QList<int> expected;
        for (QAction* action : menu_commands(env.frame())) {
            expected << action->objectName().toInt();
            action->trigger();
        }
        QCOMPARE(recorder.seen, expected);
    }

    void hints_show_in_the_status_bar_while_an_item_is_highlighted()
    {
        UiTestEnv env;
        QMenu* file = menu_titled(env.frame(), "&File");
        QVERIFY(file != nullptr);
        // Opened from the bar, as the user opens it.
        env.frame().menuBar()->setActiveAction(file->menuAction());
        QVERIFY(QTest::qWaitForWindowExposed(file));
        file->setActiveAction(item(env.frame(), 24332));
        QCOMPARE(env.frame().statusBar()->currentMessage(), QStringLiteral("Get an image from Disk"));
        file->setActiveAction(item(env.frame(), 104));
        QCOMPARE(env.frame().statusBar()->currentMessage(),
            QStringLiteral("Select a file to be used as a dark frame for automatic processing"));
        file->setActiveAction(item(env.frame(), 13)); // no hint of its own
        QCOMPARE(env.frame().statusBar()->currentMessage(), QString());
        file->hide();

        // Every item carries its hint from the command table as its status
        // tip, and every hint of the table is shown by a menu item, except
        // those of the control bar's own two commands.
        std::set<int> in_menus;
        int hinted = 0;
        for (QAction* action : menu_commands(env.frame())) {
            const int number = action->objectName().toInt();
            in_menus.insert(number);
            QCOMPARE(action->statusTip(), command_hint(number));
            if (!action->statusTip().isEmpty())
                ++hinted;
        }
        QVERIFY(hinted > 0);
        for (const CommandRow& row : command_table())
            if (!command_hint(row.number).isEmpty() && in_menus.count(row.number) == 0)
                QVERIFY2(row.number == 1901 || row.number == 1902, qPrintable(QString::number(row.number)));
        QCOMPARE(command_hint(1901), QStringLiteral("Use Max Palette Stretch on all Images"));
        QCOMPARE(command_hint(1902), QStringLiteral("Only use Max Palette Stretch on Focus Images"));
    }

    void without_a_telescope_the_guiding_items_are_greyed_and_cannot_be_chosen()
    {
        UiTestEnv env;
        telescope = 'n';
        QMenu* file = menu_titled(env.frame(), "&File");
        emit file->aboutToShow();
        CommandRecorder recorder;
        for (int number : { 22, 23, 24 }) {
            QVERIFY(!item(env.frame(), number)->isEnabled());
            item(env.frame(), number)->trigger();
        }
        QVERIFY(recorder.seen.isEmpty());
        QVERIFY(item(env.frame(), 21)->isEnabled());

        telescope = 'l';
        emit file->aboutToShow();
        for (int number : { 22, 23, 24 })
            QVERIFY(item(env.frame(), number)->isEnabled());
    }

    void resample_and_enlarge_follow_binning_and_their_flags()
    {
        UiTestEnv env;
        QMenu* view = menu_titled(env.frame(), "&View");
        binned = 0;
        Geo = 1;
        Big = 0;
        emit view->aboutToShow();
        QVERIFY(!item(env.frame(), 303)->isEnabled());
        QVERIFY(item(env.frame(), 303)->isChecked());
        QVERIFY(!item(env.frame(), 123)->isEnabled());
        QVERIFY(!item(env.frame(), 123)->isChecked());

        binned = 1;
        Geo = 0;
        Big = 1;
        emit view->aboutToShow();
        QVERIFY(item(env.frame(), 303)->isEnabled());
        QVERIFY(!item(env.frame(), 303)->isChecked());
        QVERIFY(item(env.frame(), 123)->isEnabled());
        QVERIFY(item(env.frame(), 123)->isChecked());
    }

    void view_and_pick_marks_follow_the_modes()
    {
        UiTestEnv env;
        env.window().Fit = 1;
        colour_palette = 1;
        stretch_palette = 0;
        pick_star = 1;
        emit menu_titled(env.frame(), "&View")->aboutToShow();
        emit menu_titled(env.frame(), "&File")->aboutToShow();
        QVERIFY(item(env.frame(), 301)->isChecked());
        QVERIFY(item(env.frame(), 118)->isChecked());
        QVERIFY(!item(env.frame(), 119)->isChecked());
        QVERIFY(item(env.frame(), 21)->isChecked());

        // Choosing a mode item shows the mode the handler left, not the
        // toolkit's own toggle.
        CommandRecorder recorder;
        item(env.frame(), 119)->trigger();
        QVERIFY(!item(env.frame(), 119)->isChecked());
        QVERIFY(!item(env.frame(), 14)->isCheckable());
    }

    void copy_needs_a_displayed_image()
    {
        UiTestEnv env;
        QMenu* edit = menu_titled(env.frame(), "&Edit");
        emit edit->aboutToShow();
        QVERIFY(!item(env.frame(), 24359)->isEnabled());
        QVERIFY(item(env.frame(), 9)->isEnabled());
        env.window().Dib = std::make_unique<QImage>(8, 8, QImage::Format_Indexed8);
        emit edit->aboutToShow();
        QVERIFY(item(env.frame(), 24359)->isEnabled());
    }
};

QTEST_MAIN(MenuTest)
#include "menu_test.moc"
