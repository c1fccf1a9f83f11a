// File commands of the main window: open, save (raw, TIFF, FITS), quick
// save, delete, the dark and flat choice and the FITS details.
#include "app/quillon_window.h"

#include <QFileInfo>
#include <QMainWindow>
#include <QStatusBar>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/clock.h"
#include "app/host.h"
#include "app/messages.h"
#include "app/state.h"
#include "store/autosave.h"
#include "store/buffers.h"
#include "store/fits_dialog.h"
#include "store/fits_file.h"
#include "store/image_io.h"
#include "store/native_file.h"
#include "store/tiff_file.h"
#include "ui/file_chooser.h"

namespace {
// Each filter keeps its label; the patterns in the last brackets are what
// the dialog matches (raw files have no extension of their own).
const QString raw_filter = QStringLiteral("Vantrel (~*.) (~*)");
const QString all_filter = QStringLiteral("All Files (*)");
const QString all_filter_save = QStringLiteral("All Files(*.*) (*)");

std::string title_of(const QString& path)
{
    return QFileInfo(path).fileName().toLocal8Bit().toStdString();
}

std::string lower_case(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
        [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

int filter_for_title(const std::string& title)
{
    return title.find('~') != std::string::npos ? 1 : 3;
}

// Whether the last LoadVNFile put a new image in place.
bool last_load_done = false;

void set_mode_around(int& flag, TQuillonWindow* window, void (TQuillonWindow::*command)())
{
    flag = 1;
    (window->*command)();
    flag = 0;
}
} // namespace

void TQuillonWindow::CmFileOpen()
{
    FileRequest request;
    request.title = QStringLiteral("Open");
    request.filters = { raw_filter, QStringLiteral("FITS files (*.FIT *.fit)"), all_filter };
    request.filter_index = Filter_Index;
    request.initial_name = QString::fromLocal8Bit(lastfile.c_str());
    const auto choice = choose_file(request);
    if (!choice)
        return;
    const std::string title = title_of(choice->path);
    Filter_Index = filter_for_title(title);
    lastfile = lower_case(title);
    // While merging, the file opened is the second image: the base image
    // moves to trial and the merge dialog shows the new state.
    merge_open_second_image();
    LoadVNFile(choice->path.toLocal8Bit().constData());
    if (last_load_done)
        SetCaption(lastfile.c_str());
}

void TQuillonWindow::LoadVNFile(const char* fileName)
{
    last_load_done = false;
    host().wait_cursor(true);
    switch (load_image_file(fileName, image)) {
    case ImageLoad::ok:
        image_name = lower_case(title_of(QString::fromLocal8Bit(fileName)));
        last_load_done = true;
        forget_exposure_times();
        image_prepare();
        if (merging)
            merge_refresh();
        break;
    case ImageLoad::not_image_file:
        messages(41);
        break;
    case ImageLoad::fits_foreign:
        messages(14);
        break;
    }
    host().wait_cursor(false);
}

void TQuillonWindow::CmFileSave()
{
    FileRequest request;
    request.save = true;
    if (save_tif) {
        request.kind = FileKind::tiff;
        request.title = QStringLiteral("Save as Tiff file");
        request.filters = { QStringLiteral("Tiff file (*.TIF) (*.TIF *.tif)"), all_filter_save };
        request.default_suffix = QStringLiteral("TIF");
        request.initial_name = QStringLiteral("*.TIF");
    } else if (save_FITS) {
        request.title = QStringLiteral("Save as FITS file");
        request.filters = { QStringLiteral("FITS file (*.FIT) (*.FIT *.fit)"), all_filter_save };
        request.default_suffix = QStringLiteral("FIT");
        request.initial_name = QStringLiteral("*.FIT");
    } else {
        request.title = QStringLiteral("Save");
        request.filters = { raw_filter, QStringLiteral("FITs files (*.FIT *.fit)"), all_filter_save };
        request.filter_index = Filter_Index;
    }
    const auto choice = choose_file(request);
    if (!choice)
        return;
    const std::string title = lower_case(title_of(choice->path));
    Filter_Index = save_FITS ? 2 : filter_for_title(title);
    const std::string path = choice->path.toLocal8Bit().toStdString();

    int result = 0;
    if (save_tif) {
        host().wait_cursor(true);
        result = SaveTifFile(path.c_str(), image);
        host().wait_cursor(false);
    } else if (save_FITS) {
        host().wait_cursor(true);
        result = SaveFITSFile(path.c_str(), image, FITS_Obj, FITS_Obs, FITS_Date, FITS_Tel, FITS_Ins,
            FITS_Com, FITS_His, eightbit);
        host().wait_cursor(false);
    } else {
        result = SaveVNFile(path.c_str()) ? 0 : 1;
        if (result != 0)
            return; // the native writer has shown its own message
    }
    if (result == 1) {
        messages(22);
        return;
    }
    // The title names the file the image is in: only a good save changes it.
    SetCaption(title.c_str());
}

bool TQuillonWindow::SaveVNFile(const char* fileName)
{
    host().wait_cursor(true);
    const NativeSave result = save_native_file(fileName, image);
    host().wait_cursor(false);
    if (result == NativeSave::cannot_create)
        messages(17);
    else if (result == NativeSave::short_write)
        messages(19);
    return result == NativeSave::ok;
}

void TQuillonWindow::CmTifSave()
{
    set_mode_around(save_tif, this, &TQuillonWindow::CmFileSave);
}

void TQuillonWindow::CmFITSSave()
{
    eightbit = 0;
    if (std::strlen(FITS_Date) < 10) {
        const std::tm today = program_clock().local_time();
        std::snprintf(FITS_Date, sizeof FITS_Date, "%04d-%02d-%02d", today.tm_year + 1900, today.tm_mon + 1,
            today.tm_mday);
    }
    TFITSDialog dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    set_mode_around(save_FITS, this, &TQuillonWindow::CmFileSave);
}

void TQuillonWindow::CmSaveAsFits()
{
    const int result = auto_save(image);
    if (result == 1) {
        messages(49);
        return;
    }
    // The image is written either way; a settings file that cannot be
    // written would lose the numbering at the next start.
    if (settings_failure_to_report(result))
        messages(24);
    // The quick save asks nothing: the status bar tells where the image went.
    if (auto* frame = qobject_cast<QMainWindow*>(window()); frame != nullptr && frame->statusBar() != nullptr)
        frame->statusBar()->showMessage(
            QStringLiteral("Saved ") + QString::fromLocal8Bit(auto_save_path(auto_save_num).c_str()));
}

void TQuillonWindow::CmFileDelete()
{
    set_mode_around(delete_file, this, &TQuillonWindow::Merge_Image);
}

void TQuillonWindow::CmDarkFile()
{
    set_mode_around(load_darkframe, this, &TQuillonWindow::Merge_Image);
}

void TQuillonWindow::CmFlatField()
{
    set_mode_around(load_flatfield, this, &TQuillonWindow::Merge_Image);
}

void TQuillonWindow::CmEditFITSText()
{
    // The header texts entered here are kept in the settings file, which every
    // later auto-save writes from.
    if (load_settings_for_fits_text() != 0) {
        messages(42);
        save_settings_for_fits_text();
    }
    eightbit = 0;
    TFITSDialog dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (save_settings_for_fits_text() != 0)
        messages(24);
}

void TQuillonWindow::CmViewFITSText()
{
    TFITSDialog dialog(this);
    dialog.exec();
}

int TQuillonWindow::LoadVNTempFile(const char* fileName)
{
    host().wait_cursor(true);
    const int result = trial_load(trial, trial, fileName);
    host().wait_cursor(false);
    if (result == 1) {
        messages(11);
        return 1;
    }
    if (result != 0) {
        messages(12);
        return 1;
    }
    return 0;
}
