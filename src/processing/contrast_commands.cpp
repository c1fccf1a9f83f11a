// Contrast commands of the main window.
#include "app/quillon_window.h"

void TQuillonWindow::CmContrastNormal() {}
void TQuillonWindow::CmContrastPower() {}
void TQuillonWindow::CmContrastSine() {}
void TQuillonWindow::CmContrastBackGround() {}
void TQuillonWindow::CmContrastVarnel() {}
void TQuillonWindow::CmContrastLog() {}
void TQuillonWindow::CmContrastAntiLog() {}
void TQuillonWindow::CmContrastInvert() {}
void TQuillonWindow::contrast_stretch() {}
void TQuillonWindow::CmStretchMax() {}
void TQuillonWindow::CmMaxStretchOn() {}
void TQuillonWindow::CmMaxStretchOff() {}
