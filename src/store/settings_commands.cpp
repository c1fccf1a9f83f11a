// The program defaults command.
#include "app/messages.h"
#include "app/quillon_window.h"
#include "app/state.h"
#include "store/settings_dialog.h"
#include "store/settings_file.h"

void TQuillonWindow::CmINI()
{
    if (LoadINIFile(ini_file.c_str()) != settings_ok) {
        messages(20);
        SaveINIFile(ini_file.c_str());
    }
    {
        TINIDialog dialog(this);
        if (dialog.exec() == QDialog::Accepted && SaveINIFile(ini_file.c_str()) != settings_ok)
            messages(24);
    }
    telescope_button_changed();
    // The paint also takes back_changed; the brush is renewed here so the
    // new background shows with this repaint.
    if (back_changed)
        BkgndBrush = QBrush(QColor(back_r, back_g, back_b));
    viewport()->update();
}
