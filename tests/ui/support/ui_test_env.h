// Window and dialog tests: each case gets its own home, reset state, manual
// clock and recording host (see test_env.h), and a fresh main frame whose
// window runs the commands the host is sent.
#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>

#include "app/main_frame.h"
#include "test_env.h"

class TQuillonWindow;

class UiTestEnv {
public:
    // Starts the per-test environment and builds the frame.
    UiTestEnv();
    ~UiTestEnv();

    QMainWindow& frame() { return *main_.frame; }
    TQuillonWindow& window() { return *main_.client; }
    TestHost& host() { return test_env().host; }

private:
    MainFrame main_;
};

// Runs `act` on the next modal dialog that opens (polling until one is
// active), e.g. to set its controls and press OK. Call before the command
// that opens the dialog.
void when_modal_shows(std::function<void(QDialog*)> act);

// The child of `parent` whose objectName is `id` (controls are named by
// their dialog ids, e.g. "105").
template <typename T>
T* control(QWidget* parent, const QString& id)
{
    return parent->findChild<T*>(id);
}
