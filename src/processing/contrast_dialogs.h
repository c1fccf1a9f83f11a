// Dialogs of the contrast curves and the palette stretch. They read and
// write the parameter globals; the curves themselves are in contrast.h.
#pragma once

#include <QDialog>

class QLineEdit;
class QScrollBar;
class QCheckBox;

// "Normal Stretch": black and white points over the image histogram.
class TStretchDialog : public QDialog {
    Q_OBJECT
public:
    explicit TStretchDialog(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void white_action(int action);
    void black_action(int action);
    // Shows both values in the edits and the scroll bars, redraws the markers.
    void show_values();
    void DrawHistogram(class QPainter& painter);

    QLineEdit* black_edit_;
    QLineEdit* white_edit_;
    QScrollBar* white_bar_;
    QScrollBar* black_bar_;
};

// "Power Law Stretch": the exponent power_str, 0.1..3.0.
class TPowerDialog : public QDialog {
    Q_OBJECT
public:
    explicit TPowerDialog(QWidget* parent = nullptr);

private:
    void power_action(int action);

    QScrollBar* bar_;
    QLineEdit* edit_;
    int position_ = 10;
};

// "Non-Linear Stretch": the power (in `white`), 2..50.
class TNonLiniarDialog : public QDialog {
    Q_OBJECT
public:
    explicit TNonLiniarDialog(QWidget* parent = nullptr);

private:
    void power_action(int action);

    QScrollBar* bar_;
    QLineEdit* edit_;
};

// "Stretch Palette": the maximum palette stretch and whether it applies to
// all images. The globals change as the controls move.
class TMaxDialog : public QDialog {
    Q_OBJECT
public:
    explicit TMaxDialog(QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void stretch_action(int action);
    void refresh();

    QLineEdit* edit_;
    QScrollBar* bar_;
    QCheckBox* all_images_;
};
