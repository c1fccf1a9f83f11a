// Window and dialog tests: each case gets its own home, reset state, manual
// clock and recording host (see test_env.h), and a fresh main frame whose
// window runs the commands the host is sent.
#pragma once

#include <QAbstractSlider>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

#include "app/command_table.h"
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

// Records the commands the window is asked to run, without running their
// handlers, while it lives.
struct CommandRecorder {
    QList<int> seen;
    CommandRecorder()
    {
        set_command_spy([this](int number) {
            seen << number;
            return true;
        });
    }
    ~CommandRecorder() { set_command_spy(nullptr); }
};

// The child of `parent` whose objectName is `id` (controls are named by
// their dialog ids, e.g. "105").
template <typename T>
T* control(QWidget* parent, const QString& id)
{
    return parent->findChild<T*>(id);
}

// Clicks the button with id `id`.
inline void press(QDialog* d, const char* id)
{
    control<QPushButton>(d, QString::fromLatin1(id))->click();
}

using Action = QAbstractSlider::SliderAction;

// Moves scroll bar `id` as its arrows or page areas would, `times` times.
inline void step(QDialog* d, const char* id, Action action, int times = 1)
{
    auto* bar = control<QScrollBar>(d, QString::fromLatin1(id));
    QVERIFY(bar != nullptr);
    for (int i = 0; i < times; ++i)
        bar->triggerAction(action);
}

// The text of edit `id`; "<missing>" when the dialog has no such edit, so a
// missing control fails the comparison instead of crashing the test.
inline QString text_of(QWidget* d, const char* id)
{
    auto* edit = control<QLineEdit>(d, QString::fromLatin1(id));
    return edit != nullptr ? edit->text() : QStringLiteral("<missing>");
}
