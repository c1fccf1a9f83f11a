// A modeless window that holds a program mode (histogram, relief, row plot,
// photometry, blink). However it is closed - its own button, the title bar or
// Escape - it runs its Kill, so the mode's flag never outlives the window.
#pragma once

#include <QCloseEvent>
#include <QDialog>
#include <QScreen>
#include <QShowEvent>

#include <algorithm>

class TModeDialog : public QDialog {
public:
    using QDialog::QDialog;

protected:
    // Clears the mode's flag and disposes of the window.
    virtual void Kill() = 0;

    void closeEvent(QCloseEvent* event) override
    {
        event->accept();
        Kill();
    }
    void reject() override { Kill(); }

    // First shown beside the main window rather than over the image it
    // measures, as far as the screen allows.
    void showEvent(QShowEvent* event) override
    {
        QDialog::showEvent(event);
        if (placed_ || parentWidget() == nullptr)
            return;
        placed_ = true;
        const QRect main = parentWidget()->window()->frameGeometry();
        QPoint at(main.right() + 1, main.top());
        if (const QScreen* screen = parentWidget()->screen(); screen != nullptr) {
            const QRect room = screen->availableGeometry();
            at.setX(std::max(room.left(), std::min(at.x(), room.right() + 1 - frameGeometry().width())));
        }
        move(at);
    }

private:
    bool placed_ = false;
};
