// The guiding graph: per guide frame the star's RA/x and Dec/y error from
// its reference as lines, the corrections sent as bars and the star's
// brightness, over the last 50, 100, 200 or 400 frames, in pixels or
// arcseconds; under it the RMS of each axis and in all, the peak error and
// the frame count, since the run started and over the frames shown.
//
// It watches guiding as a GuideObserver, so it never slows the loop: a
// frame is one model update and one repaint when the loop next pumps. While
// a loop runs every press is a stop request, so the span and unit choices
// act when nothing runs; the mouse wheel over the graph, which stops
// nothing, changes the span at any time.
#pragma once

#include <QWidget>

#include <functional>

#include "telescope/guide_stats.h"

class QComboBox;
class QLabel;

// The plot alone (also what the benchmark draws).
class GuideGraphView : public QWidget {
public:
    explicit GuideGraphView(const GuideGraphModel& model, QWidget* parent = nullptr);
    void set_span(int frames);
    int span() const { return span_; }
    void set_arcsec(bool on);
    bool arcsec() const { return arcsec_; }
    QSize sizeHint() const override { return { 560, 240 }; }
    // The span after a wheel step: one choice up (back) or down (forward).
    static int next_span(int span, int steps);
    // A wheel step changes the span and says so.
    std::function<void(int)> on_span_changed;

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    const GuideGraphModel& model_;
    int span_ = 100;
    bool arcsec_ = false;
};

class GuideGraphWindow : public QWidget, public GuideObserver {
public:
    explicit GuideGraphWindow(QWidget* parent = nullptr);
    ~GuideGraphWindow() override;

    void guide_run_started(const GuideRunInfo& info) override;
    void guide_frame(const GuideRecord& record) override;
    void guide_event(const GuideEvent& event) override;
    void guide_run_ended() override;

    const GuideGraphModel& model() const { return model_; }
    GuideGraphView& view() { return *view_; }
    // The figures under the graph as shown.
    QString figures_text() const;

private:
    void choose_span(int frames);
    void choose_units(bool arcsec);
    void update_figures();

    GuideGraphModel model_;
    GuideGraphView* view_;
    QComboBox* span_box_;
    QComboBox* units_box_;
    QLabel* figures_;
    QLabel* state_;
};

// The program's graph window: made on first use, a child of `frame` (the
// main frame, so it closes with it), watching every guiding run from then
// on. The menu command shows it; a run shows it unless the text setting
// `guide_graph_auto_open` is 0.
void install_guide_graph(QWidget* frame);
GuideGraphWindow* guide_graph();
void show_guide_graph();
