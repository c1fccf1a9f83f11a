#include "ui_test_env.h"

#include <QApplication>
#include <QTimer>

#include "app/quillon_window.h"
#include "store/buffers.h"

UiTestEnv::UiTestEnv()
{
    begin_test_env();
    main_ = build_main_frame();
    main_.frame->show();
    test_env().host.on_command = [this](int number) { main_.client->dispatch(number); };
}

UiTestEnv::~UiTestEnv()
{
    test_env().host.on_command = nullptr;
    main_.frame.reset();
    end_test_env();
}

void when_modal_shows(std::function<void(QDialog*)> act)
{
    auto poll = std::make_shared<std::function<void(int)>>();
    *poll = [act, poll](int tries_left) {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            act(dialog);
            return;
        }
        if (tries_left > 0)
            QTimer::singleShot(10, [poll, tries_left] { (*poll)(tries_left - 1); });
    };
    QTimer::singleShot(0, [poll] { (*poll)(500); });
}
