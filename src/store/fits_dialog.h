// "FITS DETAILS": shows the FITS header globals for editing. "Continue" reads
// every edit back into the globals; "Abort" leaves them, except the two check
// boxes, which change their flags as soon as they are clicked.
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QScrollBar;

class TFITSDialog : public QDialog {
    Q_OBJECT

public:
    explicit TFITSDialog(QWidget* parent = nullptr);

    // The hour difference to UT shown by the scroll bar.
    int difference() const { return difference_; }

public slots:
    void accept() override;

private:
    QLineEdit* add_line(int row, const char* id, const char* label, const char* value, int most);
    QPlainTextEdit* add_text(int row, const char* id, const char* label, const char* value);
    QLineEdit* add_number(int row, const char* id, const char* label, double value);
    void show_difference();

    int difference_ = 0;
    QScrollBar* hours_ = nullptr;
    QLabel* hours_shown_ = nullptr;
};
