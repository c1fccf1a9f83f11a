#include "ui/qt_host.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QThread>

#include <algorithm>
#include <utility>

#include "app/clock.h"
#include "app/quillon_window.h"
#include "display/info_window.h"

namespace {
int loop_level()
{
    return QThread::currentThread()->loopLevel();
}
} // namespace

QtHost::QtHost()
{
    qApp->installEventFilter(this);
}

QtHost::~QtHost()
{
    if (qApp != nullptr)
        qApp->removeEventFilter(this);
    if (&host() == this)
        set_host(nullptr);
    while (wait_cursors_ > 0)
        wait_cursor(false);
}

bool QtHost::is_press(QObject* watched, QEvent* event) const
{
    // A press from the window system reaches its window first and is then
    // handed on to a widget (and its parents); taking it at the window
    // counts each press once.
    if (!watched->isWindowType())
        return false;
    if (event->type() == QEvent::KeyPress)
        return true;
    if (event->type() == QEvent::MouseButtonPress) {
        const auto button = static_cast<QMouseEvent*>(event)->button();
        return button == Qt::LeftButton || button == Qt::RightButton;
    }
    return false;
}

bool QtHost::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Close && window_ && watched == window_->window()) {
        // Closing the main window during a run stops the run as a key
        // would, also in the middle of a download, where no pump runs; the
        // close itself goes on, and the program ends once the run returns.
        const bool stopped = std::exchange(stopped_for_exit_, false);
        if (stopped || !window_->command_running())
            return false;
        if (!pumps_.empty() && !pumps_.back().stop_request)
            pumps_.back().pressed = true;
        else
            apply_stop_request(*this, *this);
        return false;
    }
    if (pumps_.empty() || pumps_.back().loop_level != loop_level())
        return false;
    if (event->type() == QEvent::ShortcutOverride) {
        // While a run is pumping, every key is a stop request and no
        // accelerator fires: claim the key so it arrives as a key press.
        event->accept();
        return true;
    }
    if (!is_press(watched, event))
        return false;
    const std::size_t index = pumps_.size() - 1;
    if (pumps_[index].stop_request)
        apply_stop_request(*this, *this);
    else
        pumps_[index].pressed = true;
    // Alt+X, the Exit key, stops the run and then closes the program.
    if (event->type() == QEvent::KeyPress && window_) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_X && (key->modifiers() & Qt::AltModifier)) {
            stopped_for_exit_ = true;
            QMetaObject::invokeMethod(window_->window(), &QWidget::close, Qt::QueuedConnection);
        }
    }
    // The press itself is dispatched as usual.
    return false;
}

void QtHost::clear_messages()
{
    pumps_.push_back({ loop_level(), true });
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    pumps_.pop_back();
}

bool QtHost::pump_for_press()
{
    pumps_.push_back({ loop_level(), false });
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    const bool pressed = pumps_.back().pressed;
    pumps_.pop_back();
    return pressed;
}

void QtHost::beep()
{
    ++beeps_;
    QApplication::beep();
}

int QtHost::message_box(const std::string& text, const std::string& caption, BoxButtons buttons, BoxIcon icon)
{
    QMessageBox::StandardButtons standard = QMessageBox::Ok;
    QMessageBox::StandardButton escape = QMessageBox::Ok;
    switch (buttons) {
    case BoxButtons::ok:
        break;
    case BoxButtons::ok_cancel:
        standard = QMessageBox::Ok | QMessageBox::Cancel;
        escape = QMessageBox::Cancel;
        break;
    case BoxButtons::yes_no:
        standard = QMessageBox::Yes | QMessageBox::No;
        escape = QMessageBox::No;
        break;
    case BoxButtons::yes_no_cancel:
        standard = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        escape = QMessageBox::Cancel;
        break;
    }
    QMessageBox::Icon shown = QMessageBox::NoIcon;
    switch (icon) {
    case BoxIcon::none:
        break;
    case BoxIcon::information:
        shown = QMessageBox::Information;
        break;
    case BoxIcon::warning:
        shown = QMessageBox::Warning;
        break;
    case BoxIcon::stop:
        shown = QMessageBox::Critical;
        break;
    case BoxIcon::question:
        shown = QMessageBox::Question;
        break;
    }
    // The box belongs to the window that raised it (a modal dialog, else the
    // active window, else the main window), so it opens over that window;
    // it stays modal to the whole program.
    QWidget* owner = QApplication::activeModalWidget();
    if (owner == nullptr)
        owner = QApplication::activeWindow();
    if (owner == nullptr && window_)
        owner = window_->window();
    QMessageBox box(shown, QString::fromLocal8Bit(caption), QString::fromLocal8Bit(text), standard, owner);
    box.setWindowModality(Qt::ApplicationModal);
    box.setTextFormat(Qt::PlainText);
    box.setEscapeButton(escape);
    switch (box.exec()) {
    case QMessageBox::Cancel:
        return box_cancel;
    case QMessageBox::Yes:
        return box_yes;
    case QMessageBox::No:
        return box_no;
    default:
        return box_ok;
    }
}

void QtHost::send_command(int number)
{
    if (window_)
        window_->dispatch(number);
}

void QtHost::show_frame()
{
    if (window_)
        window_->CmShowImage();
}

void QtHost::redraw_window()
{
    if (window_)
        window_->viewport()->repaint();
}

void QtHost::prepare_display()
{
    if (window_)
        window_->image_prepare();
}

void QtHost::focus_frame_update()
{
    if (focus_view_)
        focus_view_->repaint();
}

void QtHost::progress_create()
{
    create_progress_window();
}

void QtHost::progress_show()
{
    show_progress_window();
}

void QtHost::progress_open()
{
    create_progress_window();
    show_progress_window();
}

void QtHost::progress_update()
{
    update_progress_window();
}

void QtHost::progress_close()
{
    close_progress_window();
}

void QtHost::info_open()
{
    show_info_window();
}

void QtHost::info_update()
{
    update_info_window();
}

void QtHost::info_close()
{
    close_info_window();
}

bool QtHost::info_is_open() const
{
    return info_window_open();
}

void QtHost::wait_cursor(bool on)
{
    if (on) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++wait_cursors_;
    } else if (wait_cursors_ > 0) {
        QApplication::restoreOverrideCursor();
        --wait_cursors_;
    }
}
