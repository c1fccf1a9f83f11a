#include "telescope/guide_commands.h"

#include <QAbstractScrollArea>

#include "app/quillon_window.h"
#include "app/state.h"
#include "display/night_vision.h"
#include "display/night_vision_ui.h"
#include "telescope/guide_graph_window.h"
#include "telescope/guide_options_dialog.h"

void CmGuideGraph(TQuillonWindow&)
{
    show_guide_graph();
}

void CmGuideOptions(TQuillonWindow& window)
{
    TGuideOptionsDialog dialog(&window);
    dialog.exec();
}

void show_in_night_vision_mode(TQuillonWindow& window)
{
    if (window.Dib)
        window.Bitmap = QPixmap::fromImage(night_vision_display(*window.Dib));
    window.BkgndBrush = night_vision_on() ? QBrush(Qt::black) : QBrush(QColor(back_r, back_g, back_b));
    window.viewport()->update();
}

void CmNightVision(TQuillonWindow& window)
{
    const bool on = !night_vision_on();
    set_night_vision_setting(on);
    apply_night_vision(on);
    show_in_night_vision_mode(window);
}
