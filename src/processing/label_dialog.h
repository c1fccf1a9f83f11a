// The label dialog: the label text and the Auto Date / Use FITs Date choice.
#pragma once

#include <QDialog>

class TLabelDialog : public QDialog {
    Q_OBJECT

public:
    explicit TLabelDialog(QWidget* parent = nullptr);

    // Sets the check boxes from auto_date and auto_FITS_date.
    void EvPaint();

private:
    void AutoDate();
    void FITSDate();
    void CmOk();
};
