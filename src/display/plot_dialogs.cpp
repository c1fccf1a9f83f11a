#include "display/plot_dialogs.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <cstring>
#include <functional>

#include "app/host.h"
#include "app/state.h"
#include "ui/dialog_controls.h"
#include "display/plots.h"
#include "store/buffers.h"

namespace {
const QColor blue(0, 0, 255);
const QColor red(255, 0, 0);
const QColor grey(128, 128, 128);

// A widget painted by a function of its owner.
class Canvas : public QWidget {
public:
    Canvas(QWidget* parent, QSize size, std::function<void(QPainter&)> paint)
        : QWidget(parent)
        , paint_(std::move(paint))
    {
        setFixedSize(size);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        paint_(painter);
    }

private:
    std::function<void(QPainter&)> paint_;
};
} // namespace

// ---------------------------------------------------------------- histogram

THistDialog::THistDialog(QWidget* parent)
    : TModeDialog(parent)
{
    setWindowTitle(QStringLiteral("Histogram of Current Image"));
    setModal(false);
    setFixedSize(440, 290);
    auto* close = add_button(this, "101", QStringLiteral("Close"));
    auto* help = add_button(this, "9", QStringLiteral("Help"));
    close->setGeometry(355, 235, 75, 24);
    help->setGeometry(355, 262, 75, 24);
    connect(close, &QPushButton::clicked, this, &THistDialog::HistKill);
    connect(help, &QPushButton::clicked, this, [] {
        host().message_box(
            "This shows a histogram of the values in the current main window. The horizontal scale "
            "represents "
            "values from black (0) to white (256), whilst the vertical scale shows the number of pixels with "
            "a "
            "particular value. The vertical scale goes from 0 to 1000, where there are more than 1000 pixels "
            "with the same value the line is truncated and shown in red.\n\nThe first 15 values where the "
            "pixel "
            "count exceeds 1000 are also listed next to the Histogram\n\nShort key - CTL+H",
            "Quillon - Display Histogram");
    });
}

void THistDialog::HistKill()
{
    hist_already = 0;
    hide();
    deleteLater();
}

bool THistDialog::eventFilter(QObject*, QEvent* event)
{
    if (event->type() == QEvent::Paint)
        update();
    return false;
}

void THistDialog::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(QPen(blue, 1));
    for (const PlotLine& l : histogram_axes())
        painter.drawLine(l.x0, l.y0, l.x1, l.y1);
    for (const HistogramBar& bar : histogram_bars(table)) {
        painter.setPen(QPen(bar.clipped ? red : grey, 1));
        painter.drawLine(bar.x, 210, bar.x, bar.top);
    }
    const std::string listing = histogram_listing(table);
    std::strncpy(workfld2, listing.c_str(), sizeof workfld2 - 1);
    painter.setPen(Qt::black);
    // Fixed pitch keeps the level and count columns aligned.
    QFont listing_font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    listing_font.setPointSize(8);
    painter.setFont(listing_font);
    painter.drawText(QRect(270, 2, 80, 268), Qt::AlignLeft | Qt::AlignTop, QString::fromLatin1(workfld2));
}


// ---------------------------------------------------------------- 3-D relief

T3DDialog::T3DDialog(QWidget* parent)
    : TModeDialog(parent)
    , bitmap_(relief_blank())
{
    setWindowTitle(QStringLiteral("3-D Intensity Plot"));
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    canvas_ = new Canvas(this, QSize(relief_width, relief_height),
        [this](QPainter& painter) { painter.drawImage(0, 0, relief()); });
    layout->addWidget(canvas_);
    auto* finished = add_button(this, "2", QStringLiteral("Finished"));
    auto* help = add_button(this, "9", QStringLiteral("Help"));
    add_button_row(layout, { finished, help });
    connect(finished, &QPushButton::clicked, this, &T3DDialog::IntKill);
    connect(help, &QPushButton::clicked, this, [] {
        host().message_box("This shows a 3-D Intensity Plot of the values in the current main window.",
            "Quillon - 3-D Plot");
    });
}

QImage T3DDialog::relief() const
{
    if (bitmap_.empty())
        return {};
    return QImage(bitmap_.data(), relief_width, relief_height, relief_width, QImage::Format_Grayscale8);
}

void T3DDialog::showEvent(QShowEvent* event)
{
    // Placed as the other analysis windows are.
    TModeDialog::showEvent(event);
    if (redraw)
        QTimer::singleShot(0, this, &T3DDialog::DrawRelief);
}

void T3DDialog::DrawRelief()
{
    if (!redraw || externptr == nullptr || bitmap_.empty())
        return;
    int previous = 0;
    for (int r = relief_first_row; r <= relief_last_row; ++r) {
        relief_draw_row(bitmap_.data(), externptr, r, previous);
        if (canvas_->isVisible())
            canvas_->repaint();
    }
    redraw = 0;
    canvas_->update();
}

void T3DDialog::IntKill()
{
    intensity_plot = 0;
    bitmap_.clear();
    bitmap_.shrink_to_fit();
    hide();
    deleteLater();
}


// ---------------------------------------------------------------- row profile

TRowDialog::TRowDialog(QWidget* parent, QWidget* view)
    : TModeDialog(parent)
    , view_(view)
{
    setWindowTitle(QStringLiteral("INTENSITY PROFILE OF ONE ROW"));
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    // The profile is drawn in the window's own pixels, as wide as the frame.
    canvas_ = new Canvas(this, QSize(width1 + 152, 202), [](QPainter& painter) {
        painter.setPen(Qt::black);
        painter.setBrush(Qt::white);
        painter.drawRect(QRect(QPoint(2, 2), QPoint(width1 + 150, 200)));
        if (externptr == nullptr || obj_y < 0 || obj_y >= height1)
            return;
        painter.setPen(QPen(grey, 1));
        const auto points = row_profile(externptr, obj_y, width1);
        for (std::size_t i = 1; i < points.size(); ++i)
            painter.drawLine(points[i - 1].x, points[i - 1].y, points[i].x, points[i].y);
    });
    layout->addWidget(canvas_);
    auto* controls = new QHBoxLayout;
    row_ = new QLineEdit(this);
    row_->setObjectName(QStringLiteral("101"));
    row_->setReadOnly(true);
    row_->setMaximumWidth(80);
    auto* finished = add_button(this, "2", QStringLiteral("Finished"));
    auto* help = add_button(this, "9", QStringLiteral("Help"));
    controls->addWidget(new QLabel(QStringLiteral("Row"), this));
    controls->addWidget(row_);
    controls->addStretch();
    controls->addWidget(finished);
    controls->addWidget(help);
    layout->addLayout(controls);
    connect(finished, &QPushButton::clicked, this, &TRowDialog::RowKill);
    connect(help, &QPushButton::clicked, this, [] {
        host().message_box(
            "Select the row you wish to see an intensity plot of by pressing the left mouse button",
            "Quillon - Intensity Profile");
    });
    IntDraw();
}

void TRowDialog::IntDraw()
{
    row_->setText(QString::number(obj_y));
    canvas_->update();
}

void TRowDialog::RowKill()
{
    row_plot = 0;
    if (view_ != nullptr)
        view_->setCursor(Qt::ArrowCursor);
    hide();
    deleteLater();
}

