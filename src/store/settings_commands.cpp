// The program defaults command.
#include "app/quillon_window.h"

void TQuillonWindow::CmINI() {}
