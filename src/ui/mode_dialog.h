// A modeless window that holds a program mode (histogram, relief, row plot,
// photometry, blink). However it is closed - its own button, the title bar or
// Escape - it runs its Kill, so the mode's flag never outlives the window.
#pragma once

#include <QCloseEvent>
#include <QDialog>
#include <QShowEvent>

#include "ui/placement.h"

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
    // measures, and beside the other windows already open there.
    void showEvent(QShowEvent* event) override
    {
        QDialog::showEvent(event);
        if (placed_ || parentWidget() == nullptr)
            return;
        placed_ = true;
        place_beside(this, parentWidget());
    }

private:
    bool placed_ = false;
};
