// The progress window and the guiding information window. Both are modeless
// and driven entirely by their owner: it sets the globals and calls the
// update; they never change program state themselves.
#pragma once

#include <QDialog>
#include <QPixmap>

class QLabel;
class QLineEdit;
class QScrollBar;

// "Filter Progress": bar 101 from 0 to 256 between "0%" and "100%".
class TProgressDialog : public QDialog {
    Q_OBJECT

public:
    explicit TProgressDialog(QWidget* parent = nullptr);

    // Bar position = progress; a pending caption (changecaption) is shown
    // and taken.
    void ProgressUpdate();
    QScrollBar* bar() const { return bar_; }

private:
    // Range 0..256, position 0, title progress_caption.
    void EvInitDialog();

    QScrollBar* bar_ = nullptr;
};

// "Guiding Info": the guide star position (x, y), its offsets (dx, dy) and
// the last guide frame with a red cross on the star.
class TInfoDialog : public QDialog {
    Q_OBJECT

public:
    explicit TInfoDialog(QWidget* parent = nullptr);

    // Title = info_caption.
    void InfoCaption();
    // Edits 101..104 from xcent/xcentdec, ycent/ycentdec, x3, y3; repaint.
    void InfoUpdate();

    // Where the guide frame is drawn, in window pixels.
    static constexpr int picture_x = 75;
    static constexpr int picture_y = 66;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap guide_bitmap_; // the last guide frame read from quillonf.bmp
    // While training: the caption's progress (move, direction, length) in
    // the window itself, where no title bar can hide it.
    QLabel* progress_ = nullptr;
};

// The one guiding information window, or none.
extern TInfoDialog* TIN;
