#include <QtTest>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/quillon_window.h"
#include "app/state.h"
#include "store/text_settings.h"
#include "ui/file_chooser.h"
#include "ui_test_env.h"

namespace {
QString in_home(const std::string& relative)
{
    return QString::fromStdString(test_env().home + (relative.empty() ? "" : "/" + relative));
}

// A binned raw frame at `relative` under the data root.
QString raw_frame(const std::string& relative)
{
    const std::string path = test_env().home + "/" + relative;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << std::string(218080, '\0');
    return QString::fromStdString(path);
}

// Answers each dialog with the next path (an empty one cancels) and notes
// the folder it was asked to open in.
struct Answers {
    QStringList folders;
    explicit Answers(QStringList paths)
    {
        set_file_chooser([this, paths](const FileRequest& request) -> std::optional<FileChoice> {
            const QString path = paths.value(folders.size());
            folders << request.directory;
            if (path.isEmpty())
                return std::nullopt;
            return FileChoice { path, 1 };
        });
    }
    ~Answers() { set_file_chooser({}); }
};
} // namespace

class FileChooserTest : public QObject {
    Q_OBJECT

private slots:
    // Each kind of file keeps its own folder, across a restart; a cancelled
    // dialog and other kinds leave it; a folder since removed gives way to
    // the data root.
    void dialogs_open_where_their_kind_of_file_was_last_chosen()
    {
        UiTestEnv env;
        const QString m31 = raw_frame("nights/m31/~m31");
        const QString dark = raw_frame("darks/~dark60");
        const QString root = in_home("");

        struct Step {
            const char* what;
            void (TQuillonWindow::*command)();
            QString answer;
            QString expected_folder;
        };
        const std::vector<Step> steps = {
            { "first open: the data root", &TQuillonWindow::CmFileOpen, m31, root },
            { "the open remembers its folder", &TQuillonWindow::CmFileOpen, QString(), in_home("nights/m31") },
            { "saves of images share it", &TQuillonWindow::CmFileSave, in_home("nights/m31/~copy"),
                in_home("nights/m31") },
            { "TIFF exports have their own", &TQuillonWindow::CmTifSave, in_home("tiff/x.TIF"), root },
            { "the dark choice starts at the root", &TQuillonWindow::CmDarkFile, dark, root },
            { "a dark to subtract goes to the darks", &TQuillonWindow::Subtract_Image, QString(),
                in_home("darks") },
            { "flats were never chosen", &TQuillonWindow::CmFlatField, QString(), root },
            { "the merge is an image", &TQuillonWindow::Average_Image, QString(), in_home("nights/m31") },
        };
        std::filesystem::create_directories(test_env().home + "/tiff");
        {
            QStringList answers;
            for (const Step& step : steps)
                answers << step.answer;
            Answers chooser(answers);
            for (const Step& step : steps)
                (env.window().*step.command)();
            QCOMPARE(chooser.folders.size(), int(steps.size()));
            for (std::size_t i = 0; i < steps.size(); ++i)
                QVERIFY2(chooser.folders[int(i)] == steps[i].expected_folder,
                    qPrintable(QStringLiteral("%1: %2").arg(steps[i].what, chooser.folders[int(i)])));
        }

        // The next run reads the folders back from the text settings.
        reset_text_settings();
        QCOMPARE(folder_for(FileKind::image), in_home("nights/m31"));
        QCOMPARE(folder_for(FileKind::tiff), in_home("tiff"));
        QCOMPARE(folder_for(FileKind::dark), in_home("darks"));
        std::filesystem::remove_all(test_env().home + "/darks");
        QCOMPARE(folder_for(FileKind::dark), root);
        QCOMPARE(folder_for(FileKind::comparison), root);
    }
};

QTEST_MAIN(FileChooserTest)
#include "file_chooser_test.moc"
