// The guiding options: dithering between self-guided frames (on or off, the
// step in pixels, the settle threshold, time and frames), how long to wait
// for a star behind a cloud, and whether guiding opens the graph. Kept in
// the text settings file.
#pragma once

#include <QDialog>

class QCheckBox;
class QDoubleSpinBox;
class QSpinBox;

class TGuideOptionsDialog : public QDialog {
public:
    explicit TGuideOptionsDialog(QWidget* parent = nullptr);
    // Stores the controls' values and writes the text settings file.
    void accept() override;

private:
    QCheckBox* dither_;
    QDoubleSpinBox* size_;
    QDoubleSpinBox* settle_px_;
    QSpinBox* settle_s_;
    QSpinBox* settle_frames_;
    QSpinBox* cloud_wait_;
    QCheckBox* graph_opens_;
};
