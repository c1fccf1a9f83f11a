#include "app/main_frame.h"

#include <QMenuBar>
#include <QToolBar>

#include <algorithm>

#include "app/command_table.h"
#include "app/control_bar.h"
#include "app/quillon_window.h"
#include "app/state.h"
#include "app/status_bar.h"
#include "display/night_vision_ui.h"
#include "display/palette.h"
#include "store/buffers.h"
#include "telescope/guide_commands.h"
#include "telescope/guide_graph_window.h"
#include "ui/placement.h"

MainFrame build_main_frame()
{
    MainFrame result;
    result.frame = std::make_unique<QMainWindow>();
    QMainWindow& frame = *result.frame;
    frame.setObjectName(QStringLiteral("frame"));
    // The window's constructor loads the settings, so `telescope` below is
    // the configured one.
    result.client = new TQuillonWindow(&frame);
    frame.setCentralWidget(result.client);
    result.cb = build_control_bar(frame, *result.client);
    result.sb = build_status_bar(frame);
    build_menu_bar(*frame.menuBar(), *result.client);
    install_accelerators(frame, *result.client);
    frame.setWindowIcon(command_glyph(24));
    // The decorated window's corner at 0, 0 (move() places the frame with its
    // title bar, so the title stays on the screen).
    frame.resize(710, 500);
    frame.move(0, 0);
    // On a small or high-DPI screen the windows are made to fit it.
    keep_windows_on_screen(&frame);
    result.TelescopeControl = make_telescope_button(*result.cb, *result.client);
    if (telescope != 'n')
        result.cb->addAction(result.TelescopeControl);
    result.client->SetCaption(nullptr);
    // The guiding graph watches every run from the start; night vision as
    // it was left.
    install_guide_graph(&frame);
    apply_stored_night_vision();
    show_in_night_vision_mode(*result.client);
    refresh_command_states(frame, *result.client);
    result.client->setFocus();
    return result;
}

void start_frame_buffers()
{
    point_buffers();
    build_grey_palette();
    std::fill(table, table + 256, 0u);
    fill_startup_ramp();
}
