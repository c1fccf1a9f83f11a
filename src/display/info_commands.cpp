// Showing a new frame, the processing history and help.
#include "app/quillon_window.h"

void TQuillonWindow::CmShowImage() {}
void TQuillonWindow::Info() {}
void TQuillonWindow::Help_Using() {}
void TQuillonWindow::Help_About() {}
