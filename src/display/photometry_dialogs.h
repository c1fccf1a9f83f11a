// The photometry and blink comparison dialogs: modeless, one of each, held
// by the main window while open.
#pragma once

#include "ui/mode_dialog.h"

#include <QDialog>

class QButtonGroup;
class QLineEdit;
class QPushButton;

// "PHOTOMETRY": what the next click measures, the aperture, the measured
// points and levels, the magnitude difference and the live cursor read-out.
class TPHDialog : public TModeDialog {
    Q_OBJECT

public:
    TPHDialog(QWidget* parent, QWidget* view);
    // Shows the measurements and the buttons matching the state.
    void EvPaint();
    void PHKill();

protected:

private:
    QLineEdit* edit(const char* id);

    QWidget* view_; // the image view whose cursor photometry sets
    QButtonGroup* objects_ = nullptr;
    QButtonGroup* apertures_ = nullptr;

protected:
    void Kill() override { PHKill(); }
};

// "Blink Comparison": each press flips the display between the current image
// and the comparison image.
class TBLDialog : public TModeDialog {
    Q_OBJECT

public:
    explicit TBLDialog(QWidget* parent);
    void Blink_Comparison();
    void BlinkKill();

    int show_comparison = 1; // the next press shows the comparison image

protected:

private:
    QPushButton* flip_ = nullptr;

protected:
    void Kill() override { BlinkKill(); }
};
