#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "app/quillon_window.h"
#include "app/state.h"
#include "processing/label.h"
#include "processing/merge_dialog.h"
#include "store/buffers.h"
#include "ui/file_chooser.h"
#include "ui_test_env.h"

namespace {
// A binned native file (the start geometry) whose samples are all `value`.
std::string write_native(const std::string& name, unsigned short value)
{
    const std::string path = test_env().home + "/" + name;
    std::vector<unsigned char> bytes(static_cast<std::size_t>(width1) * height1 * 2);
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        bytes[i] = static_cast<unsigned char>(value & 0xFF);
        bytes[i + 1] = static_cast<unsigned char>(value >> 8);
    }
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

void click(QDialog* dialog, const char* id)
{
    auto* button = control<QAbstractButton>(dialog, id);
    QVERIFY2(button != nullptr, id);
    button->click();
}
} // namespace

class CalibrationUiTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { set_file_chooser(nullptr); }

    void path_only_modes_store_the_chosen_path()
    {
        UiTestEnv env;
        const std::string path = write_native("~dark1", 5);
        FileRequest seen;
        set_file_chooser([&](const FileRequest& request) -> std::optional<FileChoice> {
            seen = request;
            return FileChoice { QString::fromStdString(path), 2 };
        });
        Filter_Index = 2;
        load_darkframe = 1;
        env.window().Merge_Image();
        load_darkframe = 0;
        QCOMPARE(DarkFileName, path);
        QCOMPARE(seen.filter_index, 2);
        QCOMPARE(seen.filters.size(), 3);
        QVERIFY(!seen.save);
        QCOMPARE(Filter_Index, 1); // the title holds "~"

        load_flatfield = 1;
        env.window().Merge_Image();
        load_flatfield = 0;
        QCOMPARE(FlatFileName, path);
        load_comparison = 1;
        env.window().Merge_Image();
        load_comparison = 0;
        QCOMPARE(ComparisonFileName, path);
        QCOMPARE(DarkFileName, path);

        // A FITS title sets the all-files index; cancelling changes nothing.
        const std::string fits = test_env().home + "/m42.fit";
        std::ofstream(fits) << "x";
        set_file_chooser([&](const FileRequest&) -> std::optional<FileChoice> {
            return FileChoice { QString::fromStdString(fits), 2 };
        });
        load_darkframe = 1;
        env.window().Merge_Image();
        QCOMPARE(DarkFileName, fits);
        QCOMPARE(Filter_Index, 3);
        set_file_chooser([](const FileRequest&) { return std::optional<FileChoice>(); });
        env.window().Merge_Image();
        load_darkframe = 0;
        QCOMPARE(DarkFileName, fits);
        QVERIFY(env.host().boxes.empty());
    }

    // Each file chooser is titled by its job, not "Open".
    void file_choosers_are_titled_by_their_job()
    {
        UiTestEnv env;
        QStringList titles;
        set_file_chooser([&](const FileRequest& request) -> std::optional<FileChoice> {
            titles << request.title;
            return std::nullopt;
        });
        env.window().CmDarkFile();
        env.window().CmFlatField();
        env.window().CmFileComparison();
        env.window().CmFileDelete();
        env.window().Subtract_Image();
        env.window().Flat_Image();
        env.window().Average_Image();
        QCOMPARE(titles,
            (QStringList { "Select Dark Frame", "Select Auto-Flat File", "Load Comparison Image",
                "Delete File", "Select Image to Subtract (Dark Frame)", "Select Flat Field to Apply",
                "Select Image to Average with" }));
        QVERIFY(env.host().boxes.empty());
    }

    void delete_dialog_deletes_only_on_ok()
    {
        UiTestEnv env;
        const std::string path = write_native("~old", 1);
        set_file_chooser([&](const FileRequest&) -> std::optional<FileChoice> {
            return FileChoice { QString::fromStdString(path), 1 };
        });
        delete_file = 1;

        QString shown, question;
        when_modal_shows([&](QDialog* dialog) {
            shown = control<QLineEdit>(dialog, "101")->text();
            for (auto* label : dialog->findChildren<QLabel*>())
                question += label->text();
            click(dialog, "2");
        });
        env.window().Merge_Image();
        QCOMPARE(shown, QString::fromStdString(path));
        QCOMPARE(question, QStringLiteral("Delete this file?"));
        QCOMPARE(file_name, path);
        QVERIFY(std::filesystem::exists(path));

        when_modal_shows([](QDialog* dialog) { click(dialog, "1"); });
        env.window().Merge_Image();
        delete_file = 0;
        QVERIFY(!std::filesystem::exists(path));
        QVERIFY(env.host().boxes.empty()); // nothing is reported
    }

    void subtract_through_the_file_chooser()
    {
        UiTestEnv env;
        const std::string dark = write_native("~dark", 300);
        std::fill(trial, trial + frame_samples, static_cast<unsigned short>(1));
        QCOMPARE(env.window().LoadVNTempFile(dark.c_str()), 0);
        QCOMPARE(trial[0], static_cast<unsigned short>(300));

        std::fill(image, image + frame_samples, static_cast<unsigned short>(1000));
        image[7] = 100;
        std::fill(trial, trial + frame_samples, static_cast<unsigned short>(0));
        set_file_chooser([&](const FileRequest&) -> std::optional<FileChoice> {
            return FileChoice { QString::fromStdString(dark), 1 };
        });
        env.window().Subtract_Image();
        QCOMPARE(merge_type, 's');
        QCOMPARE(image[0], static_cast<unsigned short>(700));
        QCOMPARE(image[7], static_cast<unsigned short>(0));
        QCOMPARE(undo[0], static_cast<unsigned short>(1000)); // undo holds the image before
        QCOMPARE(QString(process_info[0]), QStringLiteral("Dark Frame Subtracted"));
        QCOMPARE(env.host().wait_cursor_depth, 0);

        // A file that does not load leaves everything as it was.
        const std::vector<unsigned short> before(image, image + intlength);
        const std::string bad = test_env().home + "/~short";
        std::ofstream(bad) << "short";
        set_file_chooser([&](const FileRequest&) -> std::optional<FileChoice> {
            return FileChoice { QString::fromStdString(bad), 1 };
        });
        env.window().Average_Image();
        QVERIFY(std::equal(before.begin(), before.end(), image));
        QCOMPARE(history_count(), 1);
    }

    void label_dialog_and_label()
    {
        UiTestEnv env;
        std::fill(image, image + frame_samples, static_cast<unsigned short>(5000));
        auto_date = 0;
        std::strcpy(txtbuffer, "old");

        bool date_checked_at_open = false;
        when_modal_shows([&](QDialog* dialog) {
            date_checked_at_open = control<QCheckBox>(dialog, "102")->isChecked();
            control<QLineEdit>(dialog, "4090")->setText(QStringLiteral("M42 Orion"));
            click(dialog, "102"); // Auto Date off
            click(dialog, "104");
        });
        env.window().label_image();
        QVERIFY(date_checked_at_open); // opening sets auto_date
        QCOMPARE(auto_date, 0);
        QCOMPARE(QString(txtbuffer), QStringLiteral("M42 Orion"));
        QVERIFY(image_is_labelled(image));
        // "M42 Orion" starts in cell (64 - 9) / 2 = 27.
        QCOMPARE(image[(64 - 9) / 2 * 8 + width1 * 1 + 1], static_cast<unsigned short>(65535));
        QCOMPARE(image[width1_10], static_cast<unsigned short>(5000));
        QCOMPARE(history_count(), 0);

        // Cancel leaves the image alone.
        const std::vector<unsigned short> before(image, image + intlength);
        when_modal_shows([](QDialog* dialog) {
            control<QLineEdit>(dialog, "4090")->setText(QStringLiteral("Other"));
            click(dialog, "2");
        });
        env.window().label_image();
        QVERIFY(std::equal(before.begin(), before.end(), image));
    }

    void label_dialog_fits_date_rules()
    {
        UiTestEnv env;
        bool refused_flags_kept = false, fits_checked = false, both_cleared = false;
        when_modal_shows([&](QDialog* dialog) {
            auto* date_box = control<QCheckBox>(dialog, "102");
            auto* fits_box = control<QCheckBox>(dialog, "103");
            click(dialog, "103"); // no FITS date yet
            refused_flags_kept = auto_FITS_date == 0 && auto_date == 1 && !fits_box->isChecked();
            std::strcpy(FITS_Date, "2026-12-07");
            std::strcpy(FITS_Time, "22:15:00");
            click(dialog, "102"); // date off
            click(dialog, "103"); // FITS date sets both
            fits_checked
                = auto_FITS_date == 1 && auto_date == 1 && fits_box->isChecked() && date_box->isChecked();
            click(dialog, "102"); // clears both
            both_cleared = auto_FITS_date == 0 && auto_date == 0 && !fits_box->isChecked();
            click(dialog, "2");
        });
        env.window().label_image();
        QVERIFY(refused_flags_kept);
        QVERIFY(fits_checked);
        QVERIFY(both_cleared);
        QCOMPARE(env.host().boxes.size(), std::size_t(1));
        QCOMPARE(
            QString::fromStdString(env.host().boxes[0].text), QStringLiteral("Sorry, FITs date not set"));
        QCOMPARE(QString::fromStdString(env.host().boxes[0].caption), QStringLiteral("Quillon"));
    }

    void merge_dialog_marks_and_merges()
    {
        UiTestEnv env;
        photometry = 1;
        env.window().Add_Image();
        photometry = 0;
        QCOMPARE(env.host().boxes.size(), std::size_t(1));
        QVERIFY(env.window().merge_dialog() == nullptr);

        std::fill(image, image + frame_samples, static_cast<unsigned short>(1000));
        env.window().Add_Image();
        TMergeDialog* dialog = env.window().merge_dialog();
        QVERIFY(dialog != nullptr);
        QVERIFY(dialog->isVisible());
        QVERIFY(!dialog->isModal());
        QCOMPARE(merging, 1);
        env.window().Add_Image(); // already merging
        QCOMPARE(QString::fromStdString(env.host().boxes.back().text),
            QStringLiteral("Sorry, you are already in Merging mode."));

        env.window().merge_click(30, 40);
        QCOMPARE(control<QLineEdit>(dialog, "104")->text(), QStringLiteral("30"));
        QCOMPARE(control<QLineEdit>(dialog, "106")->text(), QStringLiteral("40"));
        QVERIFY(control<QRadioButton>(dialog, "101")->isChecked());
        click(dialog, "1"); // no second image yet: ignored
        QVERIFY(dialog->isVisible());
        QCOMPARE(merging, 1);

        // The file open copies the shown image into trial; the second image
        // then replaces it.
        env.window().merge_open_second_image();
        QVERIFY(control<QRadioButton>(dialog, "102")->isChecked());
        std::fill(image, image + frame_samples, static_cast<unsigned short>(3000));
        env.window().merge_click(32, 41);
        QCOMPARE(control<QLineEdit>(dialog, "105")->text(), QStringLiteral("32"));
        QCOMPARE(control<QLineEdit>(dialog, "107")->text(), QStringLiteral("41"));
        QCOMPARE(control<QLineEdit>(dialog, "104")->text(), QStringLiteral("30"));

        click(dialog, "108");
        QCOMPARE(merge_centre, 1);
        QVERIFY(control<QCheckBox>(dialog, "108")->isChecked());
        click(dialog, "103");
        QCOMPARE(average, 1);
        QVERIFY(control<QCheckBox>(dialog, "103")->isChecked());

        const std::size_t boxes = env.host().boxes.size();
        click(dialog, "9");
        QCOMPARE(env.host().boxes.size(), boxes + 1);
        QCOMPARE(QString::fromStdString(env.host().boxes.back().caption),
            QStringLiteral("Quillon - Control Merging"));

        QPointer<QDialog> watch(dialog);
        click(dialog, "1");
        QCOMPARE(merging, 0);
        QCOMPARE(average, 0);
        QCOMPARE(prep_image, 1);
        QCOMPARE(image[width1 * 100 + 100], static_cast<unsigned short>(2000)); // (3000 + 1000) / 2
        QTRY_VERIFY(watch.isNull());
        QVERIFY(env.window().merge_dialog() == nullptr);
    }

    void merge_cancel_and_close_leave_images()
    {
        UiTestEnv env;
        std::fill(image, image + frame_samples, static_cast<unsigned short>(77));
        env.window().Add_Image();
        env.window().merge_click(5, 5);
        click(env.window().merge_dialog(), "103");
        click(env.window().merge_dialog(), "2");
        QCOMPARE(merging, 0);
        QCOMPARE(average, 0);
        QTRY_VERIFY(env.window().merge_dialog() == nullptr);
        QCOMPARE(image[500], static_cast<unsigned short>(77));

        env.window().Add_Image();
        QCOMPARE(merging, 1);
        env.window().merge_dialog()->close();
        QCOMPARE(merging, 0);
    }

    void mirror_command()
    {
        UiTestEnv env;
        for (int i = 0; i < width1 * height1; ++i)
            image[i] = static_cast<unsigned short>(i % width1);
        env.window().CmMirror();
        QCOMPARE(image[0], static_cast<unsigned short>(width1 - 1));
        QCOMPARE(image[width1 * 50 + 10], static_cast<unsigned short>(width1 - 11));
        QCOMPARE(env.host().wait_cursor_depth, 0);
        QCOMPARE(history_count(), 0);
    }
};

QTEST_MAIN(CalibrationUiTest)
#include "calibration_ui_test.moc"
