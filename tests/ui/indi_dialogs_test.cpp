// The INDI choice in Set Program Defaults and the INDI mount's panel, as a
// user drives them.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <cstdlib>
#include <filesystem>

#include "app/quillon_window.h"
#include "app/state.h"
#include "indi/indi_link.h"
#include "store/settings_file.h"
#include "store/text_settings.h"
#include "ui/indi_panels.h"
#include "ui_test_env.h"

class IndiDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void choosing_indi_keeps_the_server_and_devices_typed()
    {
        UiTestEnv env;
        telescope = 'l';
        when_modal_shows([](QDialog* d) {
            // A failed check still closes the dialog.
            struct Closer {
                QDialog* d;
                ~Closer()
                {
                    if (d->isVisible())
                        d->reject();
                }
            } closer { d };
            auto* indi = control<QAbstractButton>(d, QStringLiteral("indi_interface"));
            QVERIFY(indi != nullptr);
            // LX200 and the box are still there beside it.
            QVERIFY(control<QAbstractButton>(d, QStringLiteral("17127")) != nullptr);
            QVERIFY(control<QAbstractButton>(d, QStringLiteral("17128")) != nullptr);
            indi->click();
            QVERIFY(indi->isChecked());
            QVERIFY(!control<QAbstractButton>(d, QStringLiteral("17127"))->isChecked());
            auto* host = control<QLineEdit>(d, QStringLiteral("indi_host"));
            auto* port = control<QLineEdit>(d, QStringLiteral("indi_port"));
            QCOMPARE(host->text(), QStringLiteral("localhost"));
            QCOMPARE(port->text(), QStringLiteral("7624"));
            host->setText(QStringLiteral("scope.example"));
            emit host->editingFinished();
            port->setText(QStringLiteral("notaport"));
            emit port->editingFinished();
            QCOMPARE(port->text(), QStringLiteral("7624")); // refused, the old value shown
            control<QComboBox>(d, QStringLiteral("indi_mount"))->setEditText(QStringLiteral("EQMod Mount"));
            control<QPushButton>(d, QStringLiteral("1"))->click();
        });
        env.window().CmINI();
        QCOMPARE(telescope, 'i');
        reset_text_settings();
        const IndiSettings s = indi_settings();
        QCOMPARE(QString::fromStdString(s.host), QStringLiteral("scope.example"));
        QCOMPARE(s.port, 7624);
        QCOMPARE(QString::fromStdString(s.mount), QStringLiteral("EQMod Mount"));
        telescope = 'l';
        QCOMPARE(LoadINIFile(ini_file.c_str()), 0);
        QCOMPARE(telescope, 'i');
    }

    void listing_devices_without_a_server_says_where_it_looked()
    {
        UiTestEnv env;
        set_indi_settings({ "localhost", 1, "", "" });
        QDialog dialog;
        IndiSettingsBox box(&dialog);
        box.list_devices();
        QCOMPARE(box.findChild<QLabel*>(QStringLiteral("indi_status"))->text(),
            QStringLiteral("No INDI server answers at localhost:1"));
        // The panel of a link not open shows the choice and no position.
        IndiStatusPanel panel(nullptr);
        QVERIFY(panel.findChild<QLabel*>(QStringLiteral("indi_chosen"))->text().startsWith(
            QStringLiteral("localhost:1")));
        QCOMPARE(panel.findChild<QLabel*>(QStringLiteral("indi_state"))->text(), QStringLiteral("Not connected"));
        if (const char* shots = std::getenv("QUILLON_SHOTS")) {
            dialog.resize(420, 220);
            box.resize(420, 220);
            box.grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/indi_settings_box.png"));
        }
    }
};

QTEST_MAIN(IndiDialogsTest)
#include "indi_dialogs_test.moc"
