#include "ui/file_chooser.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>

#include "app/data_root.h"
#include "store/text_settings.h"

namespace {
FileChooser installed;

std::string folder_key(FileKind kind)
{
    switch (kind) {
    case FileKind::tiff:
        return "folder_tiff";
    case FileKind::dark:
        return "folder_dark";
    case FileKind::flat:
        return "folder_flat";
    case FileKind::comparison:
        return "folder_comparison";
    case FileKind::image:
        break;
    }
    return "folder_images";
}

void remember_folder(FileKind kind, const QString& chosen_path)
{
    const QString folder = QFileInfo(chosen_path).absolutePath();
    const std::string value = QFile::encodeName(folder).toStdString();
    if (value == text_setting(folder_key(kind)))
        return;
    set_text_setting(folder_key(kind), value);
    // A folder not remembered is no reason to trouble the user: the next
    // dialog opens in the data root.
    save_text_settings();
}

std::optional<FileChoice> show_dialog(const FileRequest& request)
{
    QFileDialog dialog(QApplication::activeWindow(), request.title, request.directory);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilters(request.filters);
    if (request.filter_index >= 1 && request.filter_index <= request.filters.size())
        dialog.selectNameFilter(request.filters.at(request.filter_index - 1));
    if (!request.default_suffix.isEmpty())
        dialog.setDefaultSuffix(request.default_suffix);
    if (!request.initial_name.isEmpty())
        dialog.selectFile(request.initial_name);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    FileChoice choice;
    choice.path = dialog.selectedFiles().first();
    choice.filter_index = static_cast<int>(request.filters.indexOf(dialog.selectedNameFilter())) + 1;
    if (choice.filter_index < 1)
        choice.filter_index = 1;
    return choice;
}
} // namespace

QString folder_for(FileKind kind)
{
    const QString remembered = QFile::decodeName(text_setting(folder_key(kind)).c_str());
    if (!remembered.isEmpty() && QFileInfo(remembered).isDir())
        return remembered;
    return QFile::decodeName(data_root().c_str());
}

std::optional<FileChoice> choose_file(const FileRequest& asked)
{
    FileRequest request = asked;
    if (request.directory.isEmpty())
        request.directory = folder_for(request.kind);
    std::optional<FileChoice> choice = installed ? installed(request) : show_dialog(request);
    if (choice && !choice->path.isEmpty())
        remember_folder(request.kind, choice->path);
    return choice;
}

void set_file_chooser(FileChooser chooser)
{
    installed = std::move(chooser);
}
