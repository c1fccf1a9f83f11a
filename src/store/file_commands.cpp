// File commands of the main window: open, save, delete, dark and flat choice.
#include "app/quillon_window.h"

void TQuillonWindow::CmFileOpen() {}
void TQuillonWindow::CmFileSave() {}
void TQuillonWindow::CmTifSave() {}
void TQuillonWindow::CmFITSSave() {}
void TQuillonWindow::CmSaveAsFits() {}
void TQuillonWindow::CmFileDelete() {}
void TQuillonWindow::CmEditFITSText() {}
void TQuillonWindow::CmDarkFile() {}
void TQuillonWindow::CmFlatField() {}
void TQuillonWindow::CmViewFITSText() {}
void TQuillonWindow::LoadVNFile(const char*) {}
void TQuillonWindow::SaveVNFile(const char*) {}
int TQuillonWindow::LoadVNTempFile(const char*) { return 1; }
