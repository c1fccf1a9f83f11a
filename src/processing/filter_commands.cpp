// Filter commands of the main window.
#include "app/quillon_window.h"

#include <cstdio>

#include "app/host.h"
#include "app/state.h"
#include "processing/filter_dialogs.h"
#include "processing/filters.h"
#include "store/buffers.h"

// A convolution with one of the program's kernels: undo copy, filter,
// display, history.
void TQuillonWindow::enhance_with(int rad, int masknum, int divisor, const char* history)
{
    host().wait_cursor(true);
    undo_save_option();
    run_enhance(rad, masknum, divisor);
    image_prepare();
    append_history(history);
    host().wait_cursor(false);
}

void TQuillonWindow::gaussian_enhance()
{
    enhance_with(2, 1, 80, "Gaussian Filter");
}

void TQuillonWindow::lowpass_enhance()
{
    enhance_with(1, 0, 16, "Lowpass Smoother Filter");
}

void TQuillonWindow::highlow_enhance()
{
    enhance_with(1, 2, 1, "High Pass Low Power Filter");
}

void TQuillonWindow::highhigh_enhance()
{
    enhance_with(2, 3, 1, "High Pass High Power Filter");
}

void TQuillonWindow::smoothsharp_enhance()
{
    enhance_with(2, 4, 1, "Smoother/Sharper Filter");
}

void TQuillonWindow::basrelief_enhance()
{
    enhance_with(2, 5, 1, "Bas Relief Filter");
}

void TQuillonWindow::unsharp_enhance()
{
    white = 3;
    black = 1;
    TUnsharpDialog dialog(this, caption());
    if (dialog.exec() != QDialog::Accepted)
        return;
    host().wait_cursor(true);
    undo_save_option();
    unsharp_mask(static_cast<int>(white), static_cast<int>(black));
    image_prepare();
    char text[history_text];
    std::snprintf(text, sizeof text, "Unsharp Mask : rad %u ,power %u", static_cast<unsigned>(white),
        static_cast<unsigned>(black));
    append_history(text);
    host().wait_cursor(false);
}

void TQuillonWindow::median_enhance()
{
    white = 1;
    black = 6;
    TMedianDialog dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    host().wait_cursor(true);
    // The median keeps its own undo copy.
    point_buffers();
    run_median_enhance(image, trial, undo);
    image_prepare();
    host().wait_cursor(false);
}

void TQuillonWindow::venetian_enhance()
{
    point_buffers();
    venetian_blind(image, undo);
    image_prepare();
}

void TQuillonWindow::gradient_enhance()
{
    host().wait_cursor(true);
    undo_save_option();
    gradient_filter(image);
    append_history("Gradient Filter");
    image_prepare();
    host().wait_cursor(false);
}
