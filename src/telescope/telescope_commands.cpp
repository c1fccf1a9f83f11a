// Telescope commands: training, guiding and the telescope dialogs. The work
// is in the core (guiding.h, telescope_control.h); these only route.
#include "app/quillon_window.h"

#include "app/state.h"
#include "telescope/guide_telescope.h"
#include "telescope/guiding.h"
#include "telescope/telescope_control.h"
#include "telescope/telescope_dialog.h"
#include "telescope/telescope_link.h"

void TQuillonWindow::CmTrainGuide()
{
    train_guider();
}

void TQuillonWindow::CmStartGuide()
{
    start_guiding();
}

void TQuillonWindow::CmControl()
{
    if (!open_telescope_control())
        return;
    // One dialog at a time: a second would fight the first over the moves.
    static QPointer<QDialog> open_dialog;
    if (open_dialog && open_dialog->isVisible()) {
        open_dialog->raise();
        open_dialog->activateWindow();
        return;
    }
    // A mount that can go to objects gets the full panel; one that only
    // moves (the control box) gets the arrows.
    TelescopeLink& link = telescope_link();
    link.wake();
    if (link.can_go_to())
        open_dialog = new TMTDialog(this);
    else
        open_dialog = new TCBDialog(this);
    open_dialog->show();
}

void TQuillonWindow::GuideTelescope()
{
    guide_telescope_frame();
}
