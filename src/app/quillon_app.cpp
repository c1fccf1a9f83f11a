#include "app/quillon_app.h"

#include "app/quillon_window.h"
#include "app/state.h"
#include "store/buffers.h"

TQuillonApp::TQuillonApp(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Quillon"));
}

TQuillonApp::~TQuillonApp()
{
    delete frame_;
}

void TQuillonApp::InitMainWindow()
{
    frame_ = new QMainWindow;
    client_ = new TQuillonWindow(frame_);
    frame_->setCentralWidget(client_);
    frame_->setGeometry(0, 0, 710, 500);
    client_->SetCaption(nullptr);
}

void TQuillonApp::InitInstance()
{
    InitMainWindow();
    frame_->show();
    point_buffers();
    fill_startup_ramp();
}
