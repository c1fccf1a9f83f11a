#include "ui/placement.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace {
QRect available_room(const QWidget* widget)
{
    const QScreen* screen = widget->screen();
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1280, 1024);
}

QRect moved_inside(QRect place, const QRect& room)
{
    place.moveLeft(std::max(room.left(), std::min(place.left(), room.right() + 1 - place.width())));
    place.moveTop(std::max(room.top(), std::min(place.top(), room.bottom() + 1 - place.height())));
    return place;
}
} // namespace

QRect free_place(
    const QSize& size, const QRect& owner, int keep_clear, const QList<QRect>& taken, const QRect& room)
{
    QList<QPoint> spots { { owner.right() + 1, owner.top() } };
    for (const QRect& t : taken)
        spots << QPoint(t.left(), t.bottom() + 1) << QPoint(t.right() + 1, t.top());
    spots << QPoint(owner.left(), owner.bottom() + 1) << QPoint(owner.left() - size.width(), owner.top());
    for (const QPoint& spot : spots) {
        const QRect place(spot, size);
        if (!room.contains(place))
            continue;
        if (place.intersects(owner))
            continue;
        if (std::any_of(taken.begin(), taken.end(), [&](const QRect& t) { return place.intersects(t); }))
            continue;
        return place;
    }
    // No free place: keep to the screen, and below the owner's menu and bars.
    QRect place = moved_inside(QRect(spots.front(), size), room);
    const int lowest_top = owner.top() + keep_clear;
    if (place.intersects(owner) && place.top() < lowest_top)
        place.moveTop(std::min(lowest_top, room.bottom() + 1 - size.height()));
    return place;
}

void place_beside(QWidget* window, QWidget* owner)
{
    QWidget* main = owner->window();
    const QRect owner_place = main->frameGeometry();
    // The menu and control bar are what lies above the central widget.
    int keep_clear = 0;
    if (auto* frame = qobject_cast<QMainWindow*>(main); frame != nullptr && frame->centralWidget() != nullptr)
        keep_clear = frame->centralWidget()->mapTo(frame, QPoint(0, 0)).y()
            + (main->geometry().top() - owner_place.top());
    QList<QRect> taken;
    for (QWidget* other : QApplication::topLevelWidgets())
        if (other != window && other != main && other->isVisible() && !other->isModal())
            taken << other->frameGeometry();
    const QRect frame = window->frameGeometry();
    const QRect room = available_room(main);
    // The frame's decorations are outside the widget's own geometry.
    const QSize size(std::min(frame.width(), room.width()), std::min(frame.height(), room.height()));
    const QRect place = free_place(size, owner_place, keep_clear, taken, room);
    window->move(place.topLeft());
}

void fit_to_screen(QWidget* window)
{
    const QRect room = available_room(window);
    const QRect frame = window->frameGeometry();
    const QSize decorations = frame.size() - window->size();
    const QSize most = room.size() - decorations;
    if (window->width() > most.width() || window->height() > most.height())
        window->resize(std::min(window->width(), most.width()), std::min(window->height(), most.height()));
    const QRect place = moved_inside(window->frameGeometry(), room);
    if (place.topLeft() != window->frameGeometry().topLeft())
        window->move(place.topLeft());
}

namespace {
class ScreenFit : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(watched);
            const Qt::WindowType type = widget->windowType();
            if (type == Qt::Window || type == Qt::Dialog)
                fit_to_screen(widget);
        }
        return false;
    }
};
} // namespace

void keep_windows_on_screen(QObject* owner)
{
    qApp->installEventFilter(new ScreenFit(owner));
}
