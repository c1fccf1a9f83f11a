// Showing a new frame, the processing history and help.
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

#include <cstring>
#include <string>

#include "app/clock.h"
#include "app/host.h"
#include "app/messages.h"
#include "app/quillon_window.h"
#include "app/state.h"
#include "store/autosave.h"
#include "store/buffers.h"
#include "ui/placement.h"

namespace {
constexpr const char* program_version = "Version 0.1.0";
constexpr const char* release_date = "Released 8 December 2026";
const QString help_page = QStringLiteral(":/help/quillon_help.html");

QPointer<QDialog> help_window;
} // namespace

void TQuillonWindow::CmShowImage()
{
    end_exp = static_cast<long>(program_clock().now_seconds());
    // A new frame's history holds only the calibration applied as it was taken.
    clear_history();
    if (darkframe_remove)
        append_history("Dark Frame Subtracted");
    if (flatfield_remove)
        append_history("Flatfield Applied");
    // Ends the wait cursor the exposure put up.
    host().wait_cursor(false);
    image_prepare();
    if (shown_frame_is_auto_saved())
        CmSaveAsFits();
}

void TQuillonWindow::Info()
{
    // An entry of one character or none ends the history, as below.
    if (strnlen(process_info[0], history_text) <= 1) {
        messages(50, "The processing history is empty: nothing has been done to this image yet.");
        return;
    }
    std::string text;
    for (int i = 0;; ++i) {
        text.append(process_info[i], strnlen(process_info[i], history_text));
        text += " \n";
        if (i + 1 >= history_entries || strnlen(process_info[i + 1], history_text) <= 1)
            break;
    }
    messages(50, text.c_str());
}

// The resources are linked from a static library: register them before use.
static void load_help_resources()
{
    Q_INIT_RESOURCE(quillon);
}

void TQuillonWindow::Help_Using()
{
    if (!help_window.isNull()) {
        help_window->show();
        help_window->raise();
        help_window->activateWindow();
        return;
    }
    load_help_resources();
    if (!QFile::exists(help_page)) {
        host().message_box("WinHelp failed!", app_caption, BoxButtons::ok, BoxIcon::stop);
        return;
    }
    auto* dialog = new QDialog(window());
    dialog->setObjectName(QStringLiteral("Quillon Help"));
    dialog->setWindowTitle(QStringLiteral("Quillon Help"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(dialog);
    auto* browser = new QTextBrowser(dialog);
    browser->setOpenLinks(true);
    browser->setSource(QUrl(QStringLiteral("qrc") + help_page));
    layout->addWidget(browser);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
    layout->addWidget(buttons);
    dialog->resize(640, 560);
    help_window = dialog;
    dialog->show();
    place_beside(dialog, this);
}

void TQuillonWindow::Help_About()
{
    QDialog about(this);
    about.setObjectName(QStringLiteral("Help About QUILLON"));
    about.setWindowTitle(QStringLiteral("Help About QUILLON"));
    auto* layout = new QVBoxLayout(&about);
    for (const char* line : { "QUILLON Image processing software for use with Vantrel ZQ cameras",
             program_version, release_date }) {
        auto* label = new QLabel(QString::fromLatin1(line), &about);
        label->setAlignment(Qt::AlignCenter);
        layout->addWidget(label);
    }
    auto* ok = new QPushButton(QStringLiteral("OK"), &about);
    ok->setObjectName(QStringLiteral("1"));
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &about, &QDialog::accept);
    layout->addWidget(ok, 0, Qt::AlignCenter);
    about.exec();
}
