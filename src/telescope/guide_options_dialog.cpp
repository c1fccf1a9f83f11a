#include "telescope/guide_options_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/messages.h"
#include "store/text_settings.h"
#include "telescope/guide_options.h"

TGuideOptionsDialog::TGuideOptionsDialog(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("guide_options"));
    setWindowTitle(QStringLiteral("Guiding Options"));
    const DitherSettings d = DitherSettings::load();
    auto* layout = new QVBoxLayout(this);

    auto* dithering = new QGroupBox(QStringLiteral("Dithering between self-guided frames"), this);
    auto* form = new QFormLayout(dithering);
    dither_ = new QCheckBox(QStringLiteral("Move the guide star a little before each frame"), dithering);
    dither_->setObjectName(QStringLiteral("dither"));
    dither_->setChecked(d.on);
    form->addRow(dither_);
    auto spin = [dithering](const char* name, double low, double high, double step, double value) {
        auto* box = new QDoubleSpinBox(dithering);
        box->setObjectName(QString::fromLatin1(name));
        box->setRange(low, high);
        box->setSingleStep(step);
        box->setDecimals(2);
        box->setValue(value);
        return box;
    };
    size_ = spin("dither_px", 0.1, 5.0, 0.1, d.size_px);
    form->addRow(QStringLiteral("Dither step (guide pixels)"), size_);
    settle_px_ = spin("dither_settle_px", 0.05, 5.0, 0.05, d.settle_px);
    form->addRow(QStringLiteral("Settled below (pixels)"), settle_px_);
    settle_frames_ = new QSpinBox(dithering);
    settle_frames_->setObjectName(QStringLiteral("dither_settle_frames"));
    settle_frames_->setRange(1, 20);
    settle_frames_->setValue(d.settle_frames);
    form->addRow(QStringLiteral("for guide frames in a row"), settle_frames_);
    settle_s_ = new QSpinBox(dithering);
    settle_s_->setObjectName(QStringLiteral("dither_settle_s"));
    settle_s_->setRange(1, 600);
    settle_s_->setSuffix(QStringLiteral(" s"));
    settle_s_->setValue(d.settle_s);
    form->addRow(QStringLiteral("Expose anyway after"), settle_s_);
    layout->addWidget(dithering);

    auto* guiding = new QGroupBox(QStringLiteral("Guiding"), this);
    auto* guiding_form = new QFormLayout(guiding);
    cloud_wait_ = new QSpinBox(guiding);
    cloud_wait_->setObjectName(QStringLiteral("cloud_wait_s"));
    cloud_wait_->setRange(0, 3600);
    cloud_wait_->setSuffix(QStringLiteral(" s"));
    cloud_wait_->setValue(cloud_wait_seconds());
    guiding_form->addRow(QStringLiteral("Wait for a star behind a cloud"), cloud_wait_);
    graph_opens_ = new QCheckBox(QStringLiteral("Open the guiding graph when guiding starts"), guiding);
    graph_opens_->setObjectName(QStringLiteral("guide_graph_auto_open"));
    graph_opens_->setChecked(guide_graph_opens_itself());
    guiding_form->addRow(graph_opens_);
    layout->addWidget(guiding);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void TGuideOptionsDialog::accept()
{
    DitherSettings d;
    d.on = dither_->isChecked();
    d.size_px = size_->value();
    d.settle_px = settle_px_->value();
    d.settle_s = settle_s_->value();
    d.settle_frames = settle_frames_->value();
    d.store();
    set_cloud_wait_seconds(cloud_wait_->value());
    set_text_setting_bool("guide_graph_auto_open", graph_opens_->isChecked());
    if (!save_text_settings())
        messages(50, ("The guiding options could not be written to " + text_settings_path()).c_str());
    QDialog::accept();
}
