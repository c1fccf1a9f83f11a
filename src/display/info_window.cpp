#include "display/info_window.h"

#include <QApplication>
#include <QMainWindow>
#include <QPointer>

#include "display/info_dialogs.h"

namespace {
QPointer<TProgressDialog> progress_window;

// The windows belong to the main frame, so they stay above it and go with it.
QWidget* frame_window()
{
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* frame = qobject_cast<QMainWindow*>(top); frame != nullptr && frame->isVisible())
            return frame;
    return nullptr;
}

// Paints at once: the long work that drives these windows may not return to
// the event loop before its next step.
void show_now(QDialog* dialog)
{
    // The main window keeps the keyboard: a key press there stops the work.
    dialog->setAttribute(Qt::WA_ShowWithoutActivating);
    dialog->show();
    dialog->raise();
    dialog->repaint();
}
} // namespace

void create_progress_window()
{
    delete progress_window.data();
    progress_window = new TProgressDialog(frame_window());
    progress_window->setAttribute(Qt::WA_DeleteOnClose);
}

void show_progress_window()
{
    if (progress_window.isNull())
        create_progress_window();
    show_now(progress_window);
}

void update_progress_window()
{
    if (progress_window.isNull())
        return;
    progress_window->ProgressUpdate();
    progress_window->repaint();
}

void close_progress_window()
{
    delete progress_window.data();
}

void show_info_window()
{
    if (TIN == nullptr) {
        TIN = new TInfoDialog(frame_window());
        TIN->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(TIN, &QObject::destroyed, [] { TIN = nullptr; });
    }
    TIN->InfoCaption();
    show_now(TIN);
}

void update_info_window()
{
    if (TIN == nullptr)
        return;
    TIN->InfoCaption();
    TIN->InfoUpdate();
    TIN->repaint();
}

void close_info_window()
{
    delete TIN;
    TIN = nullptr;
}

bool info_window_open()
{
    return TIN != nullptr;
}
