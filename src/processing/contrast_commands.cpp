// Contrast commands of the main window.
#include "app/quillon_window.h"

#include "app/host.h"
#include "app/state.h"
#include "processing/contrast.h"
#include "processing/contrast_dialogs.h"
#include "store/buffers.h"

void TQuillonWindow::CmContrastNormal()
{
    white = 255;
    black = 0;
    TStretchDialog dialog(this);
    if (dialog.exec() == QDialog::Accepted)
        ContrastNormal();
}

void TQuillonWindow::CmContrastPower()
{
    power_str = 1.0;
    TPowerDialog dialog(this);
    // Power 1.0 is the identity: nothing to apply and nothing to record.
    if (dialog.exec() == QDialog::Accepted && power_str != 1.0)
        ContrastPower();
}

void TQuillonWindow::CmContrastSine()
{
    ContrastSine();
}

void TQuillonWindow::CmContrastBackGround()
{
    ContrastBackground();
}

void TQuillonWindow::CmContrastVarnel()
{
    white = 25;
    TNonLiniarDialog dialog(this);
    if (dialog.exec() == QDialog::Accepted)
        ContrastVarnel();
}

void TQuillonWindow::CmContrastLog()
{
    logstretch();
}

void TQuillonWindow::CmContrastAntiLog()
{
    antilog();
}

void TQuillonWindow::CmContrastInvert()
{
    ContrastInvert();
}

// Command 888: the curve functions ask for their table to be applied here.
void TQuillonWindow::contrast_stretch()
{
    host().wait_cursor(true);
    undo_save_option();
    apply_stretch_table(image);
    image_prepare();
    host().wait_cursor(false);
}

void TQuillonWindow::CmStretchMax()
{
    TMaxDialog dialog(this);
    if (dialog.exec() == QDialog::Accepted)
        image_prepare();
}

void TQuillonWindow::CmMaxStretchOn()
{
    if (max_stretch != 1) {
        max_stretch = 1;
        image_prepare();
    }
}

void TQuillonWindow::CmMaxStretchOff()
{
    if (max_stretch != 0) {
        max_stretch = 0;
        image_prepare();
    }
}
