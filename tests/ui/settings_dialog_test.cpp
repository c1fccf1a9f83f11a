#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <QAction>
#include <QToolBar>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "app/data_root.h"
#include "app/quillon_window.h"
#include "app/state.h"
#include "store/settings_dialog.h"
#include "store/settings_file.h"
#include "ui_test_env.h"

namespace {
void click(QDialog* d, int id)
{
    auto* button = control<QAbstractButton>(d, QString::number(id));
    QVERIFY2(button != nullptr, qPrintable(QString::number(id)));
    button->click();
}

void type(QDialog* d, int id, const QString& text)
{
    auto* field = control<QLineEdit>(d, QString::number(id));
    QVERIFY2(field != nullptr, qPrintable(QString::number(id)));
    field->setText(text);
}

bool checked(QDialog* d, int id)
{
    return control<QAbstractButton>(d, QString::number(id))->isChecked();
}

QString text_of(QDialog* d, int id)
{
    return control<QLineEdit>(d, QString::number(id))->text();
}

// Drives the next modal dialog; a failed check inside still closes it.
void drive(std::function<void(QDialog*)> act)
{
    when_modal_shows([act](QDialog* d) {
        act(d);
        if (d->isVisible())
            d->reject();
    });
}
} // namespace

class SettingsDialogTest : public QObject {
    Q_OBJECT

private slots:
    void every_control_is_there_with_its_text()
    {
        UiTestEnv env;
        const struct {
            int id;
            const char* text;
        } buttons[] = {
            { 17130, "7 Pixels" },
            { 17131, "8 Pixels" },
            { 17132, "9 Pixels" },
            { 17133, "11 Pixels" },
            { 17134, "13 Pixels" },
            { 17135, "15 Pixels" },
            { 17121, "Lt Gray" },
            { 17120, "Red" },
            { 17122, "Dark Gray" },
            { 17111, "1 Sec Delay in Focus Mode" },
            { 17127, "LX200 (Tm)" },
            { 17128, "Control Box" },
            { 17129, "None" },
            { 17161, "Com 1" },
            { 17162, "Com 2" },
            { 17163, "Com 3" },
            { 17164, "Com 4" },
            { 17165, "Com 5" },
            { 17106, "1 Sec" },
            { 17107, "2 Sec" },
            { 17108, "4 Sec" },
            { 17118, "Set Manually" },
            { 17138, "Ignore drift < 1 pixel" },
            { 17139, "during Download" },
            { 17102, "Swap n/s direction" },
            { 17103, "Swap e/w direction" },
            { 17104, "HighRes Images" },
            { 17110, "correction direction" },
            { 17148, "Set Directory" },
            { 17105, "Debug Info Mode" },
            { 17153, "10 Seconds" },
            { 17154, "15 Seconds" },
            { 17155, "20 Seconds" },
            { 17123, "FITS Unsigned Integer" },
            { 1, "Save Changes" },
            { 2, "Cancel" },
        };
        bool ran = false;
        drive([&](QDialog* d) {
            ran = true;
            QCOMPARE(d->windowTitle(), QStringLiteral("Set Program Defaults"));
            for (const auto& b : buttons) {
                auto* button = control<QAbstractButton>(d, QString::number(b.id));
                QVERIFY2(button != nullptr, b.text);
                QCOMPARE(button->text(), QString::fromLatin1(b.text));
            }
            for (int id : { 17116, 17117, 17114, 17115, 17136, 17137, 17147 })
                QVERIFY(control<QLineEdit>(d, QString::number(id)) != nullptr);
            QStringList groups;
            for (auto* box : d->findChildren<QGroupBox*>())
                groups << box->title();
            for (const char* title : { "Radius of Guide Star Mask", "Background Image Area",
                     "Select Com Port", "Guide Training time", "Disable Interrupts", "Autosave Sub-Directory",
                     "Delay Before Exposure" })
                QVERIFY2(groups.contains(QString::fromLatin1(title)), title);
            // The start values are shown.
            QVERIFY(checked(d, 17131));
            QVERIFY(checked(d, 17121));
            QVERIFY(checked(d, 17129));
            QVERIFY(checked(d, 17161));
            QVERIFY(checked(d, 17106));
            QVERIFY(checked(d, 17111));
            QVERIFY(checked(d, 17139));
            QVERIFY(checked(d, 17104));
            QVERIFY(checked(d, 17153));
            QVERIFY(!checked(d, 17102));
            QVERIFY(!checked(d, 17105));
            QCOMPARE(text_of(d, 17116), QStringLiteral("2"));
            QCOMPARE(text_of(d, 17136), QStringLiteral("0"));
            click(d, 2);
        });
        env.window().CmINI();
        QVERIFY(ran);
    }

    void controls_act_at_once_and_save_changes_writes_them()
    {
        UiTestEnv env;
        // The folder is there but the file is not: message 20, then the file is written.
        // (The window's start-up load made the folder and wrote the file.)
        std::filesystem::create_directories(data_path("AUTOSAVE"));
        std::filesystem::remove(ini_file);
        auto* bar = env.frame().findChild<QToolBar*>(QStringLiteral("cb"));
        QVERIFY(bar != nullptr);
        const auto telescope_on_bar = [bar] {
            const auto actions = bar->actions();
            return !actions.isEmpty() && actions.last()->objectName() == QStringLiteral("24");
        };
        QVERIFY(!telescope_on_bar());
        drive([](QDialog* d) {
            click(d, 17135);
            QCOMPARE(star_mask, 15);
            click(d, 17120);
            QCOMPARE(default_back, 'r');
            QCOMPARE(back_r, 120);
            QCOMPARE(back_changed, 1);
            click(d, 17127);
            QCOMPARE(telescope, 'l');
            click(d, 17163);
            QCOMPARE(slewcom, '3');
            click(d, 17108);
            QCOMPARE(slewdefault, 4);
            click(d, 17111);
            QCOMPARE(focus_delay, 0);
            QVERIFY(!checked(d, 17111));
            click(d, 17138);
            QCOMPARE(ignore_small, 1);
            click(d, 17139);
            QCOMPARE(disable_interrupts, 0);
            click(d, 17102);
            QCOMPARE(n, 's');
            QCOMPARE(s, 'n');
            QVERIFY(checked(d, 17102));
            click(d, 17103);
            QCOMPARE(e, 'w');
            click(d, 17104);
            QCOMPARE(apply_correction, 0);
            click(d, 17110);
            QCOMPARE(Losmandy_pause, 1);
            click(d, 17105);
            QCOMPARE(Debug_Mode, 1);
            QCOMPARE(Show_Interface_Details, 1);
            click(d, 17155);
            QCOMPARE(pause_secs, 20);
            click(d, 17123);
            QCOMPARE(FITS_SBIG, 1);
            // A hysteresis of 35 is refused by name with nothing stored; the
            // fields show again what is held.
            type(d, 17116, "6");
            type(d, 17117, "3");
            type(d, 17114, "20");
            type(d, 17115, "4");
            type(d, 17136, "35");
            type(d, 17137, "12");
            click(d, 17118);
            QCOMPARE(slewx, 2);
            QCOMPARE(hystx, 0);
            QCOMPARE(text_of(d, 17136), QStringLiteral("0"));
            QCOMPARE(text_of(d, 17116), QStringLiteral("2"));
            type(d, 17116, "6");
            type(d, 17117, "3");
            type(d, 17114, "20");
            type(d, 17115, "4");
            type(d, 17136, "20");
            type(d, 17137, "12");
            click(d, 17118);
            QCOMPARE(slewx, 6);
            QCOMPARE(slewy, 3);
            QCOMPARE(backlashx, 20);
            QCOMPARE(backlashy, 4);
            QCOMPARE(hystx, 20);
            QCOMPARE(hysty, 12);
            click(d, 1);
        });
        env.window().CmINI();

        // The LX200 link was chosen: the telescope button joins the end of the bar,
        // and leaves it again when the interface is switched off.
        QVERIFY(telescope_on_bar());
        telescope = 'n';
        env.window().telescope_button_changed();
        QVERIFY(!telescope_on_bar());
        telescope = 'l';
        QCOMPARE(bytes_of(ini_file), settings_bytes());
        QCOMPARE(env.window().BkgndBrush.color(), QColor(120, 40, 40));
        // The boxes: the missing file before the dialog, then the refused hysteresis.
        QCOMPARE(env.host().boxes.size(), size_t(2));
        QCOMPARE(QString::fromStdString(env.host().boxes[0].text),
            QStringLiteral("Unable to load INI file, please delete and try again"));
        QVERIFY(QString::fromStdString(env.host().boxes[1].text)
                    .startsWith(
                        QStringLiteral("\"Hysteresis in RA (0-20)\" takes a whole number from 0 to 20.")));

        // The next start-up reads what was saved.
        reset_program_state();
        QCOMPARE(LoadINIFile(ini_file.c_str()), 0);
        QCOMPARE(star_mask, 15);
        QCOMPARE(telescope, 'l');
        QCOMPARE(hystx, 20);
        QCOMPARE(n, 's');
    }

    void typed_numbers_are_taken_by_other_controls_but_not_by_pause_debug_or_format()
    {
        UiTestEnv env;
        drive([](QDialog* d) {
            type(d, 17116, "9");
            click(d, 17154);
            QCOMPARE(pause_secs, 15);
            QCOMPARE(slewx, 2);
            type(d, 17116, "9");
            click(d, 17123);
            click(d, 17105);
            QCOMPARE(slewx, 2);
            type(d, 17116, "9");
            type(d, 17117, "not a number");
            click(d, 17130);
            QCOMPARE(star_mask, 7);
            QCOMPARE(slewx, 9);
            QCOMPARE(slewy, 2);
            QCOMPARE(text_of(d, 17117), QStringLiteral("2"));
            click(d, 2);
        });
        env.window().CmINI();
    }

    void sub_folder_is_checked_and_sets_the_auto_save_folder()
    {
        UiTestEnv env;
        drive([&](QDialog* d) {
            type(d, 17147, "M42");
            click(d, 17148);
            QCOMPARE(QString::fromLatin1(auto_save_subdir), QStringLiteral("M42"));
            QCOMPARE(
                QString::fromLatin1(auto_save_dir), QString::fromStdString(data_path("AUTOSAVE") + "/M42"));
            const std::size_t boxes_before = env.host().boxes.size();
            for (const char* bad : { "night\\one", "c:night", "../night", "a/b" }) {
                type(d, 17147, QString::fromLatin1(bad));
                click(d, 17148);
                QCOMPARE(QString::fromLatin1(auto_save_subdir), QStringLiteral("M42"));
                QCOMPARE(text_of(d, 17147), QString::fromLatin1(bad));
            }
            QCOMPARE(env.host().boxes.size(), boxes_before + 4);
            QCOMPARE(QString::fromStdString(env.host().boxes.back().text),
                QStringLiteral("Sorry, you have entered an invalid subdirectory."));
            type(d, 17147, "");
            click(d, 17148);
            QCOMPARE(QString::fromLatin1(auto_save_subdir), QString());
            QCOMPARE(QString::fromLatin1(auto_save_dir), QString::fromStdString(data_path("AUTOSAVE")));
            click(d, 2);
        });
        env.window().CmINI();
    }

    void cancel_keeps_changes_unwritten_and_the_dialog_shows_the_file()
    {
        UiTestEnv env;
        star_mask = 11;
        pause_secs = 15;
        QCOMPARE(SaveINIFile(ini_file.c_str()), 0);
        const auto written = bytes_of(ini_file);
        reset_program_state();
        drive([](QDialog* d) {
            // Loaded before the dialog opens.
            QVERIFY(checked(d, 17133));
            QVERIFY(checked(d, 17154));
            click(d, 17134);
            click(d, 2);
        });
        env.window().CmINI();
        QCOMPARE(star_mask, 13);
        QCOMPARE(bytes_of(ini_file), written);
        QVERIFY(env.host().boxes.empty());
    }

    void a_value_no_button_offers_checks_none()
    {
        UiTestEnv env;
        std::filesystem::create_directories(data_path("AUTOSAVE"));
        star_mask = 10;
        slewdefault = 3;
        QCOMPARE(SaveINIFile(ini_file.c_str()), 0);
        drive([](QDialog* d) {
            for (int id = 17130; id <= 17135; ++id)
                QVERIFY(!checked(d, id));
            for (int id : { 17106, 17107, 17108 })
                QVERIFY(!checked(d, id));
            click(d, 2);
        });
        env.window().CmINI();
    }

    void a_failed_save_shows_message_24()
    {
        UiTestEnv env;
        std::ofstream(data_path("blocker")) << "x";
        ini_file = data_path("blocker/Quillon.INI");
        drive([](QDialog* d) { click(d, 1); });
        env.window().CmINI();
        QCOMPARE(env.host().boxes.size(), size_t(2));
        QCOMPARE(QString::fromStdString(env.host().boxes[0].text),
            QStringLiteral("Unable to load INI file, please delete and try again"));
        QCOMPARE(QString::fromStdString(env.host().boxes[1].text),
            QStringLiteral("Unable to save INI file, please check disk space"));
    }
};

QTEST_MAIN(SettingsDialogTest)
#include "settings_dialog_test.moc"
