#include "camera/focus_plots_ui.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

#include "camera/focus_loop.h"
#include "display/image_scale.h"

namespace {
constexpr int text_line = 16;

// Maps values to a rectangle of the widget.
struct Axes {
    QRectF area;
    double x0, x1, y0, y1;
    QPointF at(double x, double y) const
    {
        const double fx = x1 > x0 ? (x - x0) / (x1 - x0) : 0.5;
        const double fy = y1 > y0 ? (y - y0) / (y1 - y0) : 0.5;
        return { area.left() + fx * area.width(), area.bottom() - fy * area.height() };
    }
};

void frame_axes(QPainter& p, const Axes& a)
{
    p.setPen(QPen(Qt::darkGray, 1));
    p.drawRect(a.area);
}
} // namespace

FocusHfdPlot::FocusHfdPlot(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("focus_hfd"));
    setFixedSize(128, 84);
}

QString FocusHfdPlot::latest_text()
{
    const auto& history = focus_history();
    if (history.empty())
        return QStringLiteral("HFD -");
    const StarMeasure& m = history.back().star;
    if (m.result == StarResult::saturated)
        return QStringLiteral("HFD - star saturated");
    if (!m.ok())
        return QStringLiteral("HFD - no star");
    // The focus frame's columns are full-resolution pixels.
    return QString::fromStdString(star_size_text("HFD", m.hfd, image_scale_for(focal_length_mm(), false).x));
}

void FocusHfdPlot::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    p.setPen(palette().windowText().color());
    p.drawText(QRect(0, 0, width(), text_line), Qt::AlignCenter, latest_text());
    const auto& history = focus_history();
    Axes a { QRectF(2.5, text_line + 2.5, width() - 5, height() - text_line - 5), 0, 1, 0, 1 };
    frame_axes(p, a);
    // The last hundred frames, on a scale from 0 to a little over the largest.
    const std::size_t first = history.size() > 100 ? history.size() - 100 : 0;
    double top = 0;
    for (std::size_t i = first; i < history.size(); ++i)
        if (history[i].star.ok())
            top = std::max(top, history[i].star.hfd);
    if (top <= 0)
        return;
    a.x0 = history[first].seconds;
    a.x1 = std::max(history.back().seconds, a.x0 + 1);
    a.y1 = top * 1.15;
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath line;
    bool started = false;
    for (std::size_t i = first; i < history.size(); ++i) {
        if (!history[i].star.ok())
            continue;
        const QPointF pt = a.at(history[i].seconds, history[i].star.hfd);
        if (started)
            line.lineTo(pt);
        else
            line.moveTo(pt);
        started = true;
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 120, 220));
        p.drawEllipse(pt, 1.6, 1.6);
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(40, 120, 220), 1));
    p.drawPath(line);
}

VCurvePlot::VCurvePlot(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("vcurve"));
    setMinimumSize(360, 240);
}

void VCurvePlot::set_curve(const std::vector<FocusPoint>& points, const Hyperbola& fit, bool show_best, double best)
{
    points_ = points;
    fit_ = fit;
    show_best_ = show_best;
    best_ = best;
    update();
}

void VCurvePlot::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().base());
    Axes a { QRectF(44.5, 8.5, width() - 54, height() - 34), 0, 1, 0, 1 };
    frame_axes(p, a);
    p.setPen(palette().text().color());
    p.drawText(QRectF(a.area.left(), a.area.bottom() + 4, a.area.width(), 20), Qt::AlignCenter,
        QStringLiteral("focuser position (ms from the start)"));
    if (points_.empty()) {
        p.drawText(a.area, Qt::AlignCenter, QStringLiteral("No frames yet"));
        return;
    }
    a.x0 = a.x1 = points_.front().position;
    double top = 0;
    for (const FocusPoint& f : points_) {
        a.x0 = std::min(a.x0, f.position);
        a.x1 = std::max(a.x1, f.position);
        top = std::max(top, f.hfd);
    }
    const double pad = std::max((a.x1 - a.x0) * 0.05, 10.0);
    a.x0 -= pad;
    a.x1 += pad;
    a.y1 = top * 1.1;
    // The HFD scale, in pixels.
    for (int k = 0; k <= 4; ++k) {
        const double v = a.y1 * k / 4;
        const QPointF at = a.at(a.x0, v);
        p.drawText(QRectF(0, at.y() - 8, 40, 16), Qt::AlignRight | Qt::AlignVCenter, QString::number(v, 'f', 1));
    }
    // The positions at the ends of the axis.
    const QRectF under(a.area.left(), a.area.bottom() + 4, a.area.width(), 20);
    p.drawText(under, Qt::AlignLeft, QString::number(a.x0, 'f', 0));
    p.drawText(under, Qt::AlignRight, QString::number(a.x1, 'f', 0));
    p.setRenderHint(QPainter::Antialiasing);
    if (fit_.ok) {
        QPainterPath curve;
        for (int i = 0; i <= 200; ++i) {
            const double x = a.x0 + (a.x1 - a.x0) * i / 200;
            const double y = std::min(fit_.at(x), a.y1);
            if (i == 0)
                curve.moveTo(a.at(x, y));
            else
                curve.lineTo(a.at(x, y));
        }
        p.setPen(QPen(QColor(220, 120, 40), 1.5));
        p.drawPath(curve);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 120, 220));
    for (const FocusPoint& f : points_)
        p.drawEllipse(a.at(f.position, f.hfd), 3.0, 3.0);
    if (show_best_) {
        p.setPen(QPen(QColor(40, 160, 60), 1, Qt::DashLine));
        p.drawLine(a.at(best_, 0), a.at(best_, a.y1));
    }
}
