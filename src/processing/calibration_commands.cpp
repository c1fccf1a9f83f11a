// Calibration, merging, mirroring and labelling commands of the main window.
#include <QFile>
#include <QFileInfo>

#include <cstring>
#include <filesystem>
#include <system_error>

#include "app/host.h"
#include "app/messages.h"
#include "app/quillon_window.h"
#include "app/state.h"
#include "processing/calibration.h"
#include "processing/delete_file_dialog.h"
#include "processing/label.h"
#include "processing/label_dialog.h"
#include "processing/merge_dialog.h"
#include "store/buffers.h"
#include "ui/file_chooser.h"
#include "ui/placement.h"

namespace {
// Native files carry no extension; by convention their names begin with "~".
FileRequest image_file_request()
{
    FileRequest request;
    if (load_darkframe) {
        request.kind = FileKind::dark;
        request.title = QStringLiteral("Select Dark Frame");
    } else if (load_flatfield) {
        request.kind = FileKind::flat;
        request.title = QStringLiteral("Select Auto-Flat File");
    } else if (load_comparison) {
        request.kind = FileKind::comparison;
        request.title = QStringLiteral("Load Comparison Image");
    } else if (delete_file) {
        request.title = QStringLiteral("Delete File");
    } else if (merge_type == 's') {
        request.kind = FileKind::dark;
        request.title = QStringLiteral("Select Image to Subtract (Dark Frame)");
    } else if (merge_type == 'f') {
        request.kind = FileKind::flat;
        request.title = QStringLiteral("Select Flat Field to Apply");
    } else if (merge_type == 'a') {
        request.title = QStringLiteral("Select Image to Average with");
    } else {
        request.title = QStringLiteral("Open");
    }
    request.filters = { QStringLiteral("Vantrel (~*)"), QStringLiteral("FITS files (*.FIT *.fit)"),
        QStringLiteral("All Files (*)") };
    request.filter_index = Filter_Index;
    return request;
}
} // namespace

void TQuillonWindow::Subtract_Image()
{
    merge_type = 's';
    Merge_Image();
}

void TQuillonWindow::Flat_Image()
{
    merge_type = 'f';
    Merge_Image();
}

void TQuillonWindow::Average_Image()
{
    merge_type = 'a';
    Merge_Image();
}

void TQuillonWindow::Merge_Image()
{
    const std::optional<FileChoice> choice = choose_file(image_file_request());
    if (!choice)
        return;
    const QString title = QFileInfo(choice->path).fileName();
    Filter_Index = title.contains(QLatin1Char('~')) ? 1 : 3;
    const std::string path = QFile::encodeName(choice->path).toStdString();

    if (load_darkframe) {
        DarkFileName = path;
        return;
    }
    if (load_comparison) {
        ComparisonFileName = path;
        return;
    }
    if (load_flatfield) {
        FlatFileName = path;
        return;
    }
    if (delete_file) {
        file_name = path;
        TDeleteFileDialog dialog(this);
        if (dialog.exec() == QDialog::Accepted) {
            std::error_code ignored;
            std::filesystem::remove(path, ignored);
        }
        return;
    }

    // The load reports its own failure; the image is untouched and no undo
    // copy is made.
    if (LoadVNTempFile(path.c_str()) != 0)
        return;
    if (merge_type != 's' && merge_type != 'a' && merge_type != 'f')
        return;
    host().wait_cursor(true);
    image = image_int;
    trial = trial_int;
    undo_save_option();
    apply_merge_operation(merge_type);
    image_prepare();
    host().wait_cursor(false);
}

void TQuillonWindow::Add_Image()
{
    if (const int refusal = merge_refusal(Fit); refusal != 0) {
        messages(refusal);
        return;
    }
    begin_merge();
    auto* dialog = new TMergeDialog(this);
    connect(dialog, &TMergeDialog::merged, this, [this] { viewport()->update(); });
    dialog->show();
    // The user clicks on the image while the dialog is open: keep it clear.
    place_beside(dialog, this);
}

TMergeDialog* TQuillonWindow::merge_dialog() const
{
    // A closed dialog may still wait for its deletion: only a shown one counts.
    for (TMergeDialog* dialog : findChildren<TMergeDialog*>(QString(), Qt::FindDirectChildrenOnly))
        if (dialog->isVisible())
            return dialog;
    return nullptr;
}

void TQuillonWindow::merge_click(int x, int y)
{
    if (!merging)
        return;
    place_merge_mark(x, y);
    merge_refresh();
}

void TQuillonWindow::merge_refresh()
{
    if (TMergeDialog* dialog = merge_dialog())
        dialog->EvPaint();
}

void TQuillonWindow::merge_open_second_image()
{
    if (!merging)
        return;
    orig = 0;
    backup_image(image, trial);
    merge_refresh();
}

void TQuillonWindow::CmMirror()
{
    host().wait_cursor(true);
    mirror_image(image, trial);
    image_prepare();
    host().wait_cursor(false);
}

void TQuillonWindow::label_image()
{
    std::memset(txtbuffer, 0, sizeof txtbuffer);
    TLabelDialog dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    do_label_image(auto_date, txtbuffer, image);
    image_prepare();
}
