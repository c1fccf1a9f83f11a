#include "telescope/telescope_dialog.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionSlider>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>

#include "app/clock.h"
#include "app/host.h"
#include "app/state.h"
#include "app/text_field.h"
#include "indi/indi_telescope_link.h"
#include "telescope/telescope_control.h"
#include "ui/dialog_controls.h"
#include "ui/indi_panels.h"

// ---------------------------------------------------------------- arrows

namespace {
// A held arrow's repeat, as the toolkit's scroll bars time it.
constexpr int repeat_first_ms = 500;
constexpr int repeat_every_ms = 50;
// Held arrows re-read the program clock this often.
constexpr int repeat_poll_ms = 10;

bool is_arrow_step(QAbstractSlider::SliderAction action)
{
    return action == QAbstractSlider::SliderSingleStepAdd || action == QAbstractSlider::SliderSingleStepSub;
}
} // namespace

THandMoveBar::THandMoveBar(Qt::Orientation orientation, int id, QWidget* parent)
    : QScrollBar(orientation, parent)
    , repeat_timer_(new QTimer(this))
{
    setObjectName(QString::number(id));
    repeat_timer_->setSingleShot(true);
    repeat_timer_->setTimerType(Qt::PreciseTimer);
    connect(repeat_timer_, &QTimer::timeout, this, [this] { repeat_due(); });
    // A wide range with the handle in the middle: both arrows always act.
    setRange(0, 1000);
    setSingleStep(1);
    setPageStep(1);
    centre();
    connect(this, &QAbstractSlider::actionTriggered, this, [this](int action) {
        if (action == QAbstractSlider::SliderSingleStepSub)
            emit scrollCode(scroll_line_up);
        else if (action == QAbstractSlider::SliderSingleStepAdd)
            emit scrollCode(scroll_line_down);
    });
}

void THandMoveBar::centre()
{
    setValue(500);
}

void THandMoveBar::mousePressEvent(QMouseEvent* event)
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    pressed_
        = style()->hitTestComplexControl(QStyle::CC_ScrollBar, &option, event->position().toPoint(), this);
    QScrollBar::mousePressEvent(event);
    take_over_repeat(repeat_first_ms);
}

void THandMoveBar::mouseMoveEvent(QMouseEvent* event)
{
    QScrollBar::mouseMoveEvent(event);
    // Back on the arrow, the toolkit steps at once and repeats again soon;
    // off it, the repeat pauses.
    if (is_arrow_step(repeatAction()))
        take_over_repeat(repeat_every_ms);
    else if (held_ != SliderNoAction && !over_pressed_arrow(event->position().toPoint()))
        stop_repeat();
}

void THandMoveBar::changeEvent(QEvent* event)
{
    QScrollBar::changeEvent(event);
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        stop_repeat();
}

bool THandMoveBar::over_pressed_arrow(const QPoint& at)
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    return style()->subControlRect(QStyle::CC_ScrollBar, &option, pressed_, this).contains(at);
}

void THandMoveBar::take_over_repeat(int delay_ms)
{
    const SliderAction action = repeatAction();
    if (!is_arrow_step(action))
        return;
    setRepeatAction(SliderNoAction);
    held_ = action;
    next_repeat_ms_ = program_clock().now_ms() + delay_ms;
    arm_repeat();
}

void THandMoveBar::stop_repeat()
{
    held_ = SliderNoAction;
    repeat_timer_->stop();
}

void THandMoveBar::arm_repeat()
{
    const std::int64_t left = next_repeat_ms_ - program_clock().now_ms();
    repeat_timer_->start(static_cast<int>(std::clamp<std::int64_t>(left, 0, repeat_poll_ms)));
}

void THandMoveBar::repeat_due()
{
    if (held_ == SliderNoAction)
        return;
    const std::int64_t now = program_clock().now_ms();
    if (now >= next_repeat_ms_) {
        next_repeat_ms_ = now + repeat_every_ms;
        // The step may run a move whose waits serve the release.
        triggerAction(held_);
    }
    if (held_ != SliderNoAction)
        arm_repeat();
}

void THandMoveBar::mouseReleaseEvent(QMouseEvent* event)
{
    QScrollBar::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton) {
        stop_repeat();
        centre();
        emit scrollCode(scroll_end);
    }
}

void THandMoveBar::keyReleaseEvent(QKeyEvent* event)
{
    QScrollBar::keyReleaseEvent(event);
    if (!event->isAutoRepeat()) {
        centre();
        emit scrollCode(scroll_end);
    }
}

namespace {
QLineEdit* add_number_edit(QWidget* parent, int id)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::number(id));
    edit->setMaximumWidth(60);
    return edit;
}

QRadioButton* add_radio(QWidget* parent, QButtonGroup* group, int id, const char* text)
{
    auto* radio = new QRadioButton(QString::fromLatin1(text), parent);
    radio->setObjectName(QString::number(id));
    group->addButton(radio, id);
    return radio;
}
} // namespace

// ---------------------------------------------------------------- LX200

TMTDialog::TMTDialog(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("QUILLON Move Telescope"));
    setObjectName(QStringLiteral("QUILLON Move Telescope"));
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QHBoxLayout(this);

    // Left column: go-to by catalogue, planet and coordinates.
    auto* left = new QVBoxLayout;
    auto* objects = new QGridLayout;
    objects->addWidget(new QLabel(QStringLiteral("Messier Object"), this), 0, 0);
    objects->addWidget(new QLabel(QStringLiteral("CNGC Object"), this), 0, 1);
    objects->addWidget(add_number_edit(this, 101), 1, 0);
    objects->addWidget(add_number_edit(this, 102), 1, 1);
    QPushButton* goto_object_button = add_button(this, "103", QStringLiteral("GoTo Object"));
    objects->addWidget(goto_object_button, 1, 2);
    left->addLayout(objects);

    auto* planets = new QGroupBox(QStringLiteral("Go to Planet"), this);
    auto* planet_grid = new QGridLayout(planets);
    const char* planet_names[]
        = { "Mercury", "Venus", "Mars", "Jupiter", "Saturn", "Uranus", "Neptune", "Pluto" };
    for (int i = 0; i < 8; ++i) {
        const int id = 104 + i;
        QPushButton* planet
            = add_button(planets, std::to_string(id).c_str(), QString::fromLatin1(planet_names[i]));
        planet_grid->addWidget(planet, i / 4, i % 4);
        connect(planet, &QPushButton::clicked, this, [this, id] {
            goto_planet(id);
            EvPaint();
        });
    }
    left->addWidget(planets);

    auto* coordinates = new QGridLayout;
    coordinates->addWidget(new QLabel(QStringLiteral("R.A."), this), 0, 0);
    coordinates->addWidget(add_number_edit(this, 112), 0, 1);
    coordinates->addWidget(new QLabel(QStringLiteral("hrs"), this), 0, 2);
    coordinates->addWidget(add_number_edit(this, 113), 0, 3);
    coordinates->addWidget(new QLabel(QStringLiteral("mins"), this), 0, 4);
    coordinates->addWidget(new QLabel(QStringLiteral("Dec."), this), 1, 0);
    coordinates->addWidget(add_number_edit(this, 114), 1, 1);
    coordinates->addWidget(new QLabel(QStringLiteral("Deg"), this), 1, 2);
    coordinates->addWidget(add_number_edit(this, 115), 1, 3);
    coordinates->addWidget(new QLabel(QStringLiteral("mins"), this), 1, 4);
    QPushButton* goto_coord_button = add_button(this, "116", QStringLiteral("Go To "));
    coordinates->addWidget(goto_coord_button, 0, 5, 2, 1);
    left->addLayout(coordinates);

    if (telescope == indi_telescope_kind)
        left->addWidget(new IndiStatusPanel(this));
    left->addWidget(new QLabel(QStringLiteral("Info from Scope"), this));
    info_ = new QPlainTextEdit(this);
    info_->setObjectName(QStringLiteral("117"));
    info_->setReadOnly(true);
    info_->setMaximumHeight(60);
    left->addWidget(info_);
    layout->addLayout(left, 1);

    // Right column: rates, hand moves, focuser.
    auto* right = new QVBoxLayout;
    auto* rate_box = new QGroupBox(QStringLiteral("Rate"), this);
    auto* rate_layout = new QVBoxLayout(rate_box);
    rates_ = new QButtonGroup(this);
    const char* rate_names[] = { "Slew", "Find", "Centre", "Guide" };
    for (int i = 0; i < 4; ++i)
        rate_layout->addWidget(add_radio(rate_box, rates_, 120 + i, rate_names[i]));
    right->addWidget(rate_box);

    auto* moves = new QGridLayout;
    auto* east_west = new THandMoveBar(Qt::Horizontal, bar_east_west, this);
    auto* north_south = new THandMoveBar(Qt::Vertical, bar_north_south, this);
    east_west->setMinimumWidth(90);
    north_south->setMinimumHeight(90);
    moves->addWidget(north_south, 0, 1, 3, 1, Qt::AlignHCenter);
    moves->addWidget(east_west, 1, 0, 1, 3);
    right->addLayout(moves);

    auto* focus_row = new QHBoxLayout;
    auto* focus_column = new QVBoxLayout;
    focus_column->addWidget(new QLabel(QStringLiteral("Focus"), this));
    auto* focus_bar = new THandMoveBar(Qt::Vertical, bar_focus, this);
    focus_bar->setMinimumHeight(70);
    focus_column->addWidget(focus_bar, 0, Qt::AlignHCenter);
    focus_row->addLayout(focus_column);
    auto* focus_speeds = new QVBoxLayout;
    focus_rates_ = new QButtonGroup(this);
    focus_speeds->addWidget(add_radio(this, focus_rates_, 125, "fast"));
    focus_speeds->addWidget(add_radio(this, focus_rates_, 126, "slow"));
    focus_row->addLayout(focus_speeds);
    right->addLayout(focus_row);

    QPushButton* finished = add_button(this, "2", QStringLiteral("Finished"));
    QPushButton* help = add_button(this, "9", QStringLiteral("Help"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(finished);
    buttons->addWidget(help);
    right->addLayout(buttons);
    layout->addLayout(right);

    connect(goto_object_button, &QPushButton::clicked, this, [this] { MoveTelescope(); });
    connect(goto_coord_button, &QPushButton::clicked, this, [this] { MoveToCoord(); });
    connect(rates_, &QButtonGroup::idClicked, this, [this](int id) {
        static const char* const commands[] = { "#:RS#", "#:RM#", "#:RC#", "#:RG#" };
        set_text(tele_speed, commands[id - 120]);
        EvPaint();
    });
    connect(focus_rates_, &QButtonGroup::idClicked, this, [this](int id) {
        set_text(focus_speed, id == 125 ? "#:FF#" : "#:FS#");
        EvPaint();
    });
    for (THandMoveBar* bar : { east_west, north_south, focus_bar }) {
        const int id = bar->objectName().toInt();
        connect(bar, &THandMoveBar::scrollCode, this, [this, id](int code) {
            hand_move_scroll(id, code);
            EvPaint();
        });
    }
    connect(finished, &QPushButton::clicked, this, &QDialog::close);
    connect(help, &QPushButton::clicked, this, [this] { Dialog9Help(); });
    EvPaint();
}

QLineEdit* TMTDialog::edit(int id) const
{
    return findChild<QLineEdit*>(QString::number(id));
}

void TMTDialog::EvPaint()
{
    const QString info
        = QString::fromLatin1(move_error, static_cast<int>(strnlen(move_error, sizeof move_error)));
    if (info_->toPlainText() != info)
        info_->setPlainText(info);
    switch (tele_speed[3]) {
    case 'S':
        rates_->button(120)->setChecked(true);
        break;
    case 'M':
        rates_->button(121)->setChecked(true);
        break;
    case 'C':
        rates_->button(122)->setChecked(true);
        break;
    default:
        rates_->button(123)->setChecked(true);
    }
    focus_rates_->button(focus_speed[3] == 'F' ? 125 : 126)->setChecked(true);
}

void TMTDialog::MoveTelescope()
{
    goto_object(edit(101)->text().toStdString(), edit(102)->text().toStdString());
    EvPaint();
}

void TMTDialog::MoveToCoord()
{
    goto_coordinates(edit(112)->text().toStdString(), edit(113)->text().toStdString(),
        edit(114)->text().toStdString(), edit(115)->text().toStdString());
    EvPaint();
}

void TMTDialog::Dialog9Help()
{
    host().message_box(control_help_text, control_caption);
}

// ---------------------------------------------------------------- control box

TCBDialog::TCBDialog(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Move Telescope"));
    setObjectName(QStringLiteral("Move Telescope"));
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Up"), this), 0, 1, Qt::AlignHCenter);
    auto* up_down = new THandMoveBar(Qt::Vertical, box_bar_north_south, this);
    up_down->setMinimumHeight(80);
    layout->addWidget(up_down, 1, 1, 3, 1, Qt::AlignHCenter);
    layout->addWidget(new QLabel(QStringLiteral("Left"), this), 2, 0);
    auto* left_right = new THandMoveBar(Qt::Horizontal, box_bar_east_west, this);
    left_right->setMinimumWidth(100);
    layout->addWidget(left_right, 4, 0, 1, 3);
    layout->addWidget(new QLabel(QStringLiteral("Right"), this), 2, 2, Qt::AlignRight);
    QPushButton* finished = add_button(this, "2", QStringLiteral("Finished"));
    layout->addWidget(finished, 5, 0, 1, 3, Qt::AlignRight);
    for (THandMoveBar* bar : { left_right, up_down }) {
        const int id = bar->objectName().toInt();
        connect(bar, &THandMoveBar::scrollCode, this, [id](int code) { box_move_scroll(id, code); });
    }
    connect(finished, &QPushButton::clicked, this, &QDialog::close);
}
