#include "camera/autofocus_window.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/quillon_window.h"
#include "camera/autofocus_session.h"
#include "camera/focus_plots_ui.h"
#include "display/image_scale.h"
#include "ui/dialog_controls.h"

TAutofocusWindow::TAutofocusWindow(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Autofocus"));
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    plot_ = new VCurvePlot(this);
    layout->addWidget(plot_, 1);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("status"));
    layout->addWidget(status_);
    result_ = new QLabel(this);
    result_->setObjectName(QStringLiteral("result"));
    layout->addWidget(result_);
    start_ = add_button(this, "start", QStringLiteral("Start"));
    auto* close = add_button(this, "2", QStringLiteral("Close"));
    add_button_row(layout, { start_, close });
    connect(start_, &QPushButton::clicked, this, [this] { start(); });
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    resize(480, 360);
}

void TAutofocusWindow::start()
{
    if (running_)
        return;
    running_ = true;
    start_->setEnabled(false);
    result_->clear();
    status_->setText(QStringLiteral("Starting - a key or mouse button stops"));
    plot_->set_curve({}, {}, false, 0);
    AutofocusResult r;
    const bool ran = autofocus_with_telescope(this, r);
    running_ = false;
    start_->setEnabled(true);
    if (!ran) {
        status_->setText(QStringLiteral("Not started"));
        return;
    }
    plot_->set_curve(r.curve, r.fit, r.end == AutofocusEnd::focused, r.best_position);
    status_->setText(r.end == AutofocusEnd::focused ? QStringLiteral("Done") : QStringLiteral("Stopped"));
    result_->setText(QString::fromStdString(autofocus_summary(r, image_scale_for(focal_length_mm(), false).x)));
}

void TAutofocusWindow::progress(const AutofocusResult& sofar, const std::string& status)
{
    plot_->set_curve(sofar.curve, fit_hyperbola(sofar.curve), false, 0);
    QString text = QString::fromStdString(status);
    if (!sofar.curve.empty())
        text += QStringLiteral(" - frame %1, HFD %2 px").arg(sofar.frames).arg(sofar.curve.back().hfd, 0, 'f', 2);
    status_->setText(text);
    // The run holds the thread; the host's pump paints what changed.
    plot_->repaint();
    status_->repaint();
}

void open_autofocus(TQuillonWindow& window)
{
    static QPointer<TAutofocusWindow> shown;
    if (shown.isNull())
        shown = new TAutofocusWindow(&window);
    shown->show();
    shown->raise();
    shown->start();
}
