// Filter commands of the main window.
#include "app/quillon_window.h"

void TQuillonWindow::unsharp_enhance() {}
void TQuillonWindow::highlow_enhance() {}
void TQuillonWindow::highhigh_enhance() {}
void TQuillonWindow::smoothsharp_enhance() {}
void TQuillonWindow::median_enhance() {}
void TQuillonWindow::gaussian_enhance() {}
void TQuillonWindow::lowpass_enhance() {}
void TQuillonWindow::basrelief_enhance() {}
void TQuillonWindow::gradient_enhance() {}
void TQuillonWindow::venetian_enhance() {}
