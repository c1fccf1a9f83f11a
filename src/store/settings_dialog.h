// "Set Program Defaults": every control acts on its global at once and the
// dialog then shows the globals again. "Save Changes" (1) closes with OK and
// the caller writes the file; "Cancel" (2) closes, keeping the changes in
// the globals unwritten.
#pragma once

#include <QDialog>

#include <functional>
#include <vector>

class QAbstractButton;
class QLineEdit;

class TINIDialog : public QDialog {
    Q_OBJECT

public:
    explicit TINIDialog(QWidget* parent = nullptr);

    // Shows the globals: radio buttons and check boxes, the six number
    // fields and the sub-folder field.
    void refresh();

protected:
    void showEvent(QShowEvent* event) override;

private:
    // "Set Manually": the six number fields into their globals.
    void set_manually();
    // "Set Directory": the sub-folder field into auto_save_subdir.
    void set_directory();

    // A button shown checked while `is_set` holds; its click runs `act`,
    // then (when `manual`) the reading of the number fields, then the refresh.
    QAbstractButton* radio(int id, const char* text, std::function<bool()> is_set, std::function<void()> act,
        bool manual = true);
    QAbstractButton* check(int id, const char* text, std::function<bool()> is_set, std::function<void()> act,
        bool manual = true);
    void connect_action(
        QAbstractButton* button, std::function<bool()> is_set, std::function<void()> act, bool manual);
    QLineEdit* number_field(int id);

    struct Shown {
        QAbstractButton* button;
        std::function<bool()> is_set;
    };
    std::vector<Shown> shown_;
};


