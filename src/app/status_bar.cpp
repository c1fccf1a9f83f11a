#include "app/status_bar.h"

#include <QFont>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QStatusBar>

namespace {
// Lock bits of the X11 modifier state carried by key events on xcb.
constexpr quint32 x11_lock_mask = 0x02;
constexpr quint32 x11_num_mask = 0x10;

// Follows the keyboard's lock states from the key events of the program.
// The toolkit has no query for them: on X11 the native state of each key
// event tells them (before the key itself acts); elsewhere only the lock
// keys pressed while the program has focus are seen.
class KeyStateWatcher : public QObject {
public:
    KeyStateWatcher(QLabel* caps, QLabel* num, QLabel* overtype, QObject* parent)
        : QObject(parent)
        , caps_(caps)
        , num_(num)
        , overtype_(overtype)
    {
        x11_ = QGuiApplication::platformName() == QLatin1String("xcb");
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
