// Display commands of the main window: rebuild, paint, view modes, copy, print.
#include "app/quillon_window.h"

#include <QPainter>

void TQuillonWindow::image_prepare() {}
void TQuillonWindow::PaintIt() { viewport()->update(); }
void TQuillonWindow::CmFit() {}
void TQuillonWindow::CmGeo() {}
void TQuillonWindow::CmBig() {}
void TQuillonWindow::CmColPal() {}
void TQuillonWindow::CmStretchPal() {}
void TQuillonWindow::CmCopy() {}
void TQuillonWindow::CmPrint() {}
void TQuillonWindow::CmPrintSetup() {}
void TQuillonWindow::EvPaint(QPainter& painter, const QRect& area) { painter.fillRect(area, BkgndBrush); }
void TQuillonWindow::EvSize() {}
