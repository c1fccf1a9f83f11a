#include <QtTest>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

#include <cstring>
#include <filesystem>
#include <vector>

#include "app/messages.h"
#include "app/quillon_window.h"
#include "app/state.h"
#include "store/autosave.h"
#include "store/buffers.h"
#include "store/fits_dialog.h"
#include "store/image_io.h"
#include "ui/file_chooser.h"
#include "ui_test_env.h"

namespace {
int loads = 0, saves = 0, load_result = 0, save_result = 0;
int fake_load()
{
    ++loads;
    return load_result;
}
int fake_save()
{
    ++saves;
    return save_result;
}
} // namespace

class FitsDialogTest : public QObject {
    Q_OBJECT

private slots:
    void shows_the_globals_and_continue_reads_every_edit()
    {
        UiTestEnv env;
        std::strcpy(FITS_Obj, "M42");
        std::strcpy(FITS_His, "dark subtracted");
        FITS_Focallen = 80;
        FITS_Diff = -3;
        TFITSDialog dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("FITS DETAILS"));
        QCOMPARE(control<QLineEdit>(&dialog, "101")->text(), QStringLiteral("M42"));
        QCOMPARE(control<QLineEdit>(&dialog, "105")->text(), QStringLiteral("Vantrel CCD"));
        QCOMPARE(control<QLineEdit>(&dialog, "115")->text(), QStringLiteral("None"));
        QCOMPARE(control<QLineEdit>(&dialog, "113")->text(), QStringLiteral("80.000000"));
        QCOMPARE(control<QPlainTextEdit>(&dialog, "107")->toPlainText(), QStringLiteral("dark subtracted"));
        QCOMPARE(control<QScrollBar>(&dialog, "111")->value(), -3);
        QCOMPARE(control<QLabel>(&dialog, "112")->text(), QStringLiteral("-3"));
        QCOMPARE(control<QPushButton>(&dialog, "1")->text(), QStringLiteral("Continue"));
        QCOMPARE(control<QPushButton>(&dialog, "2")->text(), QStringLiteral("Abort"));

        control<QLineEdit>(&dialog, "101")->setText(QStringLiteral("M 31"));
        control<QLineEdit>(&dialog, "102")->setText(QStringLiteral("Observer"));
        control<QLineEdit>(&dialog, "109")->setText(QStringLiteral("Garden"));
        control<QLineEdit>(&dialog, "104")->setText(QStringLiteral("Refractor"));
        control<QLineEdit>(&dialog, "103")->setText(QStringLiteral("2026-12-08"));
        control<QLineEdit>(&dialog, "110")->setText(QStringLiteral("01:02:03"));
        control<QLineEdit>(&dialog, "114")->setText(QStringLiteral("12.5"));
        control<QLineEdit>(&dialog, "116")->setText(QStringLiteral("not a number"));
        control<QLineEdit>(&dialog, "115")->setText(QStringLiteral("V"));
        // Line breaks and characters beyond ASCII cannot stand in a header card.
        control<QPlainTextEdit>(&dialog, "106")->setPlainText(QStringLiteral("first\nsecond \u00e9"));
        auto* hours = control<QScrollBar>(&dialog, "111");
        hours->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        hours->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(control<QLabel>(&dialog, "112")->text(), QStringLiteral("-1"));
        FITS_Exptime = 30;
        press(&dialog, "1");

        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(QString(FITS_Obj), QStringLiteral("M 31"));
        QCOMPARE(QString(FITS_Obs), QStringLiteral("Observer"));
        QCOMPARE(QString(FITS_Src), QStringLiteral("Garden"));
        QCOMPARE(QString(FITS_Tel), QStringLiteral("Refractor"));
        QCOMPARE(QString(FITS_Date), QStringLiteral("2026-12-08"));
        QCOMPARE(QString(FITS_Time), QStringLiteral("01:02:03"));
        QCOMPARE(QString(FITS_Filter), QStringLiteral("V"));
        QCOMPARE(QString(FITS_Com), QStringLiteral("first second ?"));
        QCOMPARE(FITS_Aperture, 12.5);
        QCOMPARE(FITS_Exptime, 30.0); // an unreadable number keeps the old value
        QCOMPARE(FITS_Diff, -1);
    }

    // A reopened file's History and Comments come back padded to their cards;
    // shown without the padding, what is typed after them is kept. Tab moves
    // on from them, and every field carries its label's name.
    void padded_texts_show_without_padding_keep_what_is_typed_and_tab_moves_on()
    {
        UiTestEnv env;
        std::strcpy(FITS_His, ("first night" + std::string(243, ' ')).c_str());
        std::strcpy(FITS_Com, ("seeing 3/5" + std::string(244, ' ')).c_str());
        TFITSDialog dialog;
        auto* his = control<QPlainTextEdit>(&dialog, "107");
        auto* com = control<QPlainTextEdit>(&dialog, "106");
        QCOMPARE(his->toPlainText(), QStringLiteral("first night"));
        QCOMPARE(com->toPlainText(), QStringLiteral("seeing 3/5"));
        com->moveCursor(QTextCursor::End);
        com->insertPlainText(QStringLiteral("; clouds after midnight"));

        dialog.show();
        QApplication::setActiveWindow(&dialog);
        his->setFocus();
        QTest::keyClick(his, Qt::Key_Tab);
        QCOMPARE(his->toPlainText(), QStringLiteral("first night"));
        QVERIFY(!his->hasFocus());

        const struct {
            const char* id;
            const char* name;
        } names[] = { { "101", "Object" }, { "102", "Observer" }, { "109", "Origin" }, { "104", "Telescope" },
            { "105", "Instrumentation" }, { "107", "History" }, { "106", "Comments" }, { "103", "Date" },
            { "110", "Time" }, { "113", "Focal Len (ins)" }, { "114", "Aperture (Sq. ins)" },
            { "116", "Exposure (secs)" }, { "115", "Filter" }, { "111", "Time Difference to UT in Hrs" } };
        for (const auto& n : names)
            QCOMPARE(control<QWidget>(&dialog, n.id)->accessibleName(), QString::fromLatin1(n.name));

        press(&dialog, "1");
        QCOMPARE(QString(FITS_His), QStringLiteral("first night"));
        QCOMPARE(QString(FITS_Com), QStringLiteral("seeing 3/5; clouds after midnight"));
    }

    void hour_difference_stays_within_eleven_hours()
    {
        UiTestEnv env;
        FITS_Diff = 12; // outside the scale: starts at 0
        TFITSDialog dialog;
        auto* hours = control<QScrollBar>(&dialog, "111");
        QCOMPARE(hours->value(), 0);
        for (int i = 0; i < 15; ++i)
            hours->triggerAction(QAbstractSlider::SliderSingleStepSub);
        QCOMPARE(dialog.difference(), -11);
        for (int i = 0; i < 30; ++i)
            hours->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(control<QLabel>(&dialog, "112")->text(), QStringLiteral("11"));
        press(&dialog, "1");
        QCOMPARE(FITS_Diff, 11);
    }

    void abort_keeps_the_texts_but_not_the_check_boxes()
    {
        UiTestEnv env;
        std::strcpy(FITS_Obj, "kept");
        FITS_Diff = 4;
        TFITSDialog dialog;
        control<QLineEdit>(&dialog, "101")->setText(QStringLiteral("thrown away"));
        control<QScrollBar>(&dialog, "111")->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        control<QCheckBox>(&dialog, "108")->click();
        control<QCheckBox>(&dialog, "117")->click();
        QCOMPARE(eightbit, 1);
        QCOMPARE(FITS_SBIG, 1);
        press(&dialog, "2");
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(QString(FITS_Obj), QStringLiteral("kept"));
        QCOMPARE(FITS_Diff, 4);
        QCOMPARE(eightbit, 1);
        QCOMPARE(FITS_SBIG, 1);
    }

    void save_as_fits_runs_the_dialog_then_writes_the_chosen_file()
    {
        UiTestEnv env;
        FileRequest asked;
        const QString path = QString::fromStdString(test_env().home) + "/night.FIT";
        set_file_chooser([&](const FileRequest& request) -> std::optional<FileChoice> {
            asked = request;
            return FileChoice { path, 1 };
        });
        test_env().clock.local.tm_year = 126;
        test_env().clock.local.tm_mon = 11;
        test_env().clock.local.tm_mday = 8;
        eightbit = 1; // cleared by the command before the dialog shows
        when_modal_shows([](QDialog* dialog) {
            QVERIFY(!control<QCheckBox>(dialog, "108")->isChecked());
            QCOMPARE(control<QLineEdit>(dialog, "103")->text(), QStringLiteral("2026-12-08"));
            control<QLineEdit>(dialog, "101")->setText(QStringLiteral("Saturn"));
            control<QCheckBox>(dialog, "108")->click();
            control<QPushButton>(dialog, "1")->click();
        });
        env.window().CmFITSSave();
        set_file_chooser({});
        QCOMPARE(asked.default_suffix, QStringLiteral("FIT"));
        QCOMPARE(asked.initial_name, QStringLiteral("*.FIT"));
        QCOMPARE(Filter_Index, 2);
        QCOMPARE(save_FITS, 0);
        QCOMPARE(env.frame().windowTitle(), QStringLiteral("Quillon - night.fit"));
        QCOMPARE(std::filesystem::file_size(path.toStdString()), std::uintmax_t(115200)); // 8-bit binned
        std::vector<unsigned char> bytes;
        read_whole_file(path.toStdString(), bytes);
        QCOMPARE(std::string(bytes.begin() + 400, bytes.begin() + 418), std::string("OBJECT  = 'Saturn'"));
        QVERIFY(env.host().boxes.empty());
    }

    void aborted_fits_save_writes_nothing()
    {
        UiTestEnv env;
        bool asked = false;
        set_file_chooser([&](const FileRequest&) -> std::optional<FileChoice> {
            asked = true;
            return std::nullopt;
        });
        when_modal_shows([](QDialog* dialog) { control<QPushButton>(dialog, "2")->click(); });
        env.window().CmFITSSave();
        set_file_chooser({});
        QVERIFY(!asked);
    }

    void edit_autosave_text_loads_and_keeps_the_settings()
    {
        UiTestEnv env;
        loads = saves = 0;
        load_result = 1; // no settings file yet
        save_result = 0;
        const ScopedSettingsHooks hooks({ {}, fake_load, fake_save });
        when_modal_shows([](QDialog* dialog) {
            control<QLineEdit>(dialog, "101")->setText(QStringLiteral("Auto object"));
            control<QPushButton>(dialog, "1")->click();
        });
        env.window().CmEditFITSText();
        QCOMPARE(loads, 1);
        QCOMPARE(saves, 2); // the current values after the failed load, then the edit
        QCOMPARE(env.host().boxes.size(), size_t(1));
        QCOMPARE(env.host().boxes[0].text, message_text(42, nullptr));
        QCOMPARE(QString(FITS_Obj), QStringLiteral("Auto object"));

        load_result = 0;
        save_result = 1; // the disk is full
        when_modal_shows([](QDialog* dialog) { control<QPushButton>(dialog, "1")->click(); });
        env.window().CmEditFITSText();
        QCOMPARE(env.host().boxes.size(), size_t(2));
        QCOMPARE(env.host().boxes[1].text, message_text(24, nullptr));
    }
};

QTEST_MAIN(FitsDialogTest)
#include "fits_dialog_test.moc"
