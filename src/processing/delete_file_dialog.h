// The delete confirmation of the file selection: shows file_name and asks.
#pragma once

#include <QDialog>

class TDeleteFileDialog : public QDialog {
    Q_OBJECT

public:
    explicit TDeleteFileDialog(QWidget* parent = nullptr);
};
