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

namespace {
// Each try schedules the next one with a copy of the shared action; nothing
// holds itself, so the last timer to run frees it (a closure that captured
// its own shared_ptr would never be freed).
void poll_for_modal(const std::shared_ptr<const std::function<void(QDialog*)>>& act, int tries_left)
{
    if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
        (*act)(dialog);
        return;
    }
    if (tries_left > 0)
        QTimer::singleShot(10, [act, tries_left] { poll_for_modal(act, tries_left - 1); });
}
} // namespace

void when_modal_shows(std::function<void(QDialog*)> act)
{
    auto shared = std::make_shared<const std::function<void(QDialog*)>>(std::move(act));
    QTimer::singleShot(0, [shared] { poll_for_modal(shared, 500); });
}
