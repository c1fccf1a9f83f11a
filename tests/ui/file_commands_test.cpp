#include <QtTest>

#include <QDir>
#include <QMainWindow>
#include <QStatusBar>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <vector>

#include "app/messages.h"
#include "app/quillon_window.h"
#include "app/state.h"
#include "store/autosave.h"
#include "store/buffers.h"
#include "store/fits_file.h"
#include "store/image_io.h"
#include "store/native_file.h"
#include "ui/file_chooser.h"
#include "ui_test_env.h"

namespace {
QString home(const char* name)
{
    return QString::fromStdString(test_env().home) + "/" + name;
}

void write_file(const QString& path, const std::vector<unsigned char>& bytes)
{
    std::ofstream(path.toStdString(), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Answers every file dialog with `path` and remembers the last request.
struct Chooser {
    FileRequest last;
    explicit Chooser(const QString& path)
    {
        set_file_chooser([this, path](const FileRequest& request) -> std::optional<FileChoice> {
            last = request;
            if (path.isEmpty())
                return std::nullopt;
            return FileChoice { path, 1 };
        });
    }
    ~Chooser() { set_file_chooser({}); }
};
} // namespace

class FileCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void open_raw_file_switches_geometry_and_names_the_window()
    {
        UiTestEnv env;
        binned = 0;
        binned21 = 1;
        ZQ_binned();
        std::vector<unsigned char> bytes(native_binned_length, 0);
        bytes[0] = 0x02;
        bytes[1] = 0x01;
        write_file(home("~Moon"), bytes);
        lastfile = "~previous";
        Filter_Index = 3;
        Chooser chooser(home("~Moon"));
        env.window().CmFileOpen();
        QCOMPARE(chooser.last.save, false);
        QCOMPARE(chooser.last.filters.size(), 3);
        QVERIFY(chooser.last.filters[0].startsWith("Vantrel (~*.)"));
        QCOMPARE(chooser.last.filter_index, 3);
        QCOMPARE(chooser.last.initial_name, QStringLiteral("~previous"));
        QVERIFY(chooser.last.default_suffix.isEmpty());

        QCOMPARE(width1, 376);
        QCOMPARE(image[0], (unsigned short)0x0102);
        QCOMPARE(QString::fromStdString(lastfile), QStringLiteral("~moon"));
        QCOMPARE(QString::fromStdString(image_name), QStringLiteral("~moon"));
        QCOMPARE(Filter_Index, 1);
        QCOMPARE(env.frame().windowTitle(), QStringLiteral("Quillon - ~moon"));
        QVERIFY(env.host().boxes.empty());
    }

    void open_while_merging_keeps_the_base_image_in_trial()
    {
        UiTestEnv env;
        std::fill(image, image + intlength, static_cast<unsigned short>(1000));
        env.window().Add_Image();
        QCOMPARE(merging, 1);
        QCOMPARE(orig, 1);
        std::vector<unsigned char> bytes(native_binned_length, 0);
        bytes[0] = 7;
        write_file(home("~second"), bytes);
        Chooser chooser(home("~second"));
        env.window().CmFileOpen();
        // The shown image is the second one; the base image waits in trial.
        QCOMPARE(orig, 0);
        QCOMPARE(int(image[0]), 7);
        QCOMPARE(int(trial[0]), 1000);
        QCOMPARE(int(trial[intlength - 5]), 1000);
    }

    void open_fits_file_sets_the_all_files_filter()
    {
        UiTestEnv env;
        std::strcpy(FITS_Obj, "Jupiter");
        image[0] = 1234;
        QCOMPARE(SaveFITSFile(home("Jup.FIT").toLocal8Bit().constData(), image, FITS_Obj, "", "2026-01-01",
                     "", FITS_Ins, "", "", 0),
            0);
        ClearFITSInfo();
        image[0] = 0;
        Filter_Index = 1;
        Chooser chooser(home("Jup.FIT"));
        env.window().CmFileOpen();
        QCOMPARE(Filter_Index, 3);
        QCOMPARE(image[0], (unsigned short)1234);
        QCOMPARE(QString(FITS_Obj), QStringLiteral("Jupiter"));
        QCOMPARE(env.frame().windowTitle(), QStringLiteral("Quillon - jup.fit"));
    }

    void refused_files_show_their_message_and_change_nothing()
    {
        UiTestEnv env;
        image[0] = 77;
        write_file(home("odd.bin"), std::vector<unsigned char>(872321, 1));
        {
            Chooser chooser(home("odd.bin"));
            env.window().CmFileOpen();
        }
        QCOMPARE(env.host().boxes.size(), size_t(1));
        QCOMPARE(env.host().boxes[0].text, message_text(41, nullptr));
        QCOMPARE(env.host().boxes[0].caption, std::string("Quillon"));

        // A FITS length from another program.
        write_file(home("other.fit"), std::vector<unsigned char>(fits_binned_length, ' '));
        {
            Chooser chooser(home("other.fit"));
            env.window().CmFileOpen();
        }
        QCOMPARE(env.host().boxes.size(), size_t(2));
        QCOMPARE(env.host().boxes[1].text, message_text(14, nullptr));

        // A named pipe and a folder: refused at once, never waited on.
        QCOMPARE(mkfifo(home("pipe.fit").toLocal8Bit().constData(), 0600), 0);
        QVERIFY(QDir().mkdir(home("folder.fit")));
        for (const char* name : { "pipe.fit", "folder.fit" }) {
            Chooser chooser(home(name));
            env.window().CmFileOpen();
            QCOMPARE(env.host().boxes.back().text, message_text(41, nullptr));
            QCOMPARE(env.window().LoadVNTempFile(home(name).toLocal8Bit().constData()), 1);
            QCOMPARE(env.host().boxes.back().text, message_text(12, nullptr));
        }
        QCOMPARE(env.host().boxes.size(), size_t(6));
        QCOMPARE(image[0], (unsigned short)77);
        QCOMPARE(env.frame().windowTitle(), QStringLiteral("Quillon - (Untitled)"));
        QVERIFY(image_name.empty());
    }

    void cancelled_dialog_ends_the_command()
    {
        UiTestEnv env;
        Filter_Index = 2;
        Chooser chooser(QString {});
        env.window().CmFileOpen();
        env.window().CmFileSave();
        QCOMPARE(Filter_Index, 2);
        QVERIFY(env.host().boxes.empty());
    }

    void save_writes_the_raw_frame_under_the_chosen_name()
    {
        UiTestEnv env;
        image[0] = 0xABCD;
        Filter_Index = 3;
        Chooser chooser(home("~Saved"));
        env.window().CmFileSave();
        QCOMPARE(chooser.last.save, true);
        QCOMPARE(chooser.last.filter_index, 3);
        QVERIFY(chooser.last.initial_name.isEmpty());
        QCOMPARE(std::filesystem::file_size(home("~Saved").toStdString()), std::uintmax_t(218080));
        QCOMPARE(Filter_Index, 1);
        QCOMPARE(env.frame().windowTitle(), QStringLiteral("Quillon - ~saved"));
        std::vector<unsigned char> bytes;
        read_whole_file(home("~Saved").toStdString(), bytes);
        QCOMPARE(int(bytes[0]), 0xCD);
        QCOMPARE(int(bytes[1]), 0xAB);
    }

    void failed_saves_show_their_message()
    {
        UiTestEnv env;
        {
            Chooser chooser(home("missing/~x"));
            env.window().CmFileSave();
        }
        QCOMPARE(env.host().boxes.size(), size_t(1));
        QCOMPARE(env.host().boxes[0].text, message_text(17, nullptr));
        {
            Chooser chooser(home("missing/x.tif"));
            env.window().CmTifSave();
        }
        QCOMPARE(env.host().boxes.size(), size_t(2));
        QCOMPARE(env.host().boxes[1].text, message_text(22, nullptr));
        QCOMPARE(save_tif, 0);
    }

    void tiff_save_asks_for_a_tif_name()
    {
        UiTestEnv env;
        Chooser chooser(home("Shot.TIF"));
        env.window().CmTifSave();
        QCOMPARE(chooser.last.default_suffix, QStringLiteral("TIF"));
        QCOMPARE(chooser.last.initial_name, QStringLiteral("*.TIF"));
        QVERIFY(chooser.last.filters[0].startsWith("Tiff file (*.TIF)"));
        QCOMPARE(std::filesystem::file_size(home("Shot.TIF").toStdString()), std::uintmax_t(109286));
        QCOMPARE(Filter_Index, 3);
        QCOMPARE(save_tif, 0);
    }

    void quick_save_numbers_files_and_reports_a_failed_write()
    {
        UiTestEnv env;
        auto_save_num = 41;
        env.window().CmSaveAsFits();
        QVERIFY(std::filesystem::exists(test_env().home + "/AUTOSAVE/IMG42.FIT"));
        QVERIFY(env.host().boxes.empty());

        std::filesystem::remove_all(test_env().home + "/AUTOSAVE");
        std::ofstream(test_env().home + "/AUTOSAVE") << "a file where the folder should be";
        env.window().CmSaveAsFits();
        QCOMPARE(env.host().boxes.size(), size_t(1));
        QCOMPARE(env.host().boxes[0].text, message_text(49, nullptr));
    }

    // A settings path taken by a folder: the images are still written, the
    // number is not kept, and the user hears of it once per spell of
    // failures, not once per save.
    void quick_save_says_once_that_the_settings_cannot_be_written()
    {
        UiTestEnv env;
        auto* status = env.frame().statusBar();
        std::filesystem::remove(ini_file);
        std::filesystem::create_directories(ini_file);
        const auto saved = [](int number) {
            return std::filesystem::exists(test_env().home + "/AUTOSAVE/IMG" + std::to_string(number) + ".FIT");
        };
        for (int round = 1; round <= 3; ++round) {
            env.window().CmSaveAsFits();
            QVERIFY(saved(round));
            QVERIFY(status->currentMessage().endsWith(QStringLiteral("/AUTOSAVE/IMG%1.FIT").arg(round)));
        }
        QCOMPARE(env.host().boxes.size(), size_t(1));
        QCOMPARE(env.host().boxes[0].text, message_text(24, nullptr));
        QVERIFY(std::filesystem::is_directory(ini_file));

        // Writable again: the number is stored, and a later failure is new.
        std::filesystem::remove(ini_file);
        env.window().CmSaveAsFits();
        QCOMPARE(std::filesystem::file_size(ini_file), std::uintmax_t(1260));
        std::filesystem::remove(ini_file);
        std::filesystem::create_directories(ini_file);
        env.window().CmSaveAsFits();
        env.window().CmSaveAsFits();
        QCOMPARE(env.host().boxes.size(), size_t(2));
        QCOMPARE(env.host().boxes[1].text, message_text(24, nullptr));
        QVERIFY(saved(6));
    }

    // A quick save is stamped with the frame's mid-exposure time when an
    // exposure of this run took it, and with the time of the save otherwise
    // (never 1970); the status bar names the file written.
    void quick_save_stamps_the_frame_time_or_the_save_time_and_names_the_file()
    {
        UiTestEnv env;
        std::tm local {};
        local.tm_year = 2026 - 1900;
        local.tm_mon = 11;
        local.tm_mday = 8;
        local.tm_hour = 21;
        local.tm_min = 30;
        test_env().clock.local = local;
        FITS_Diff = 0;
        const auto date_in = [](int number) {
            std::vector<unsigned char> bytes;
            read_whole_file(test_env().home + "/AUTOSAVE/IMG" + std::to_string(number) + ".FIT", bytes);
            return std::string(bytes.begin() + 10 * 80, bytes.begin() + 10 * 80 + 22);
        };
        auto* status = env.frame().statusBar();

        // The start-up frame: no exposure of this run.
        env.window().CmSaveAsFits();
        QCOMPARE(date_in(1), std::string("DATE-OBS= '2026-12-08'"));
        QCOMPARE(QString(FITS_Time), QStringLiteral("21:30:00"));
        QCOMPARE(status->currentMessage(),
            QStringLiteral("Saved ") + QString::fromStdString(test_env().home)
                + QStringLiteral("/AUTOSAVE/IMG1.FIT"));

        // A frame an exposure produced keeps its own time ...
        end_exp = static_cast<long>(test_env().clock.now_seconds()) - 3600;
        start_exp = end_exp - 60;
        env.window().CmSaveAsFits();
        QCOMPARE(QString(FITS_Time), QStringLiteral("20:29:30"));

        // ... and one opened from disk afterwards gets the time of its save.
        write_file(home("~Moon"), std::vector<unsigned char>(native_binned_length, 0));
        Chooser chooser(home("~Moon"));
        env.window().CmFileOpen();
        env.window().CmSaveAsFits();
        QCOMPARE(date_in(3), std::string("DATE-OBS= '2026-12-08'"));
        QCOMPARE(QString(FITS_Time), QStringLiteral("21:30:00"));
        QVERIFY(env.host().boxes.empty());
    }

    // The title names the file the image is in: a save that failed leaves it.
    void failed_save_keeps_the_window_title()
    {
        UiTestEnv env;
        env.window().SetCaption("~kept");
        {
            Chooser chooser(home("missing/~x"));
            env.window().CmFileSave();
        }
        {
            Chooser chooser(home("missing/x.tif"));
            env.window().CmTifSave();
        }
        {
            Chooser chooser(home("missing/x.fit"));
            when_modal_shows([](QDialog* d) { d->accept(); });
            env.window().CmFITSSave();
        }
        QCOMPARE(env.host().boxes.size(), size_t(3));
        QCOMPARE(env.frame().windowTitle(), QStringLiteral("Quillon - ~kept"));
        {
            Chooser chooser(home("~Good"));
            env.window().CmFileSave();
        }
        QCOMPARE(env.frame().windowTitle(), QStringLiteral("Quillon - ~good"));
    }

    void second_image_load_reports_by_message()
    {
        UiTestEnv env;
        QCOMPARE(env.window().LoadVNTempFile(home("nothing").toLocal8Bit().constData()), 1);
        write_file(home("~full"), std::vector<unsigned char>(native_full_length, 0));
        QCOMPARE(env.window().LoadVNTempFile(home("~full").toLocal8Bit().constData()), 1);
        write_file(home("~small"), std::vector<unsigned char>(native_binned_length, 9));
        QCOMPARE(env.window().LoadVNTempFile(home("~small").toLocal8Bit().constData()), 0);
        QCOMPARE(trial[0], (unsigned short)0x0909);
        QCOMPARE(env.host().boxes.size(), size_t(2));
        QCOMPARE(env.host().boxes[0].text, message_text(11, nullptr));
        QCOMPARE(env.host().boxes[1].text, message_text(12, nullptr));
        QCOMPARE(env.host().wait_cursor_depth, 0);
    }
};

QTEST_MAIN(FileCommandsTest)
#include "file_commands_test.moc"
