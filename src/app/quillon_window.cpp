#include "app/quillon_window.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include "app/main_frame.h"
#include "app/state.h"
#include "store/buffers.h"
#include "store/settings_startup.h"

TQuillonWindow::TQuillonWindow(QWidget* parent) : QAbstractScrollArea(parent)
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    horizontalScrollBar()->setRange(0, 200);
    verticalScrollBar()->setRange(0, 200);
    // The settings decide the background colour and the control bar.
    load_settings_at_start();
    BkgndBrush = QBrush(QColor(back_r, back_g, back_b));
    Fit = 0;
    Geo = 0;
    Big = 0;
    SetCaption(nullptr);
    viewport()->setMouseTracking(true);
}

TQuillonWindow::~TQuillonWindow() = default;

void TQuillonWindow::SetCaption(const char* name)
{
    FileName = name != nullptr ? QString::fromLocal8Bit(name) : QStringLiteral("(Untitled)");
    if (QWidget* top = window(); top != nullptr)
        top->setWindowTitle(caption());
}

QString TQuillonWindow::caption() const
{
    return QStringLiteral("Quillon - ") + FileName;
}

void TQuillonWindow::undo_save_option()
{
    undo_image(image, undo);
}

void TQuillonWindow::undo_restore_option()
{
    restore_image(image, undo);
    image_prepare();
    remove_last_history();
}

void TQuillonWindow::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    EvPaint(painter, event->rect());
}

void TQuillonWindow::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    EvSize();
}

void TQuillonWindow::scrollContentsBy(int, int)
{
    viewport()->update();
}

void TQuillonWindow::keyPressEvent(QKeyEvent* event)
{
    // The scroll area moves by arrows and pages; Home and End go to the
    // edges, with Ctrl to the corners. While a run pumps messages every key
    // is a stop request first (the host watches them before they get here).
    const bool corner = event->modifiers().testFlag(Qt::ControlModifier);
    switch (event->key()) {
    case Qt::Key_Home:
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
        if (corner)
            verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
        return;
    case Qt::Key_End:
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
        if (corner)
            verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
        return;
    default:
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void TQuillonWindow::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        EvLButtonUp(event->position().toPoint());
    else if (event->button() == Qt::RightButton)
        EvRButtonUp(event->position().toPoint());
}

void TQuillonWindow::mouseMoveEvent(QMouseEvent* event)
{
    EvMouseMove(event->position().toPoint());
}
