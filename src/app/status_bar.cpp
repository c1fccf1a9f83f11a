#include "app/status_bar.h"

#include <QFont>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QStatusBar>

#include <cstdlib>
#include <optional>

#ifdef QUILLON_HAVE_XCB
#include <QGuiApplication>
#if QT_CONFIG(xcb)
#include <xcb/xcb.h>
#define QUILLON_X11_LOCKS 1
#endif
#endif

namespace {
// Lock bits of the X11 modifier state carried by key events on xcb.
constexpr quint32 x11_lock_mask = 0x02;
constexpr quint32 x11_num_mask = 0x10;

// The X11 modifier state now, read from the server; none elsewhere.
std::optional<quint32> x11_modifier_state()
{
#ifdef QUILLON_X11_LOCKS
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->connection() == nullptr)
        return std::nullopt;
    xcb_connection_t* connection = x11->connection();
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (screen == nullptr)
        return std::nullopt;
    xcb_query_pointer_reply_t* reply
        = xcb_query_pointer_reply(connection, xcb_query_pointer(connection, screen->root), nullptr);
    if (reply == nullptr)
        return std::nullopt;
    const quint32 mask = reply->mask;
    std::free(reply);
    return mask;
#else
    return std::nullopt;
#endif
}

// Follows the keyboard's lock states. The toolkit has no query for them: on
// X11 the server is asked at start and whenever a window of the program
// becomes active (the locks may have changed in another program), and the
// native state of each key event tells them (before the key itself acts);
// elsewhere only the lock keys pressed while the program has focus are seen.
class KeyStateWatcher : public QObject {
public:
    KeyStateWatcher(QLabel* caps, QLabel* num, QLabel* overtype, QObject* parent)
        : QObject(parent)
        , caps_(caps)
        , num_(num)
        , overtype_(overtype)
    {
        x11_ = QGuiApplication::platformName() == QLatin1String("xcb");
        read_server_state();
        show();
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // Each key reaches the window first and then its widgets: look once.
        if (!watched->isWindowType()
            || (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease))
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool press = event->type() == QEvent::KeyPress;
        if (x11_) {
            caps_on_ = (key->nativeModifiers() & x11_lock_mask) != 0;
            num_on_ = (key->nativeModifiers() & x11_num_mask) != 0;
        }
        if (press && !key->isAutoRepeat()) {
            if (key->key() == Qt::Key_CapsLock)
                caps_on_ = !caps_on_;
            else if (key->key() == Qt::Key_NumLock)
                num_on_ = !num_on_;
            else if (key->key() == Qt::Key_Insert && key->modifiers() == Qt::NoModifier)
                overtype_on_ = !overtype_on_;
        }
        show();
        return false;
    }

private:
    void read_server_state()
    {
        if (!x11_)
            return;
        if (const auto mask = x11_modifier_state()) {
            caps_on_ = (*mask & x11_lock_mask) != 0;
            num_on_ = (*mask & x11_num_mask) != 0;
        }
    }

    void show()
    {
        if (caps_)
            caps_->setEnabled(caps_on_);
        if (num_)
            num_->setEnabled(num_on_);
        if (overtype_)
            overtype_->setEnabled(overtype_on_);
    }

    QPointer<QLabel> caps_, num_, overtype_;
    bool x11_ = false;
    bool caps_on_ = false, num_on_ = false, overtype_on_ = false;
};

QLabel* indicator(const char* text, QStatusBar& bar)
{
    auto* label = new QLabel(QString::fromLatin1(text), &bar);
    label->setObjectName(QString::fromLatin1(text));
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setAlignment(Qt::AlignCenter);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("OVR")) + 12);
    label->setEnabled(false);
    bar.addPermanentWidget(label);
    return label;
}
} // namespace

QStatusBar* build_status_bar(QMainWindow& frame)
{
    auto* bar = new QStatusBar(&frame);
    bar->setObjectName(QStringLiteral("sb"));
    QFont font = bar->font();
    font.setPointSize(10);
    bar->setFont(font);
    QLabel* caps = indicator("CAP", *bar);
    QLabel* num = indicator("NUM", *bar);
    QLabel* overtype = indicator("OVR", *bar);
    new KeyStateWatcher(caps, num, overtype, bar);
    frame.setStatusBar(bar);
    return bar;
}
