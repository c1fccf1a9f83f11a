#include "processing/filter_dialogs.h"

#include <cstdint>
#include <cstdio>

#include "app/state.h"
#include "processing/processing_controls_ui.h"

using namespace processing_ui;

namespace {
using Action = QAbstractSlider::SliderAction;

// Only the arrows of these scroll bars act: each steps `value` by one within
// lo..hi, shows it through `show`, and the bar always shows the value.
template <typename Show>
void arrows_only(QScrollBar* bar, std::uint32_t& value, std::uint32_t lo, std::uint32_t hi, Show show)
{
    arrows_only_input(bar);
    QObject::connect(bar, &QScrollBar::actionTriggered, bar, [bar, &value, lo, hi, show](int action) {
        if (action == Action::SliderSingleStepAdd && value < hi)
            value += 1;
        else if (action == Action::SliderSingleStepSub && value > lo)
            value -= 1;
        if (action == Action::SliderSingleStepAdd || action == Action::SliderSingleStepSub)
            show();
        bar->setSliderPosition(static_cast<int>(value));
    });
}
} // namespace

TUnsharpDialog::TUnsharpDialog(QWidget* parent, const QString& main_caption)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Unsharp Mask Filter"));
    setFixedSize(300, 150);
    label(this, QStringLiteral("Radius"), QRect(10, 12, 60, 20));
    radius_bar_ = hscroll(this, "101", QRect(75, 14, 140, 18));
    radius_edit_ = edit(this, "103", QStringLiteral("3"), QRect(225, 12, 60, 22));
    label(this, QStringLiteral("Power"), QRect(10, 48, 60, 20));
    power_bar_ = hscroll(this, "102", QRect(75, 50, 140, 18));
    power_edit_ = edit(this, "104", QStringLiteral("1"), QRect(225, 48, 60, 22));
    standard_buttons(this, 105,
        QStringLiteral("Use controls to vary the radius from 1 to 7, and the power from 1 to 7."),
        main_caption);
    radius_bar_->setRange(1, 7);
    radius_bar_->setValue(static_cast<int>(white));
    power_bar_->setRange(1, 7);
    power_bar_->setValue(static_cast<int>(black));
    name_after(radius_bar_, QStringLiteral("Radius"));
    name_after(radius_edit_, QStringLiteral("Radius"));
    name_after(power_bar_, QStringLiteral("Power"));
    name_after(power_edit_, QStringLiteral("Power"));
    arrows_only(radius_bar_, white, 1, 7, [this] { radius_edit_->setText(QString::number(white)); });
    arrows_only(power_bar_, black, 1, 7, [this] { power_edit_->setText(QString::number(black)); });
}

TMedianDialog::TMedianDialog(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Median Filter"));
    setFixedSize(300, 150);
    label(this, QStringLiteral("Radius"), QRect(10, 12, 60, 20));
    radius_bar_ = hscroll(this, "103", QRect(75, 14, 140, 18));
    radius_edit_ = edit(this, "101", QStringLiteral("1"), QRect(225, 12, 60, 22));
    label(this, QStringLiteral("Power"), QRect(10, 48, 60, 20));
    power_bar_ = hscroll(this, "104", QRect(75, 50, 140, 18));
    power_edit_ = edit(this, "102", QStringLiteral(".6"), QRect(225, 48, 60, 22));
    standard_buttons(this, 105,
        QStringLiteral("Use controls to vary the radius from 1 to 3, and the power from 0.1 to 1."),
        QStringLiteral("Quillon - Median Filter"));
    radius_bar_->setRange(1, 3);
    radius_bar_->setValue(static_cast<int>(white));
    power_bar_->setRange(1, 10);
    power_bar_->setValue(static_cast<int>(black));
    name_after(radius_bar_, QStringLiteral("Radius"));
    name_after(radius_edit_, QStringLiteral("Radius"));
    name_after(power_bar_, QStringLiteral("Power"));
    name_after(power_edit_, QStringLiteral("Power"));
    arrows_only(radius_bar_, white, 1, 3, [this] { radius_edit_->setText(QString::number(white)); });
    arrows_only(power_bar_, black, 1, 10, [this] {
        char text[16];
        std::snprintf(text, sizeof text, "%1.1f", black * 0.1);
        power_edit_->setText(QString::fromLatin1(text));
    });
}
