// Plots, photometry, blink and the mouse on the image.
#include "app/quillon_window.h"
#include "display/pipeline.h"

#include <QCursor>
#include <QScrollBar>

#include <string>

#include "app/host.h"
#include "app/messages.h"
#include "app/state.h"
#include "display/image_mouse.h"
#include "display/photometry.h"
#include "display/photometry_dialogs.h"
#include "display/plot_dialogs.h"
#include "store/buffers.h"

namespace {
MouseActions actions_of(TQuillonWindow& window)
{
    MouseActions actions;
    actions.move_cursor = [](int dx, int dy) { QCursor::setPos(QCursor::pos() + QPoint(dx, dy)); };
    actions.row_redraw = [&window] {
        if (window.TRow)
            window.TRow->IntDraw();
    };
    actions.photometry_paint = [&window] {
        if (window.TPH)
            window.TPH->EvPaint();
    };
    actions.repaint = [&window] { window.PaintIt(); };
    actions.merge_click = [&window](int x, int y) { window.merge_click(x, y); };
    return actions;
}

// The display pixel under a view point: the view may be scrolled.
ImagePoint display_point(TQuillonWindow& window, const QPoint& point)
{
    return view_to_display(
        point.x(), point.y(), window.horizontalScrollBar()->value(), window.verticalScrollBar()->value());
}
} // namespace

// ---------------------------------------------------------------- plots

void TQuillonWindow::CmHistogram()
{
    if (hist_already == 1)
        return;
    THist = new THistDialog(this);
    viewport()->installEventFilter(THist);
    THist->show();
    hist_already = 1;
}

void TQuillonWindow::Cm3D()
{
    if (intensity_plot == 1 || row_plot == 1)
        return;
    externptr = image;
    T3D = new T3DDialog(this);
    T3D->show();
    intensity_plot = 1;
}

void TQuillonWindow::CmRowInt()
{
    if (merging || photometry) {
        messages(37);
        return;
    }
    if (intensity_plot == 1 || row_plot == 1)
        return;
    if (Geo || Fit || Big) {
        messages(48);
        return;
    }
    viewport()->setCursor(Qt::UpArrowCursor);
    obj_y = 127;
    row_plot = 1;
    externptr = image;
    TRow = new TRowDialog(this, viewport());
    TRow->show();
}

// ---------------------------------------------------------------- photometry and blink

void TQuillonWindow::CmPhotometry()
{
    if (merging || row_plot) {
        messages(37);
        return;
    }
    if (Geo || Fit || Big) {
        messages(38);
        return;
    }
    if (photometry) {
        messages(39);
        return;
    }
    photometry_start();
    TPH = new TPHDialog(this, viewport());
    TPH->show();
    viewport()->setCursor(Qt::CrossCursor);
}

void TQuillonWindow::CmFileComparison()
{
    // The chooser stores the chosen path; a cancelled choice leaves none, and
    // then nothing is loaded and the previous name stays.
    const std::string previous = ComparisonFileName;
    ComparisonFileName.clear();
    load_comparison = 1;
    Merge_Image();
    if (ComparisonFileName.empty()) {
        ComparisonFileName = previous;
        load_comparison = 0;
        return;
    }
    comparison = comparison_int;
    const int r = load_comparison_file(comparison, comparison);
    if (r == 11)
        messages(45);
    else if (r == 12)
        messages(46);
    else
        comparison_loaded = 1;
    load_comparison = 0;
}

void TQuillonWindow::blink_comparison()
{
    if (blinking)
        return;
    TBL = new TBLDialog(this);
    TBL->show();
    blinking = 1;
}

void TQuillonWindow::BlinkOriginal()
{
    image_prepare();
}

void TQuillonWindow::BlinkComparison()
{
    // The comparison frame goes into the display buffer in the current
    // geometry; the rebuild then skips its own reduction of `image`.
    blink_it = 1;
    setup_image(comparison, pixels_c, 0, Geo);
    image_prepare();
    blink_it = 0;
}

// ---------------------------------------------------------------- mouse on the image

void TQuillonWindow::CmPickStar()
{
    if (Geo || Fit)
        messages(35);
    pick_star = !pick_star;
    if (pick_star) {
        centre_it = 1;
        cur_rad = star_mask;
        viewport()->setCursor(Qt::ArrowCursor);
    }
    // The cross on a picked star shows only while picking.
    viewport()->update();
}

void TQuillonWindow::CmFocusFrame()
{
    focus_frame = 1;
    centre_it = 0;
    viewport()->setCursor(Qt::ArrowCursor);
}

void TQuillonWindow::CmFocusFrameReset()
{
    focus_frame_reset();
}

void TQuillonWindow::EvLButtonUp(const QPoint& point)
{
    left_click(display_point(*this, point), actions_of(*this));
}

void TQuillonWindow::EvRButtonUp(const QPoint& point)
{
    right_click(display_point(*this, point), actions_of(*this));
}

void TQuillonWindow::EvMouseMove(const QPoint& point)
{
    mouse_move(display_point(*this, point), actions_of(*this));
}
