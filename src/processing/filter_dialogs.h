// Dialogs of the unsharp mask and the median filter: radius and power held
// in `white` and `black`.
#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;
class QScrollBar;

// "Unsharp Mask Filter": radius 1..7 (`white`), power 1..7 (`black`).
class TUnsharpDialog : public QDialog {
    Q_OBJECT
public:
    // `main_caption` titles the help box.
    explicit TUnsharpDialog(
        QWidget* parent = nullptr, const QString& main_caption = QStringLiteral("Quillon"));

private:
    QScrollBar* radius_bar_;
    QScrollBar* power_bar_;
    QLineEdit* radius_edit_;
    QLineEdit* power_edit_;
};

// "Median Filter": radius 1..3 (`white`), power in tenths 1..10 (`black`).
class TMedianDialog : public QDialog {
    Q_OBJECT
public:
    explicit TMedianDialog(QWidget* parent = nullptr);

private:
    QScrollBar* radius_bar_;
    QScrollBar* power_bar_;
    QLineEdit* radius_edit_;
    QLineEdit* power_edit_;
};
