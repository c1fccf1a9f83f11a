#include "processing/contrast_dialogs.h"

#include <QCheckBox>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cstdio>

#include "app/state.h"
#include "processing/processing_controls_ui.h"

using namespace processing_ui;

namespace {
using Action = QAbstractSlider::SliderAction;

QString one_decimal(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%1.1f", v);
    return QString::fromLatin1(text);
}
} // namespace

// ------------------------------------------------------------------ Normal Stretch

TStretchDialog::TStretchDialog(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Normal Stretch"));
    setFixedSize(290, 380);
    label(this, QStringLiteral("Black"), QRect(10, 242, 50, 22));
    black_edit_ = edit(this, "101", QStringLiteral("0"), QRect(60, 242, 50, 22));
    black_bar_ = hscroll(this, "102", QRect(120, 244, 160, 18));
    label(this, QStringLiteral("White"), QRect(10, 276, 50, 22));
    white_edit_ = edit(this, "104", QStringLiteral("255"), QRect(60, 276, 50, 22));
    white_bar_ = hscroll(this, "103", QRect(120, 278, 160, 18));
    standard_buttons(this, 330,
        QStringLiteral("Use controls to vary intensity from 0 to 255, where the lowest value will be "
                       "shown as black and the highest by white. \n\nIf you type values into the black "
                       "or white boxes you must press the set white or black button to activate.\n\n It "
                       "is possible to darken the image overall by increasing the white level to 300."),
        QStringLiteral("Quillon - Normal Stretch"));
    white_bar_->setRange(1, 300);
    white_bar_->setPageStep(10);
    white_bar_->setValue(static_cast<int>(white));
    black_bar_->setRange(0, 255);
    black_bar_->setPageStep(10);
    black_bar_->setValue(static_cast<int>(black));
    name_after(black_edit_, QStringLiteral("Black"));
    name_after(black_bar_, QStringLiteral("Black"));
    name_after(white_edit_, QStringLiteral("White"));
    name_after(white_bar_, QStringLiteral("White"));
    connect(white_bar_, &QScrollBar::actionTriggered, this, &TStretchDialog::white_action);
    connect(black_bar_, &QScrollBar::actionTriggered, this, &TStretchDialog::black_action);
}

void TStretchDialog::white_action(int action)
{
    switch (action) {
    case Action::SliderSingleStepSub:
        if (white > 0 && black + 1 < white)
            white -= 1;
        break;
    case Action::SliderSingleStepAdd:
        if (white < 300)
            white += 1;
        break;
    case Action::SliderPageStepSub:
        if (white > 9 && black + 10 < white)
            white -= 10;
        break;
    case Action::SliderPageStepAdd:
        if (white < 291)
            white += 10;
        break;
    case Action::SliderMove:
        if (const int position = white_bar_->sliderPosition(); position > static_cast<int>(black))
            white = static_cast<std::uint32_t>(position);
        break;
    default:
        break;
    }
    show_values();
}

void TStretchDialog::black_action(int action)
{
    switch (action) {
    case Action::SliderSingleStepSub:
        if (black > 0)
            black -= 1;
        break;
    case Action::SliderSingleStepAdd:
        if (black < 255 && black + 1 < white)
            black += 1;
        break;
    case Action::SliderPageStepSub:
        if (black > 9)
            black -= 10;
        break;
    case Action::SliderPageStepAdd:
        if (black < 246 && black + 10 < white)
            black += 10;
        break;
    case Action::SliderMove:
        if (const int position = black_bar_->sliderPosition();
            position >= 0 && position < static_cast<int>(white))
            black = static_cast<std::uint32_t>(position);
        break;
    default:
        break;
    }
    show_values();
}

void TStretchDialog::show_values()
{
    white_edit_->setText(QString::number(white));
    black_edit_->setText(QString::number(black));
    white_bar_->setSliderPosition(static_cast<int>(white));
    black_bar_->setSliderPosition(static_cast<int>(black));
    update();
}

void TStretchDialog::DrawHistogram(QPainter& painter)
{
    // The marker strip under the histogram: one arrow at each point.
    painter.fillRect(QRect(QPoint(4, 219), QPoint(268, 232)), Qt::white);
    painter.setPen(QPen(Qt::black));
    const int marks[2] = { static_cast<int>(black) + 8, static_cast<int>(std::min(white, 255u)) + 8 };
    for (const int x : marks) {
        painter.drawLine(x, 230, x, 220);
        painter.drawLine(x - 3, 224, x, 221);
        painter.drawLine(x, 221, x + 3, 224);
    }
}

void TStretchDialog::paintEvent(QPaintEvent* event)
{
    QDialog::paintEvent(event);
    QPainter painter(this);
    painter.setPen(QPen(Qt::blue));
    painter.drawLine(5, 5, 5, 213);
    painter.drawLine(5, 213, 263, 213);
    for (int x = 40; x <= 264; x += 32) {
        const int bottom = x == 136 ? 220 : (x == 72 || x == 200 ? 218 : 215);
        painter.drawLine(x, 213, x, bottom);
    }
    for (int k = 0; k < 256; ++k) {
        int h = static_cast<int>(table[k] / 5);
        if (h > 210) {
            h = 210;
            painter.setPen(QPen(Qt::red));
        } else {
            painter.setPen(QPen(Qt::gray));
        }
        painter.drawLine(k + 8, 210, k + 8, 210 - h);
    }
    DrawHistogram(painter);
}

// ------------------------------------------------------------------ Power Law Stretch

TPowerDialog::TPowerDialog(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Power Law Stretch"));
    setFixedSize(290, 130);
    bar_ = hscroll(this, "101", QRect(10, 20, 200, 18));
    edit_ = edit(this, "102", QStringLiteral("1.0"), QRect(220, 18, 60, 22));
    standard_buttons(this, 80,
        QStringLiteral("Use controls to vary power from 0.1 to 3.0, where powers greater than 1 will "
                       "increase contrast, and powers less than 1 will reduce contrast."),
        QStringLiteral("Quillon - Power Law Stretch"));
    bar_->setRange(1, 30);
    bar_->setValue(10);
    arrows_only_input(bar_);
    name_after(bar_, QStringLiteral("Power"));
    name_after(edit_, QStringLiteral("Power"));
    connect(bar_, &QScrollBar::actionTriggered, this, &TPowerDialog::power_action);
}

void TPowerDialog::power_action(int action)
{
    // Only the arrows act. Steps of 0.1 in double precision: from 1.0 the
    // lower test passes at 0.2000...15, so the range is 0.1 .. 3.0 as the help
    // says.
    if (action == Action::SliderSingleStepSub && power_str > 0.2)
        power_str -= 0.1;
    else if (action == Action::SliderSingleStepAdd && !(power_str >= 3.0))
        power_str += 0.1;
    if (action == Action::SliderSingleStepSub || action == Action::SliderSingleStepAdd) {
        edit_->setText(one_decimal(power_str));
        position_ = static_cast<int>(power_str * 10.0);
    }
    bar_->setSliderPosition(position_);
}

// ------------------------------------------------------------------ Non-Linear Stretch

TNonLiniarDialog::TNonLiniarDialog(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Non-Linear Stretch"));
    setFixedSize(290, 170);
    label(this, QStringLiteral("Non-Linear Power"), QRect(10, 8, 200, 20));
    bar_ = hscroll(this, "213", QRect(10, 32, 200, 18));
    edit_ = edit(this, "102", QStringLiteral("25"), QRect(220, 30, 60, 22));
    label(this,
        QStringLiteral(
            "This stretch works well for images of nebulae. First use the stretch that removes the "
            "background. "),
        QRect(10, 58, 270, 50));
    standard_buttons(this, 125, QStringLiteral("Use controls to vary the Power from 2 to 50"),
        QStringLiteral("Quillon - NonLiniar Filter"));
    bar_->setRange(2, 50);
    bar_->setValue(static_cast<int>(white));
    arrows_only_input(bar_);
    name_after(bar_, QStringLiteral("Non-Linear Power"));
    name_after(edit_, QStringLiteral("Non-Linear Power"));
    connect(bar_, &QScrollBar::actionTriggered, this, &TNonLiniarDialog::power_action);
}

void TNonLiniarDialog::power_action(int action)
{
    if (action == Action::SliderSingleStepSub && white > 2)
        white -= 1;
    else if (action == Action::SliderSingleStepAdd && white < 50)
        white += 1;
    if (action == Action::SliderSingleStepSub || action == Action::SliderSingleStepAdd)
        edit_->setText(QString::number(white));
    bar_->setSliderPosition(static_cast<int>(white));
}

// ------------------------------------------------------------------ Stretch Palette

TMaxDialog::TMaxDialog(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Stretch Palette"));
    setFixedSize(290, 150);
    edit_ = edit(this, "102", QString(), QRect(115, 10, 60, 22));
    label(this, QStringLiteral("10 bit"), QRect(10, 42, 40, 20));
    bar_ = hscroll(this, "104", QRect(55, 44, 180, 18));
    label(this, QStringLiteral("16 bit"), QRect(240, 42, 45, 20));
    all_images_ = new QCheckBox(QStringLiteral("Selected for use on all images"), this);
    all_images_->setObjectName(QStringLiteral("103"));
    all_images_->setGeometry(10, 72, 270, 22);
    standard_buttons(this, 110, QString(), QString(), false);
    bar_->setRange(10, 16);
    bar_->setPageStep(1);
    name_after(edit_, QStringLiteral("Stretch Palette"));
    name_after(bar_, QStringLiteral("10 bit to 16 bit"));
    connect(bar_, &QScrollBar::actionTriggered, this, &TMaxDialog::stretch_action);
    connect(all_images_, &QCheckBox::clicked, this, [this] {
        max_stretch = max_stretch ? 0 : 1;
        refresh();
    });
    refresh();
}

void TMaxDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    refresh();
}

void TMaxDialog::stretch_action(int action)
{
    switch (action) {
    case Action::SliderSingleStepSub:
        if (focus_stretch > 10)
            focus_stretch -= 1;
        break;
    case Action::SliderSingleStepAdd:
        if (focus_stretch < 16)
            focus_stretch += 1;
        break;
    case Action::SliderPageStepSub:
        focus_stretch = 10;
        break;
    case Action::SliderPageStepAdd:
        focus_stretch = 16;
        break;
    case Action::SliderMove:
        focus_stretch = std::clamp(bar_->sliderPosition(), 10, 16);
        break;
    default:
        break;
    }
    refresh();
}

void TMaxDialog::refresh()
{
    edit_->setText(QString::number(focus_stretch));
    bar_->setSliderPosition(focus_stretch);
    all_images_->setChecked(max_stretch != 0);
    update();
}
