#include "app/quillon_app.h"

#include <QEvent>
#include <QTimer>

#include "app/control_bar.h"
#include "app/quillon_window.h"

TQuillonApp::TQuillonApp(int& argc, char** argv)
    : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Quillon"));
    setWindowIcon(command_glyph(24));
}

TQuillonApp::~TQuillonApp() = default;

void TQuillonApp::InitMainWindow()
{
    main_ = build_main_frame();
}

void TQuillonApp::InitInstance()
{
    InitMainWindow();
    main_.frame->installEventFilter(this);
    main_.frame->show();
    start_frame_buffers();
}

bool TQuillonApp::eventFilter(QObject* watched, QEvent* event)
{
    // A modeless window left open must not keep the program running once the
    // frame has gone; the quit waits until the close has been handled.
    if (watched == main_.frame.get() && event->type() == QEvent::Close)
        QTimer::singleShot(0, this, [this] {
            if (main_.frame && !main_.frame->isVisible())
                quit();
        });
    return QApplication::eventFilter(watched, event);
}
