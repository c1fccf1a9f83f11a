// The focus figures drawn small: the focus loop's HFD against time (under
// the focus frame of the camera dialog) and autofocus's V-curve.
#pragma once

#include <QWidget>

#include <vector>

#include "camera/autofocus.h"

// The latest focus frame's star size, and its HFD over the loop's frames.
// Reads the focus loop's history when it paints.
class FocusHfdPlot : public QWidget {
public:
    explicit FocusHfdPlot(QWidget* parent = nullptr);
    // The line of text over the plot, for the latest frame.
    static QString latest_text();

protected:
    void paintEvent(QPaintEvent*) override;
};

// HFD against focuser position: the measured points, the fitted hyperbola
// and the best position.
class VCurvePlot : public QWidget {
public:
    explicit VCurvePlot(QWidget* parent = nullptr);
    void set_curve(const std::vector<FocusPoint>& points, const Hyperbola& fit, bool show_best, double best);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    std::vector<FocusPoint> points_;
    Hyperbola fit_;
    bool show_best_ = false;
    double best_ = 0;
};
