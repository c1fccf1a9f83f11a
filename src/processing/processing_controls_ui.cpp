#include "processing/processing_controls_ui.h"

#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionSlider>

namespace processing_ui {
namespace {
    class ArrowsOnly : public QObject {
    public:
        explicit ArrowsOnly(QScrollBar* bar)
            : QObject(bar)
            , bar_(bar)
        {
        }

    protected:
        bool eventFilter(QObject* watched, QEvent* event) override
        {
            if (watched != bar_)
                return false;
            switch (event->type()) {
            case QEvent::Wheel:
                return true;
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick:
                return !on_arrow(static_cast<QMouseEvent*>(event)->position().toPoint());
            default:
                return false;
            }
        }

    private:
        bool on_arrow(const QPoint& at) const
        {
            QStyleOptionSlider option;
            option.initFrom(bar_);
            option.subControls = QStyle::SC_All;
            option.orientation = bar_->orientation();
            option.minimum = bar_->minimum();
            option.maximum = bar_->maximum();
            option.sliderPosition = bar_->sliderPosition();
            option.sliderValue = bar_->value();
            option.singleStep = bar_->singleStep();
            option.pageStep = bar_->pageStep();
            option.upsideDown = bar_->invertedAppearance();
            if (bar_->orientation() == Qt::Horizontal)
                option.state |= QStyle::State_Horizontal;
            const QStyle::SubControl part
                = bar_->style()->hitTestComplexControl(QStyle::CC_ScrollBar, &option, at, bar_);
            return part == QStyle::SC_ScrollBarAddLine || part == QStyle::SC_ScrollBarSubLine;
        }

        QScrollBar* bar_;
    };
} // namespace

void arrows_only_input(QScrollBar* bar)
{
    bar->installEventFilter(new ArrowsOnly(bar));
}
} // namespace processing_ui
