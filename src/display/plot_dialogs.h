// The histogram, 3-D relief and row profile windows. Each is modeless and
// single, guarded by its global flag, which only its own closing clears.
#pragma once

#include "ui/mode_dialog.h"

#include <QDialog>
#include <QImage>

#include <vector>

class QLineEdit;
class QPushButton;

// "Histogram of Current Image": the display histogram `table` as bars, with
// the clipped levels listed beside it.
class THistDialog : public TModeDialog {
    Q_OBJECT

public:
    explicit THistDialog(QWidget* parent);
    void HistKill();

protected:
    // A repaint of the watched image view rebuilds `table`; the histogram
    // follows it.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

protected:
    void Kill() override { HistKill(); }
};

// "3-D Intensity Plot": the relief of the upper rows of `externptr`, drawn
// once row by row into a 644 x 384 bitmap, then only copied.
class T3DDialog : public TModeDialog {
    Q_OBJECT

public:
    explicit T3DDialog(QWidget* parent);
    void IntKill();
    // Draws the relief row by row, showing each row as it is done.
    void DrawRelief();
    // The relief drawn so far, as shown.
    QImage relief() const;

    int redraw = 1;

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::vector<unsigned char> bitmap_;
    QWidget* canvas_ = nullptr;

protected:
    void Kill() override { IntKill(); }
};

// "INTENSITY PROFILE OF ONE ROW": the samples of row `obj_y` of `externptr`.
class TRowDialog : public TModeDialog {
    Q_OBJECT

public:
    TRowDialog(QWidget* parent, QWidget* view);
    // Shows obj_y and redraws the profile.
    void IntDraw();
    void RowKill();

protected:

private:
    QWidget* view_; // the image view whose cursor the row plot sets
    QLineEdit* row_ = nullptr;
    QWidget* canvas_ = nullptr;

protected:
    void Kill() override { RowKill(); }
};
