#include "processing/label_dialog.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <cstring>

#include "app/messages.h"
#include "app/state.h"
#include "processing/label.h"

TLabelDialog::TLabelDialog(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Label Current Image"));
    auto_date = 1;

    auto* text = new QLineEdit(this);
    text->setObjectName("4090");
    text->setMaxLength(label_text_limit);
    text->setAccessibleName(QStringLiteral("Label text"));
    auto* date_box = new QCheckBox(QStringLiteral("Auto Date"), this);
    date_box->setObjectName("102");
    auto* fits_box = new QCheckBox(QStringLiteral("Use FITs Date"), this);
    fits_box->setObjectName("103");
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName("104");
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName("2");
    connect(date_box, &QCheckBox::clicked, this, &TLabelDialog::AutoDate);
    connect(fits_box, &QCheckBox::clicked, this, &TLabelDialog::FITSDate);
    connect(ok, &QPushButton::clicked, this, &TLabelDialog::CmOk);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* boxes = new QHBoxLayout;
    boxes->addWidget(date_box);
    boxes->addWidget(fits_box);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Enter the Label text"), this));
    layout->addWidget(text);
    layout->addLayout(boxes);
    layout->addLayout(buttons);
    EvPaint();
}

void TLabelDialog::EvPaint()
{
    findChild<QCheckBox*>("102")->setChecked(auto_date == 1);
    findChild<QCheckBox*>("103")->setChecked(auto_FITS_date == 1);
}

void TLabelDialog::AutoDate()
{
    if (auto_date == 1) {
        auto_date = 0;
        auto_FITS_date = 0;
    } else {
        auto_date = 1;
    }
    EvPaint();
}

void TLabelDialog::FITSDate()
{
    if (auto_FITS_date == 1) {
        auto_FITS_date = 0;
    } else if (std::strlen(FITS_Date) < 7) {
        messages(50, "Sorry, FITs date not set");
    } else {
        auto_FITS_date = 1;
        auto_date = 1;
    }
    EvPaint();
}

void TLabelDialog::CmOk()
{
    // One byte per character, so every character takes one cell of the label;
    // characters outside Latin-1 become '?', which draws an empty cell.
    const QByteArray text = findChild<QLineEdit*>("4090")->text().left(label_text_limit).toLatin1();
    std::memset(txtbuffer, 0, sizeof txtbuffer);
    std::strncpy(txtbuffer, text.constData(), label_text_limit);
    accept();
}
