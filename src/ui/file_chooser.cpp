#include "ui/file_chooser.h"

#include <QApplication>
#include <QFileDialog>

namespace {
FileChooser installed;
}

void set_file_chooser(FileChooser chooser)
{
    installed = std::move(chooser);
}

std::optional<FileChoice> choose_file(const FileRequest& request)
{
    if (installed)
        return installed(request);

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
