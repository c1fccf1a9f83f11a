#include "telescope/guide_graph_window.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include "display/night_vision_ui.h"
#include "telescope/guide_options.h"
#include "store/text_settings.h"

namespace {
const QColor ra_colour(90, 150, 255);
const QColor dec_colour(235, 80, 80);
const QColor star_colour(210, 190, 70);

// The smallest of the ladder's ranges that holds `v` with a little room.
double nice_range(double v)
{
    for (double r : { 0.25, 0.5, 1.0, 2.0, 4.0, 8.0, 16.0, 32.0, 64.0 })
        if (v * 1.1 <= r)
            return r;
    return 128.0;
}

QString figure(double v)
{
    return QString::number(v, 'f', 2);
}

int stored_span()
{
    const int s = text_setting_int("guide_graph_span", 100);
    for (int choice : GuideGraphModel::spans)
        if (choice == s)
            return s;
    return 100;
}
} // namespace

GuideGraphView::GuideGraphView(const GuideGraphModel& model, QWidget* parent)
    : QWidget(parent)
    , model_(model)
{
    setObjectName(QStringLiteral("guide_graph"));
    setMinimumSize(320, 160);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void GuideGraphView::set_span(int frames)
{
    span_ = frames;
    update();
}

void GuideGraphView::set_arcsec(bool on)
{
    arcsec_ = on;
    update();
}

int GuideGraphView::next_span(int span, int steps)
{
    const auto* begin = std::begin(GuideGraphModel::spans);
    const auto* end = std::end(GuideGraphModel::spans);
    const auto at = std::find(begin, end, span);
    const int index = at == end ? 1 : static_cast<int>(at - begin);
    return GuideGraphModel::spans[std::clamp(index + steps, 0, static_cast<int>(end - begin) - 1)];
}

void GuideGraphView::wheelEvent(QWheelEvent* event)
{
    const int delta = event->angleDelta().y();
    if (delta == 0) {
        event->ignore();
        return;
    }
    // Back (away from the user) zooms in to fewer frames.
    const int span = next_span(span_, delta > 0 ? -1 : 1);
    event->accept();
    if (span == span_)
        return;
    set_span(span);
    if (on_span_changed)
        on_span_changed(span);
}

namespace {
// Where the shown frames go on the widget: the plot area, the vertical scale
// and one slot a frame, the newest at the right edge.
struct GraphPlace {
    const GuideGraphModel& model;
    QRect plot;
    int span = 0;
    int first = 0; // the oldest frame shown
    bool in_arcsec = false;
    double kx = 1, ky = 1; // pixels to the unit shown
    // The largest measured error, correction and brightness shown.
    double largest = 0, largest_ms = 1, brightest = 1;
    double range = 0; // the error at the top and bottom of the plot
    double mid = 0, half = 0, slot = 0;

    double y_of(double v) const { return mid - std::clamp(v / range, -1.0, 1.0) * half; }
    // Older frames scroll off the left.
    double x_of(int i) const { return plot.left() + (span - (model.size() - i)) * slot + slot / 2; }
};

GraphPlace place_frames(const GuideGraphModel& model, int span, bool arcsec, const QRect& area)
{
    GraphPlace g { model, area.adjusted(44, 20, -8, -14) };
    g.span = span;
    const int n = std::min(span, model.size());
    g.first = model.size() - n;
    g.in_arcsec = arcsec && model.scale().known();
    g.kx = g.in_arcsec ? model.scale().x : 1;
    g.ky = g.in_arcsec ? model.scale().y : 1;
    for (int i = g.first; i < model.size(); ++i) {
        const GuideRecord& r = model.record(i);
        if (r.measured())
            g.largest = std::max({ g.largest, std::abs(r.dx * g.kx), std::abs(r.dy * g.ky) });
        g.largest_ms = std::max({ g.largest_ms, std::abs(static_cast<double>(r.ra_ms)),
            std::abs(static_cast<double>(r.dec_ms)) });
        g.brightest = std::max(g.brightest, static_cast<double>(r.brightness));
    }
    g.range = nice_range(g.largest);
    g.mid = g.plot.center().y() + 0.5;
    g.half = g.plot.height() / 2.0;
    g.slot = static_cast<double>(g.plot.width()) / span;
    return g;
}

// The colours of one repaint, by day or in night vision.
struct GraphColours {
    QColor grid, label;
    // The two axes differ in brightness in night vision, the star's line is dimmest.
    QColor ra_line, dec_line, star_line;
};

GraphColours graph_colours(bool night)
{
    return { night_colour(QColor(70, 70, 90)), night_colour(QColor(170, 170, 190)),
        night ? QColor(200, 0, 0) : ra_colour, night ? QColor(110, 0, 0) : dec_colour,
        night_colour(star_colour).darker(night ? 160 : 100) };
}

// Grid, with the scale at the left.
void draw_grid(QPainter& p, const GraphPlace& g, const GraphColours& c)
{
    p.setPen(c.grid);
    for (double f : { -1.0, -0.5, 0.0, 0.5, 1.0 }) {
        const int y = static_cast<int>(g.y_of(f * g.range));
        p.drawLine(g.plot.left(), y, g.plot.right(), y);
        p.setPen(c.label);
        p.drawText(QRect(0, y - 8, 40, 16), Qt::AlignRight | Qt::AlignVCenter,
            QString::number(f * g.range, 'g', 3) + (g.in_arcsec ? QStringLiteral("\"") : QString()));
        p.setPen(c.grid);
    }
}

// Frames where a cloud hid the star are shaded.
void shade_paused(QPainter& p, const GraphPlace& g)
{
    for (int i = g.first; i < g.model.size(); ++i)
        if (g.model.record(i).paused)
            p.fillRect(QRectF(g.x_of(i) - g.slot / 2, g.plot.top(), g.slot, g.plot.height()),
                night_colour(QColor(45, 45, 60)));
}

// Corrections as bars from the middle line, RA left of Dec in each slot.
void draw_corrections(QPainter& p, const GraphPlace& g)
{
    const double bar = std::max(1.0, g.slot / 2);
    const double bar_scale = g.half * 0.45 / g.largest_ms;
    QColor ra_bar = night_colour(ra_colour), dec_bar = night_colour(dec_colour);
    ra_bar.setAlpha(150);
    dec_bar.setAlpha(150);
    for (int i = g.first; i < g.model.size(); ++i) {
        const GuideRecord& r = g.model.record(i);
        const double x = g.x_of(i) - g.slot / 2;
        if (r.ra_ms != 0)
            p.fillRect(QRectF(x, g.mid, bar, -r.ra_ms * bar_scale).normalized(), ra_bar);
        if (r.dec_ms != 0)
            p.fillRect(QRectF(x + g.slot / 2, g.mid, bar, -r.dec_ms * bar_scale).normalized(), dec_bar);
    }
}

// One value a frame joined by lines; with `measured_only` a frame without a
// measurement breaks the line.
template <typename Value>
void draw_trace(QPainter& p, const GraphPlace& g, const QColor& colour, Value value, bool measured_only)
{
    // A one-pixel cosmetic pen: wider or dashed lines go through the stroker
    // and cost several times as much.
    QPen pen(colour, 0);
    pen.setCosmetic(true);
    p.setPen(pen);
    QPolygonF line;
    auto flush = [&] {
        if (line.size() > 1)
            p.drawPolyline(line);
        line.clear();
    };
    for (int i = g.first; i < g.model.size(); ++i) {
        const GuideRecord& r = g.model.record(i);
        if (measured_only && !r.measured()) {
            flush();
            continue;
        }
        line << QPointF(g.x_of(i), value(r));
    }
    flush();
}

// The star's brightness over the whole height, then the two errors.
void draw_traces(QPainter& p, const GraphPlace& g, const GraphColours& c)
{
    draw_trace(
        p, g, c.star_line,
        [&](const GuideRecord& r) { return g.plot.bottom() - r.brightness / g.brightest * g.plot.height(); },
        false);
    draw_trace(
        p, g, c.ra_line, [&](const GuideRecord& r) { return g.y_of(r.dx * g.kx); }, true);
    draw_trace(
        p, g, c.dec_line, [&](const GuideRecord& r) { return g.y_of(r.dy * g.ky); }, true);
}

void draw_legend(QPainter& p, const GraphPlace& g, const GraphColours& c)
{
    int x = g.plot.left();
    auto key = [&](const QColor& colour, const QString& text) {
        p.fillRect(QRect(x, 6, 14, 3), colour);
        p.setPen(c.label);
        p.drawText(QPoint(x + 18, 12), text);
        x += 22 + p.fontMetrics().horizontalAdvance(text) + 12;
    };
    key(c.ra_line, QStringLiteral("RA/x"));
    key(c.dec_line, QStringLiteral("Dec/y"));
    key(c.star_line, QStringLiteral("Star"));
    p.setPen(c.label);
    p.drawText(QRect(g.plot.left(), 0, g.plot.width(), 18), Qt::AlignRight | Qt::AlignVCenter,
        QStringLiteral("bars: corrections (up to %1 ms) - last %2 frames")
            .arg(static_cast<int>(g.largest_ms))
            .arg(g.span));
}
} // namespace

void GuideGraphView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const bool night = night_colour(Qt::white) != QColor(Qt::white);
    p.fillRect(rect(), night ? QColor(0, 0, 0) : QColor(18, 18, 26));
    const GraphPlace g = place_frames(model_, span_, arcsec_, rect());
    const GraphColours colours = graph_colours(night);
    draw_grid(p, g, colours);
    shade_paused(p, g);
    draw_corrections(p, g);
    draw_traces(p, g, colours);
    draw_legend(p, g, colours);
}

GuideGraphWindow::GuideGraphWindow(QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("guide_graph_window"));
    setWindowTitle(QStringLiteral("Guiding Graph"));
    auto* layout = new QVBoxLayout(this);
    auto* controls = new QHBoxLayout;
    span_box_ = new QComboBox(this);
    span_box_->setObjectName(QStringLiteral("guide_span"));
    for (int s : GuideGraphModel::spans)
        span_box_->addItem(QStringLiteral("Last %1 frames").arg(s), s);
    units_box_ = new QComboBox(this);
    units_box_->setObjectName(QStringLiteral("guide_units"));
    units_box_->addItem(QStringLiteral("Pixels"));
    units_box_->addItem(QStringLiteral("Arcseconds"));
    state_ = new QLabel(this);
    state_->setObjectName(QStringLiteral("guide_state"));
    controls->addWidget(span_box_);
    controls->addWidget(units_box_);
    controls->addWidget(state_, 1);
    layout->addLayout(controls);
    view_ = new GuideGraphView(model_, this);
    layout->addWidget(view_, 1);
    figures_ = new QLabel(this);
    figures_->setObjectName(QStringLiteral("guide_figures"));
    figures_->setTextFormat(Qt::PlainText);
    QFont mono = figures_->font();
    mono.setStyleHint(QFont::Monospace);
    mono.setFamily(QStringLiteral("monospace"));
    figures_->setFont(mono);
    layout->addWidget(figures_);

    const int span = stored_span();
    view_->set_span(span);
    span_box_->setCurrentIndex(span_box_->findData(span));
    const bool arcsec = text_setting_bool("guide_graph_arcsec", false);
    view_->set_arcsec(arcsec);
    units_box_->setCurrentIndex(arcsec ? 1 : 0);
    connect(span_box_, &QComboBox::activated, this, [this] { choose_span(span_box_->currentData().toInt()); });
    connect(units_box_, &QComboBox::activated, this, [this] { choose_units(units_box_->currentIndex() == 1); });
    view_->on_span_changed = [this](int s) {
        span_box_->setCurrentIndex(span_box_->findData(s));
        set_text_setting("guide_graph_span", static_cast<double>(s));
        update_figures();
    };
    model_.set_scale(guide_frame_scale());
    update_figures();
    resize(600, 380);
}

GuideGraphWindow::~GuideGraphWindow()
{
    remove_guide_observer(this);
}

void GuideGraphWindow::choose_span(int frames)
{
    view_->set_span(frames);
    set_text_setting("guide_graph_span", static_cast<double>(frames));
    save_text_settings();
    update_figures();
}

void GuideGraphWindow::choose_units(bool arcsec)
{
    view_->set_arcsec(arcsec);
    set_text_setting_bool("guide_graph_arcsec", arcsec);
    save_text_settings();
    update_figures();
}

QString GuideGraphWindow::figures_text() const
{
    const bool arcsec = view_->arcsec() && model_.scale().known();
    const QString unit = arcsec ? QStringLiteral("\"") : QStringLiteral(" px");
    auto row = [&](const QString& title, const GuideFigures& f, int frames) {
        return QStringLiteral("%1 RMS RA/x %2%7  Dec/y %3%7  total %4%7  peak %5%7  frames %6")
            .arg(title, figure(f.rms_x), figure(f.rms_y), figure(f.rms), figure(f.peak))
            .arg(frames)
            .arg(unit);
    };
    const int shown = std::min(view_->span(), model_.size());
    QString text = row(QStringLiteral("Since start:   "), model_.since_start(arcsec), model_.total_frames());
    text += '\n' + row(QStringLiteral("Shown (%1): ").arg(view_->span(), 3), model_.over_last(view_->span(), arcsec),
                       shown);
    if (view_->arcsec() && !model_.scale().known())
        text += QStringLiteral("\nArcseconds need the focal length: figures in pixels.");
    return text;
}

void GuideGraphWindow::update_figures()
{
    figures_->setText(figures_text());
}

void GuideGraphWindow::guide_run_started(const GuideRunInfo& info)
{
    model_.clear();
    model_.set_scale(info.scale);
    state_->setText(info.kind == GuideRunKind::guiding ? QStringLiteral("Guiding") : QStringLiteral("Self-guiding"));
    update_figures();
    view_->update();
    if (guide_graph_opens_itself() && !isVisible()) {
        show();
        raise();
    }
}

void GuideGraphWindow::guide_frame(const GuideRecord& record)
{
    model_.add(record);
    if (record.brightness > 0)
        state_->setText(QStringLiteral("%1  star %2").arg(record.paused ? QStringLiteral("Paused: star faded")
                                                                          : QStringLiteral("Guiding"))
                            .arg(record.brightness));
    update_figures();
    view_->update();
}

void GuideGraphWindow::guide_event(const GuideEvent& event)
{
    switch (event.kind) {
    case GuideEventKind::dither:
        state_->setText(QStringLiteral("Dither to %1, %2 px").arg(figure(event.x), figure(event.y)));
        break;
    case GuideEventKind::settled:
        state_->setText(QStringLiteral("Settled"));
        break;
    case GuideEventKind::settle_timeout:
        state_->setText(QStringLiteral("Not settled in time"));
        break;
    case GuideEventKind::cloud_pause:
        state_->setText(QStringLiteral("Paused: star faded"));
        break;
    case GuideEventKind::cloud_resume:
        state_->setText(QStringLiteral("Star back: guiding"));
        break;
    case GuideEventKind::cloud_gave_up:
        state_->setText(QStringLiteral("Star lost"));
        break;
    case GuideEventKind::exposure_start:
        state_->setText(QStringLiteral("Exposing %1").arg(QString::fromStdString(event.file)));
        break;
    case GuideEventKind::exposure_end:
        state_->setText(QStringLiteral("Saved %1").arg(QString::fromStdString(event.file)));
        break;
    }
}

void GuideGraphWindow::guide_run_ended()
{
    state_->setText(QStringLiteral("Stopped"));
}

namespace {
QPointer<GuideGraphWindow> the_graph;
QPointer<QWidget> the_frame;
} // namespace

void install_guide_graph(QWidget* frame)
{
    the_frame = frame;
    if (!the_graph) {
        the_graph = new GuideGraphWindow(frame);
        add_guide_observer(the_graph.data());
    }
}

GuideGraphWindow* guide_graph()
{
    return the_graph.data();
}

void show_guide_graph()
{
    if (!the_graph)
        install_guide_graph(the_frame);
    the_graph->show();
    the_graph->raise();
    the_graph->activateWindow();
}
