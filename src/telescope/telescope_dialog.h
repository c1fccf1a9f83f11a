// The telescope dialogs of command 24: "QUILLON Move Telescope" for an LX200
// (go-to by catalogue, planet and coordinates, rates, hand moves, focuser)
// and "Move Telescope" for the control box (hand moves only). Both are
// modeless and keep no state: they read their controls, call the
// telescope_control functions and show move_error.
#pragma once

#include <QDialog>
#include <QScrollBar>
#include <QStyle>

#include <cstdint>

class QButtonGroup;
class QTimer;
class QLineEdit;
class QPlainTextEdit;

// A scroll bar used as a pair of arrows: reports the line up / line down
// codes while an arrow is held (repeating) and the end code when it is let
// go, by mouse or key.
//
// An arrow held with the mouse repeats as a scroll bar's does (after 500 ms,
// then every 50 ms), timed on the program clock rather than by the
// toolkit's own timer, so a test holds it on the manual clock.
class THandMoveBar : public QScrollBar {
    Q_OBJECT

public:
    THandMoveBar(Qt::Orientation orientation, int id, QWidget* parent);

signals:
    void scrollCode(int code);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void centre();
    // The toolkit started repeating an arrow: the repeat goes on here, the
    // first one `delay_ms` on.
    void take_over_repeat(int delay_ms);
    void stop_repeat();
    void arm_repeat();
    void repeat_due();
    bool over_pressed_arrow(const QPoint& at);

    QTimer* repeat_timer_ = nullptr;
    SliderAction held_ = SliderNoAction;
    std::int64_t next_repeat_ms_ = 0;
    QStyle::SubControl pressed_ = QStyle::SC_None;
};

class TMTDialog : public QDialog {
    Q_OBJECT

public:
    explicit TMTDialog(QWidget* parent = nullptr);

    // Shows move_error in "Info from Scope" and the chosen rates; run after
    // every button and scroll action.
    void EvPaint();

private:
    void MoveTelescope();
    void MoveToCoord();
    void Dialog9Help();
    QLineEdit* edit(int id) const;

    QPlainTextEdit* info_ = nullptr;
    QButtonGroup* rates_ = nullptr;
    QButtonGroup* focus_rates_ = nullptr;
};

class TCBDialog : public QDialog {
    Q_OBJECT

public:
    explicit TCBDialog(QWidget* parent = nullptr);
};
