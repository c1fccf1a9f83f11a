#include "ui/indi_panels.h"

#include <QComboBox>
#include <QDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "indi/indi_link.h"
#include "store/text_settings.h"

namespace {

QString text(const std::string& s)
{
    return QString::fromStdString(s);
}

void fill(QComboBox* box, const std::vector<std::string>& names, const std::string& chosen, const char* none)
{
    box->clear();
    if (none != nullptr)
        box->addItem(QString::fromLatin1(none), QString());
    for (const std::string& n : names)
        box->addItem(text(n), text(n));
    const int at = box->findData(text(chosen));
    if (at >= 0)
        box->setCurrentIndex(at);
    else
        box->setEditText(text(chosen));
}

} // namespace

IndiSettingsBox::IndiSettingsBox(QDialog* dialog)
    : QGroupBox(QStringLiteral("INDI Server and Devices"), dialog)
{
    setObjectName(QStringLiteral("indi_settings"));
    auto* form = new QFormLayout(this);
    host_ = new QLineEdit(this);
    host_->setObjectName(QStringLiteral("indi_host"));
    port_ = new QLineEdit(this);
    port_->setObjectName(QStringLiteral("indi_port"));
    port_->setMaxLength(5);
    mount_ = new QComboBox(this);
    mount_->setObjectName(QStringLiteral("indi_mount"));
    mount_->setEditable(true);
    focuser_ = new QComboBox(this);
    focuser_->setObjectName(QStringLiteral("indi_focuser"));
    focuser_->setEditable(true);
    auto* list = new QPushButton(QStringLiteral("List Devices"), this);
    list->setObjectName(QStringLiteral("indi_list"));
    list->setAutoDefault(false);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("indi_status"));
    status_->setWordWrap(true);
    form->addRow(QStringLiteral("Server"), host_);
    form->addRow(QStringLiteral("Port"), port_);
    form->addRow(QStringLiteral("Mount"), mount_);
    form->addRow(QStringLiteral("Focuser"), focuser_);
    form->addRow(list, status_);

    connect(host_, &QLineEdit::editingFinished, this, &IndiSettingsBox::take);
    connect(port_, &QLineEdit::editingFinished, this, &IndiSettingsBox::take);
    connect(mount_, &QComboBox::currentTextChanged, this, &IndiSettingsBox::take);
    connect(focuser_, &QComboBox::currentTextChanged, this, &IndiSettingsBox::take);
    connect(list, &QPushButton::clicked, this, &IndiSettingsBox::list_devices);
    connect(dialog, &QDialog::accepted, this, [this] {
        take();
        save_text_settings();
    });
    refresh();
}

void IndiSettingsBox::refresh()
{
    const IndiSettings s = indi_settings();
    const QSignalBlocker b1(mount_), b2(focuser_);
    host_->setText(text(s.host));
    port_->setText(QString::number(s.port));
    fill(mount_, {}, s.mount, "(first mount offered)");
    fill(focuser_, {}, s.focuser, "(none)");
    status_->setText(QStringLiteral("Chosen: %1:%2, mount %3, focuser %4")
                         .arg(text(s.host))
                         .arg(s.port)
                         .arg(s.mount.empty() ? QStringLiteral("(first offered)") : text(s.mount))
                         .arg(s.focuser.empty() ? QStringLiteral("(none)") : text(s.focuser)));
}

void IndiSettingsBox::take()
{
    IndiSettings s = indi_settings();
    s.host = host_->text().trimmed().toStdString();
    if (s.host.empty())
        s.host = "localhost";
    bool ok = false;
    const int port = port_->text().trimmed().toInt(&ok);
    if (ok && port > 0 && port < 65536)
        s.port = port;
    else
        port_->setText(QString::number(s.port));
    auto chosen = [](QComboBox* box) {
        const int at = box->findText(box->currentText());
        const QString data = at >= 0 ? box->itemData(at).toString() : box->currentText();
        return data.trimmed().toStdString();
    };
    s.mount = chosen(mount_);
    s.focuser = chosen(focuser_);
    set_indi_settings(s);
}

void IndiSettingsBox::list_devices()
{
    take();
    const IndiSettings s = indi_settings();
    status_->setText(QStringLiteral("Asking %1:%2 ...").arg(text(s.host)).arg(s.port));
    std::string error;
    const auto mounts = indi_devices(s.host, s.port, indi_telescope_interface, 3000, error);
    if (!error.empty()) {
        status_->setText(text(error));
        return;
    }
    const auto focusers = indi_devices(s.host, s.port, indi_focuser_interface, 3000, error);
    const QSignalBlocker b1(mount_), b2(focuser_);
    fill(mount_, mounts, s.mount, "(first mount offered)");
    fill(focuser_, focusers, s.focuser, "(none)");
    status_->setText(QStringLiteral("%1:%2 offers %3 mount(s) and %4 focuser(s)")
                         .arg(text(s.host))
                         .arg(s.port)
                         .arg(mounts.size())
                         .arg(focusers.size()));
}

IndiStatusPanel::IndiStatusPanel(QWidget* parent)
    : QGroupBox(QStringLiteral("INDI Mount"), parent)
{
    setObjectName(QStringLiteral("indi_status_panel"));
    auto* layout = new QVBoxLayout(this);
    for (auto [label, name] : { std::pair { &chosen_, "indi_chosen" }, std::pair { &position_, "indi_position" },
             std::pair { &horizontal_, "indi_horizontal" }, std::pair { &state_, "indi_state" } }) {
        *label = new QLabel(this);
        (*label)->setObjectName(QString::fromLatin1(name));
        layout->addWidget(*label);
    }
    // The client announces changes from its own thread; the connection
    // queues them to this one.
    connect(&indi_client(), &IndiClient::property_changed, this, &IndiStatusPanel::refresh, Qt::QueuedConnection);
    connect(&indi_client(), &IndiClient::connection_lost, this, &IndiStatusPanel::refresh, Qt::QueuedConnection);
    refresh();
}

void IndiStatusPanel::refresh()
{
    const IndiSettings s = indi_settings();
    IndiMount* mount = indi_mount();
    const std::string device = mount != nullptr ? mount->mount_device() : s.mount;
    chosen_->setText(QStringLiteral("%1:%2  mount %3  focuser %4")
                         .arg(text(s.host))
                         .arg(s.port)
                         .arg(device.empty() ? QStringLiteral("(first offered)") : text(device))
                         .arg(s.focuser.empty() ? QStringLiteral("(none)") : text(s.focuser)));
    const MountStatus st = mount != nullptr ? mount->status() : MountStatus {};
    if (!st.connected) {
        position_->setText(QStringLiteral("RA --  Dec --"));
        horizontal_->clear();
        state_->setText(QStringLiteral("Not connected"));
        return;
    }
    position_->setText(st.known ? QStringLiteral("RA %1  Dec %2 (of date)")
                                      .arg(text(format_ra(st.of_date.ra_hours)))
                                      .arg(text(format_dec(st.of_date.dec_degrees)))
                                : QStringLiteral("RA --  Dec --"));
    horizontal_->setText(st.have_horizontal
            ? QStringLiteral("Alt %1\u00B0  Az %2\u00B0").arg(st.altitude, 0, 'f', 1).arg(st.azimuth, 0, 'f', 1)
            : QString());
    state_->setText(st.parked ? QStringLiteral("Parked")
            : st.slewing      ? QStringLiteral("Slewing")
            : st.tracking     ? QStringLiteral("Tracking")
                              : QStringLiteral("Stopped"));
}
