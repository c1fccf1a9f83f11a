#include "app/main_frame.h"

#include "app/quillon_window.h"

MainFrame build_main_frame()
{
    MainFrame result;
    result.frame = std::make_unique<QMainWindow>();
    result.client = new TQuillonWindow(result.frame.get());
    result.frame->setCentralWidget(result.client);
    result.frame->setGeometry(0, 0, 710, 500);
    result.client->SetCaption(nullptr);
    return result;
}
