#include "processing/delete_file_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/state.h"

TDeleteFileDialog::TDeleteFileDialog(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Delete File"));
    auto* path = new QLineEdit(QString::fromStdString(file_name), this);
    path->setObjectName("101");
    path->setReadOnly(true);
    path->setAccessibleName(QStringLiteral("Delete this file?"));
    path->setMinimumWidth(320);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName("1");
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName("2");
    cancel->setDefault(true); // a stray Enter keeps the file
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Delete this file?"), this));
    layout->addWidget(path);
    layout->addLayout(buttons);
}
