#include "app/control_bar.h"

#include <QAction>
#include <QMainWindow>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QToolBar>
#include <QWidget>

#include <iterator>

#include "app/command_table.h"
#include "app/quillon_window.h"
#include "app/state.h"
#include "app/quillon_window.h"

namespace {
const ControlBarGadget gadgets[] = {
    { 24333, 0, "Save" },
    { 24335, 0, "Save as FITS" },
    { 24332, 0, "Open" },
    { 0, 8, nullptr },
    { 12, 0, "Camera control" },
    { 0, 6, nullptr },
    { 1901, 0, "Max palette stretch on all images" },
    { 1902, 0, "Max palette stretch on focus images only" },
    { 0, 8, nullptr },
    { 121, 0, "Program defaults" },
    { 0, 6, nullptr },
    { 14, 0, "Photometry" },
    { 0, 6, nullptr },
    { 1, 0, "Normal stretch" },
    { 117, 0, "Non-linear stretch" },
    { 2, 0, "Power-law stretch" },
    { 120, 0, "Remove background" },
    { 106, 0, "Unsharp mask" },
    { 3, 0, "Median filter" },
    { 0, 6, nullptr },
    { 110, 0, "Subtract dark frame" },
    { 115, 0, "Apply flat field" },
    { 111, 0, "Merge" },
};

// An etched vertical line of a fixed width between groups of buttons.
class Separator : public QWidget {
public:
    Separator(int width, QWidget* parent)
        : QWidget(parent)
    {
        setFixedWidth(width);
        setObjectName(QStringLiteral("separator"));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        const int x = width() / 2 - 1;
        p.setPen(palette().color(QPalette::Mid));
        p.drawLine(x, 3, x, height() - 4);
        p.setPen(palette().color(QPalette::Light));
        p.drawLine(x + 1, 3, x + 1, height() - 4);
    }
};

// Glyphs are drawn on a 20 x 20 grid in a few flat colours, like the
// 16-colour button bitmaps of the bar.
constexpr int glyph_size = 20;
const QColor ink(0, 0, 0);
const QColor navy(0, 0, 128);
const QColor teal(0, 128, 128);
const QColor red(192, 0, 0);
const QColor yellow(255, 255, 0);
const QColor grey(128, 128, 128);
const QColor silver(192, 192, 192);
const QColor white(255, 255, 255);

void floppy(QPainter& p, const QColor& body)
{
    p.setPen(ink);
    p.setBrush(body);
    p.drawRect(2, 2, 15, 15);
    p.setBrush(white);
    p.drawRect(5, 2, 9, 6);
    p.setBrush(silver);
    p.drawRect(5, 11, 9, 6);
    p.fillRect(11, 3, 2, 4, ink);
}

// A small ramp box: the grey scale shown by the palette-stretch buttons.
void ramp(QPainter& p, int x, int y, int w, int h)
{
    QLinearGradient g(x, 0, x + w, 0);
    g.setColorAt(0, ink);
    g.setColorAt(1, white);
    p.setPen(ink);
    p.setBrush(g);
    p.drawRect(x, y, w, h);
}

// A curve through the lower-left and upper-right corners of a plot box.
void curve_box(QPainter& p, const QPainterPath& curve)
{
    p.setPen(grey);
    p.setBrush(white);
    p.drawRect(2, 2, 15, 15);
    p.setPen(QPen(navy, 2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(curve);
}

void draw_glyph(QPainter& p, int number)
{
    p.setRenderHint(QPainter::Antialiasing, false);
    switch (number) {
    case 24333: // save
        floppy(p, navy);
        break;
    case 24335: // save as FITS: the disk with an F
        floppy(p, teal);
        p.setPen(QPen(red, 2));
        p.drawLine(7, 12, 7, 17);
        p.drawLine(7, 12, 12, 12);
        p.drawLine(7, 14, 11, 14);
        break;
    case 24332: { // open: a folder
        p.setPen(ink);
        p.setBrush(QColor(255, 255, 128));
        p.drawRect(1, 5, 13, 11);
        p.setBrush(QColor(192, 192, 0));
        p.drawPolygon(QPolygon({ QPoint(1, 16), QPoint(5, 9), QPoint(18, 9), QPoint(14, 16) }));
        p.setPen(ink);
        p.drawLine(12, 3, 16, 1);
        p.drawLine(16, 1, 18, 5);
        break;
    }
    case 12: // camera: a body with a lens
        p.setPen(ink);
        p.setBrush(grey);
        p.drawRect(1, 6, 17, 11);
        p.drawRect(5, 3, 6, 3);
        p.setBrush(ink);
        p.drawEllipse(6, 8, 7, 7);
        p.setBrush(teal);
        p.drawEllipse(8, 10, 3, 3);
        p.fillRect(15, 8, 2, 2, red);
        break;
    case 1901: // max stretch on all images: three ramps
        ramp(p, 2, 2, 15, 4);
        ramp(p, 2, 8, 15, 4);
        ramp(p, 2, 14, 15, 4);
        break;
    case 1902: // max stretch on focus images only: one ramp and a target
        ramp(p, 2, 2, 15, 4);
        p.setPen(QPen(red, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(5, 8, 9, 9);
        p.drawLine(9, 7, 9, 18);
        p.drawLine(4, 12, 15, 12);
        break;
    case 121: // program defaults: a form with ticks
        p.setPen(ink);
        p.setBrush(white);
        p.drawRect(3, 1, 13, 17);
        for (int y = 4; y <= 14; y += 5) {
            p.fillRect(5, y, 3, 3, navy);
            p.drawLine(9, y + 1, 14, y + 1);
        }
        break;
    case 14: { // photometry: a star inside the measuring circle
        p.fillRect(0, 0, glyph_size, glyph_size, ink);
        p.setPen(yellow);
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(2, 2, 15, 15);
        p.setBrush(white);
        p.setPen(white);
        p.drawEllipse(8, 8, 3, 3);
        p.drawLine(9, 5, 9, 14);
        p.drawLine(5, 9, 14, 9);
        break;
    }
    case 1: { // normal stretch: a straight line
        QPainterPath c(QPointF(3, 16));
        c.lineTo(16, 3);
        curve_box(p, c);
        break;
    }
    case 117: { // non-linear stretch: a steep rise that flattens
        QPainterPath c(QPointF(3, 16));
        c.cubicTo(4, 5, 8, 3, 16, 3);
        curve_box(p, c);
        break;
    }
    case 2: { // power law: a slow start that rises
        QPainterPath c(QPointF(3, 16));
        c.cubicTo(10, 16, 14, 12, 16, 3);
        curve_box(p, c);
        break;
    }
    case 120: // remove background: a grey field turned black below a star
        p.fillRect(1, 1, 18, 18, grey);
        p.fillRect(1, 10, 18, 9, ink);
        p.setPen(white);
        p.setBrush(white);
        p.drawEllipse(4, 4, 3, 3);
        p.drawEllipse(12, 13, 3, 3);
        break;
    case 106: // unsharp mask: a blurred and a sharp edge
        for (int x = 0; x < 9; ++x)
            p.fillRect(1 + x, 3, 1, 14, QColor(255 - 28 * x, 255 - 28 * x, 255 - 28 * x));
        p.fillRect(10, 3, 4, 14, white);
        p.fillRect(14, 3, 5, 14, ink);
        p.setPen(grey);
        p.setBrush(Qt::NoBrush);
        p.drawRect(1, 3, 17, 13);
        break;
    case 3: // median: a 3 x 3 block with the noisy middle mended
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 3; ++x) {
                const bool middle = x == 1 && y == 1;
                p.setPen(ink);
                p.setBrush(middle ? teal : silver);
                p.drawRect(2 + 5 * x, 2 + 5 * y, 5, 5);
            }
        p.fillRect(17, 0, 2, 2, red);
        break;
    case 110: // subtract dark frame: a dark square and a minus
        p.setPen(ink);
        p.setBrush(QColor(64, 64, 64));
        p.drawRect(1, 1, 11, 11);
        p.fillRect(9, 14, 9, 3, red);
        break;
    case 115: // flat field: an even square with a vignetted corner
        p.setPen(ink);
        p.setBrush(silver);
        p.drawRect(2, 2, 15, 15);
        p.setBrush(white);
        p.setPen(Qt::NoPen);
        p.drawEllipse(4, 4, 11, 11);
        p.setPen(QPen(navy, 2));
        p.drawLine(5, 15, 14, 15);
        break;
    case 111: // merge: two overlapping frames
        p.setPen(ink);
        p.setBrush(silver);
        p.drawRect(1, 1, 11, 11);
        p.setBrush(QColor(128, 128, 255, 200));
        p.drawRect(7, 7, 11, 11);
        break;
    case 24: { // telescope: a tube on a tripod
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(ink, 1));
        p.setBrush(white);
        QPolygonF tube({ QPointF(2, 11), QPointF(15, 2), QPointF(18, 6), QPointF(5, 14) });
        p.drawPolygon(tube);
        p.setPen(QPen(ink, 2));
        p.drawLine(10, 10, 5, 19);
        p.drawLine(10, 10, 10, 19);
        p.drawLine(10, 10, 15, 19);
        break;
    }
    default:
        break;
    }
}

QAction* button(QToolBar& bar, int number, const char* tip, TQuillonWindow& window)
{
    auto* action = new QAction(command_glyph(number), QString::fromLatin1(tip), &bar);
    action->setObjectName(QString::number(number));
    action->setToolTip(QString::fromLatin1(tip));
    action->setStatusTip(command_hint(number));
    QObject::connect(action, &QAction::triggered, &window, [&window, number] { window.dispatch(number); });
    return action;
}
} // namespace

const ControlBarGadget* control_bar_gadgets(int& count)
{
    count = static_cast<int>(std::size(gadgets));
    return gadgets;
}

QIcon command_glyph(int number)
{
    QIcon icon;
    for (int scale : { 1, 2 }) {
        QPixmap pixmap(glyph_size * scale, glyph_size * scale);
        pixmap.setDevicePixelRatio(scale);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        draw_glyph(p, number);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QToolBar* build_control_bar(QMainWindow& frame, TQuillonWindow& window)
{
    auto* bar = new QToolBar(&frame);
    bar->setObjectName(QStringLiteral("cb"));
    bar->setWindowTitle(QStringLiteral("Control bar"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(glyph_size, glyph_size));
    bar->setContextMenuPolicy(Qt::PreventContextMenu);
    for (const ControlBarGadget& g : gadgets) {
        if (g.number == 0) {
            QAction* sep = bar->addWidget(new Separator(g.width, bar));
            sep->setObjectName(QStringLiteral("separator"));
        } else {
            bar->addAction(button(*bar, g.number, g.tip, window));
        }
    }
    frame.addToolBar(Qt::TopToolBarArea, bar);
    return bar;
}

QAction* make_telescope_button(QToolBar& bar, TQuillonWindow& window)
{
    return button(bar, 24, "Telescope control", window);
}

// The defaults dialog may switch the telescope interface on or off: the
// telescope button joins the end of the bar or leaves it to match.
void TQuillonWindow::telescope_button_changed()
{
    auto* bar = window()->findChild<QToolBar*>(QStringLiteral("cb"));
    if (bar == nullptr)
        return;
    auto* telescope_button = bar->findChild<QAction*>(QStringLiteral("24"), Qt::FindDirectChildrenOnly);
    if (telescope_button == nullptr)
        return;
    const bool shown = bar->actions().contains(telescope_button);
    if (telescope != 'n' && !shown)
        bar->addAction(telescope_button);
    else if (telescope == 'n' && shown)
        bar->removeAction(telescope_button);
}
