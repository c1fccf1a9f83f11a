// "ZQ Control Interface": the modal dialog the camera command shows before
// every run. Each control writes its global at once (camera_controls.h) and
// the dialog shows the globals again; "Take Photo" (1) closes it with result
// 1, "Cancel" (2) with 0. "Start" (107) runs the focus loop inside the
// dialog, which shows each focus frame and its peak.
#pragma once

#include <QDialog>
#include <QPixmap>

#include <functional>
#include <vector>

#include "camera/focus_loop.h"

class QAbstractButton;
class QLineEdit;
class QScrollBar;
class QWidget;

class TVNDialog : public QDialog, public FocusLoopView {
    Q_OBJECT

public:
    explicit TVNDialog(QWidget* parent = nullptr);
    ~TVNDialog() override;

    // Takes a typed exposure (unless a unit button or an arrow set it), then
    // shows every global again.
    void ShowValues();
    // Reads the focus bitmap again when one was written, and repaints.
    void refresh_focus_frame();

    // FocusLoopView
    void show_values() override { ShowValues(); }
    void frame_ready() override { refresh_focus_frame(); }

    // "Take Photo": keeps a valid typed exposure; closes only while no focus
    // loop runs.
    void OK();
    void Dialog7Help();

    // Where the focus frame is drawn, in dialog pixels.
    QRect focus_frame_rect() const;
    const QPixmap& focus_bitmap() const { return focusbitmap_; }

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    void EvInitDialog();
    // Every field, button and scroll bar from the globals, so the dialog
    // shows what a run or another window changed while it was open.
    void show_controls();
    void EvVScroll(int action);
    void start_focus();

    QAbstractButton* radio(QWidget* parent, int id, const char* text, std::function<bool()> is_set,
        std::function<void()> act, bool sets_exposure = false);
    QAbstractButton* check(
        QWidget* parent, int id, const char* text, std::function<bool()> is_set, std::function<void()> act);
    QLineEdit* field(QWidget* parent, int id, bool read_only, int width = 60);
    QScrollBar* arrows(QWidget* parent, int id, std::function<void(bool down)> act, bool sets_exposure);
    void set_field(int id, const QString& text);

    struct Shown {
        QAbstractButton* button;
        std::function<bool()> is_set;
    };
    std::vector<Shown> shown_;
    QWidget* focus_area_ = nullptr;
    QWidget* hfd_plot_ = nullptr;
    QPixmap focusbitmap_;
};
