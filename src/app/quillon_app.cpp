#include "app/quillon_app.h"

#include "app/quillon_window.h"

TQuillonApp::TQuillonApp(int& argc, char** argv)
    : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Quillon"));
}

TQuillonApp::~TQuillonApp() = default;

void TQuillonApp::InitMainWindow()
{
    main_ = build_main_frame();
}

void TQuillonApp::InitInstance()
{
    InitMainWindow();
    main_.frame->show();
    start_frame_buffers();
}
