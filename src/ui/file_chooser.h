// The file-open and file-save dialogs, behind one replaceable function so
// tests can answer them without a native dialog. Each kind of file has its
// own folder: a dialog opens where the last file of its kind was chosen
// (kept in the text settings across runs), in the data root the first time.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// What the chosen file is for; each kind remembers its folder.
enum class FileKind { image, tiff, dark, flat, comparison };

struct FileRequest {
    FileKind kind = FileKind::image;
    bool save = false;
    QString title;
    // Qt filter strings, e.g. "ZQ Files (*.ZQ1)"; filter_index is 1-based as
    // the program's Filter_Index is.
    QStringList filters;
    int filter_index = 1;
    // Empty: the kind's folder.
    QString directory;
    QString initial_name;
    QString default_suffix;
};

struct FileChoice {
    QString path;
    int filter_index = 1;   // 1-based index of the filter chosen
};

// Shows the dialog (or asks the installed chooser); nullopt when cancelled.
// A choice makes its folder the kind's folder.
std::optional<FileChoice> choose_file(const FileRequest& request);

using FileChooser = std::function<std::optional<FileChoice>(const FileRequest&)>;
// Installs a chooser (tests); an empty function restores the real dialogs.
void set_file_chooser(FileChooser chooser);

// The folder a dialog for `kind` opens in: the last one chosen while it
// still exists, else the data root.
QString folder_for(FileKind kind);
