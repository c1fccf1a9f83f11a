#include "display/night_vision_ui.h"

#include <QApplication>
#include <QGraphicsEffect>
#include <QPainter>
#include <QToolBar>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>
#include <QWidget>

#include <optional>

#include "display/night_vision.h"

namespace {
std::optional<QPalette> day_palette;
QString day_style_sheet;

QPalette night_palette()
{
    const QColor black(0, 0, 0), panel(24, 0, 0), text(170, 0, 0), dim(90, 0, 0), bright(210, 0, 0);
    QPalette p;
    for (QPalette::ColorGroup group : { QPalette::Active, QPalette::Inactive, QPalette::Disabled }) {
        const bool disabled = group == QPalette::Disabled;
        p.setColor(group, QPalette::Window, panel);
        p.setColor(group, QPalette::Base, black);
        p.setColor(group, QPalette::AlternateBase, panel);
        p.setColor(group, QPalette::WindowText, disabled ? dim : text);
        p.setColor(group, QPalette::Text, disabled ? dim : text);
        p.setColor(group, QPalette::ButtonText, disabled ? dim : text);
        p.setColor(group, QPalette::PlaceholderText, dim);
        p.setColor(group, QPalette::Button, panel);
        p.setColor(group, QPalette::Light, QColor(60, 0, 0));
        p.setColor(group, QPalette::Midlight, QColor(45, 0, 0));
        p.setColor(group, QPalette::Mid, QColor(35, 0, 0));
        p.setColor(group, QPalette::Dark, QColor(15, 0, 0));
        p.setColor(group, QPalette::Shadow, black);
        p.setColor(group, QPalette::Highlight, QColor(80, 0, 0));
        p.setColor(group, QPalette::HighlightedText, bright);
        p.setColor(group, QPalette::BrightText, bright);
        p.setColor(group, QPalette::ToolTipBase, panel);
        p.setColor(group, QPalette::ToolTipText, text);
        p.setColor(group, QPalette::Link, bright);
        p.setColor(group, QPalette::LinkVisited, text);
    }
    return p;
}

// Menus and tool tips are drawn by the platform style from its own colours
// in some styles: the sheet pins them.
const char* const night_sheet = "QMenuBar, QMenu, QToolTip, QStatusBar, QToolBar {"
                                " background-color: #180000; color: #aa0000; }"
                                "QMenu::item:selected, QMenuBar::item:selected {"
                                " background-color: #500000; color: #d20000; }"
                                "QMenu::item:disabled { color: #5a0000; }";
// Draws a widget through the night display's colour map: the brightness
// of each pixel on red alone, as the image is shown.
class NightEffect : public QGraphicsEffect {
public:
    using QGraphicsEffect::QGraphicsEffect;

protected:
    void draw(QPainter* painter) override
    {
        QPoint offset;
        QImage picture = sourcePixmap(Qt::DeviceCoordinates, &offset).toImage().convertToFormat(
            QImage::Format_ARGB32);
        for (int y = 0; y < picture.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
            for (int x = 0; x < picture.width(); ++x) {
                const NightRgb n = night_vision_rgb(qRed(row[x]), qGreen(row[x]), qBlue(row[x]));
                row[x] = qRgba(n.red, 0, 0, qAlpha(row[x]));
            }
        }
        const QTransform saved = painter->worldTransform();
        painter->setWorldTransform(QTransform());
        painter->drawImage(offset, picture);
        painter->setWorldTransform(saved);
    }
};

void tint(QWidget* w, bool on)
{
    w->setGraphicsEffect(on ? new NightEffect(w) : nullptr);
}
} // namespace

void apply_night_vision(bool on)
{
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (app == nullptr)
        return;
    if (!day_palette) {
        day_palette = QApplication::palette();
        day_style_sheet = app->styleSheet();
    }
    QApplication::setPalette(on ? night_palette() : *day_palette);
    app->setStyleSheet(on ? QString::fromLatin1(night_sheet) : day_style_sheet);
    // The tool bars' glyphs are pictures in their own colours: tinted red.
    // Custom-drawn windows choose their colours when they paint.
    for (QWidget* w : QApplication::allWidgets()) {
        if (qobject_cast<QToolBar*>(w) != nullptr)
            tint(w, on);
        w->update();
    }
}

void apply_stored_night_vision()
{
    if (night_vision_on())
        apply_night_vision(true);
}

QImage night_vision_display(const QImage& image)
{
    if (!night_vision_on() || image.format() != QImage::Format_Indexed8)
        return image;
    QImage red = image;
    QList<QRgb> table = red.colorTable();
    for (QRgb& c : table) {
        const NightRgb n = night_vision_rgb(qRed(c), qGreen(c), qBlue(c));
        c = qRgb(n.red, n.green, n.blue);
    }
    red.setColorTable(table);
    return red;
}

QColor night_colour(const QColor& day)
{
    if (!night_vision_on())
        return day;
    const NightRgb n = night_vision_rgb(day.red(), day.green(), day.blue());
    return QColor(std::max(n.red, 40), 0, 0, day.alpha());
}
