// "Autofocus": the V-curve as it grows, what the run is doing, and the
// result. The menu entry opens it and starts a run; "Start" runs again.
// A key or button press in any of the program's windows stops a run, and
// the focuser goes back to where it started.
#pragma once

#include <QDialog>

#include "camera/autofocus.h"

class QLabel;
class QPushButton;
class TQuillonWindow;
class VCurvePlot;

// The menu command that opens it and starts a run.
constexpr int cm_autofocus = 3202;

class TAutofocusWindow : public QDialog, public AutofocusView {
    Q_OBJECT

public:
    explicit TAutofocusWindow(QWidget* parent = nullptr);
    // One run with the program's camera and telescope.
    void start();
    bool running() const { return running_; }

    void progress(const AutofocusResult& sofar, const std::string& status) override;

private:
    VCurvePlot* plot_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* result_ = nullptr;
    QPushButton* start_ = nullptr;
    bool running_ = false;
};

// The menu's handler: opens the window (one at a time) and starts a run.
void open_autofocus(TQuillonWindow& window);
