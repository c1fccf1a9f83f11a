#include "display/image_scale_dialog.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <cmath>

#include "app/host.h"
#include "app/quillon_window.h"
#include "display/image_scale.h"
#include "store/text_settings.h"
#include "ui/dialog_controls.h"

namespace {
const char* const scale_caption = "Quillon - Image Scale";

// The typed focal length: 0 for empty, -1 when it is not one.
double typed_focal_length(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return 0;
    bool ok = false;
    const double f = t.toDouble(&ok);
    return ok && f > 0 && f <= 100000 ? f : -1;
}
} // namespace

TImageScaleDialog::TImageScaleDialog(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Image Scale"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    focal_ = new QLineEdit(this);
    focal_->setObjectName(QStringLiteral("focal_length"));
    const double f = focal_length_mm();
    focal_->setText(f > 0 ? QString::number(f) : QString());
    site_ = new QLineEdit(this);
    site_->setObjectName(QStringLiteral("site"));
    site_->setText(QString::fromStdString(site_name()));
    form->addRow(QStringLiteral("Focal length (mm)"), focal_);
    form->addRow(QStringLiteral("Site (optional)"), site_);
    layout->addLayout(form);
    scale_ = new QLabel(this);
    scale_->setObjectName(QStringLiteral("scale"));
    layout->addWidget(scale_);
    auto* ok = add_button(this, "1", QStringLiteral("OK"));
    ok->setDefault(true);
    auto* cancel = add_button(this, "2", QStringLiteral("Cancel"));
    add_button_row(layout, { ok, cancel });
    connect(focal_, &QLineEdit::textChanged, this, [this] { show_scale(); });
    connect(ok, &QPushButton::clicked, this, [this] {
        if (apply())
            accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    show_scale();
}

void TImageScaleDialog::show_scale()
{
    const double f = typed_focal_length(focal_->text());
    if (f < 0) {
        scale_->setText(QStringLiteral("Type the focal length in millimetres"));
        return;
    }
    if (f == 0) {
        scale_->setText(QStringLiteral("No focal length: sizes are shown in pixels"));
        return;
    }
    const ImageScale full = image_scale_for(f, false);
    const ImageScale bin = image_scale_for(f, true);
    scale_->setText(QStringLiteral("Full resolution %1 x %2 \"/px\nBinned %3 x %4 \"/px")
                        .arg(full.x, 0, 'f', 2)
                        .arg(full.y, 0, 'f', 2)
                        .arg(bin.x, 0, 'f', 2)
                        .arg(bin.y, 0, 'f', 2));
}

bool TImageScaleDialog::apply()
{
    const double f = typed_focal_length(focal_->text());
    if (f < 0) {
        host().message_box("The focal length is a number of millimetres above 0 and up to 100000",
            scale_caption);
        return false;
    }
    const QString site = site_->text().simplified();
    set_text_setting("focal_length", f > 0 ? QString::number(f).toStdString() : std::string());
    set_text_setting("site", site.toStdString());
    if (!save_text_settings()) {
        host().message_box("The settings could not be written: " + text_settings_path(), scale_caption);
        return false;
    }
    return true;
}

void open_image_scale_dialog(TQuillonWindow& window)
{
    TImageScaleDialog dialog(&window);
    dialog.exec();
}
