// The INDI parts of the telescope dialogs: the server and devices the user
// chooses (in Set Program Defaults) and the mount's live state (in the
// telescope dialog while the INDI link is chosen).
#pragma once

#include <QGroupBox>

class QComboBox;
class QDialog;
class QLabel;
class QLineEdit;

// Host, port, mount and focuser, kept in the text settings file; "List
// Devices" asks the server which mounts and focusers it offers. The values
// go to the settings as they are edited and to the file when `dialog` is
// accepted.
class IndiSettingsBox : public QGroupBox {
    Q_OBJECT
public:
    explicit IndiSettingsBox(QDialog* dialog);
    // Shows the settings' values.
    void refresh();
    // Asks the server for its devices and fills the two lists.
    void list_devices();

private:
    void take();

    QLineEdit* host_ = nullptr;
    QLineEdit* port_ = nullptr;
    QComboBox* mount_ = nullptr;
    QComboBox* focuser_ = nullptr;
    QLabel* status_ = nullptr;
};

// What the INDI mount reports, updated as its properties change.
class IndiStatusPanel : public QGroupBox {
    Q_OBJECT
public:
    explicit IndiStatusPanel(QWidget* parent);
    void refresh();

private:
    QLabel* chosen_ = nullptr;
    QLabel* position_ = nullptr;
    QLabel* horizontal_ = nullptr;
    QLabel* state_ = nullptr;
};
