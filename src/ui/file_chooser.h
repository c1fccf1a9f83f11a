// The file-open and file-save dialogs, behind one replaceable function so
// tests can answer them without a native dialog.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

struct FileRequest {
    bool save = false;
    QString title;
    // Qt filter strings, e.g. "ZQ Files (*.ZQ1)"; filter_index is 1-based as
    // the program's Filter_Index is.
    QStringList filters;
    int filter_index = 1;
    QString directory;
    QString initial_name;
    QString default_suffix;
};

struct FileChoice {
    QString path;
    int filter_index = 1;   // 1-based index of the filter chosen
};

// Shows the dialog (or asks the installed chooser); nullopt when cancelled.
std::optional<FileChoice> choose_file(const FileRequest& request);

using FileChooser = std::function<std::optional<FileChoice>(const FileRequest&)>;
// Installs a chooser (tests); an empty function restores the real dialogs.
void set_file_chooser(FileChooser chooser);
