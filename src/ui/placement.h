// Where windows open: beside what they are about, on the screen, and not
// over what the user has to see or click.
#pragma once

#include <QList>
#include <QRect>

class QObject;
class QWidget;

// The first place for a window of `size` (frame included) inside `room`
// that covers neither `owner` nor any of `taken`: right of the owner, then
// under or beside the windows already there, under the owner, left of it.
// When nothing is free, the spot right of the owner moved inside `room`,
// never above the owner's `keep_clear` (its menu and control bar).
QRect free_place(
    const QSize& size, const QRect& owner, int keep_clear, const QList<QRect>& taken, const QRect& room);

// Places the shown top-level `window` with free_place beside `owner`'s
// window, away from the other visible windows of the program.
void place_beside(QWidget* window, QWidget* owner);

// Shrinks `window` to the available area of its screen when it is larger,
// and moves it inside that area.
void fit_to_screen(QWidget* window);

// From now on until `owner` is destroyed, every window of the program is
// fitted to the screen as it is shown.
void keep_windows_on_screen(QObject* owner);
