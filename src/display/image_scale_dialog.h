// "Image Scale": the telescope's focal length (mm) and an optional site
// name, kept in the text settings file (`focal_length`, `site`). With the
// focal length set, star sizes and guiding figures are also shown in
// arcseconds.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class TQuillonWindow;

// The menu command that opens it.
constexpr int cm_image_scale = 3201;

class TImageScaleDialog : public QDialog {
    Q_OBJECT

public:
    explicit TImageScaleDialog(QWidget* parent = nullptr);

    // Keeps what was typed: an empty focal length clears it, a number above
    // 0 and up to 100,000 mm is kept; anything else is refused with a box
    // and the dialog stays open. True when the file was written.
    bool apply();

private:
    void show_scale();

    QLineEdit* focal_ = nullptr;
    QLineEdit* site_ = nullptr;
    QLabel* scale_ = nullptr;
};

// The menu's handler: the dialog, modal.
void open_image_scale_dialog(TQuillonWindow& window);
