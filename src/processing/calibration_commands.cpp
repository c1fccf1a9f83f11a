// Calibration, merging, mirroring and labelling commands of the main window.
#include "app/quillon_window.h"

void TQuillonWindow::Subtract_Image() {}
void TQuillonWindow::Flat_Image() {}
void TQuillonWindow::Add_Image() {}
void TQuillonWindow::Average_Image() {}
void TQuillonWindow::Merge_Image() {}
void TQuillonWindow::CmMirror() {}
void TQuillonWindow::label_image() {}
