// Plots, photometry, blink and the mouse on the image.
#include "app/quillon_window.h"

#include "app/host.h"

void TQuillonWindow::CmHistogram() {}
void TQuillonWindow::Cm3D() {}
void TQuillonWindow::CmRowInt() {}
void TQuillonWindow::CmPhotometry() {}
void TQuillonWindow::CmFileComparison() {}
void TQuillonWindow::blink_comparison() {}
void TQuillonWindow::BlinkOriginal() {}
void TQuillonWindow::BlinkComparison() {}
void TQuillonWindow::CmPickStar() {}
void TQuillonWindow::CmFocusFrame() {}
void TQuillonWindow::CmFocusFrameReset() { focus_frame_reset(); }
void TQuillonWindow::EvLButtonUp(const QPoint&) {}
void TQuillonWindow::EvRButtonUp(const QPoint&) {}
void TQuillonWindow::EvMouseMove(const QPoint&) {}
