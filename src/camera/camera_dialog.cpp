#include "camera/camera_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "app/host.h"
#include "app/quillon_window.h"
#include "app/state.h"
#include "camera/camera_controls.h"
#include "camera/focus_plots_ui.h"
#include "display/pipeline.h"
#include "processing/accumulate.h"
#include "ui/qt_host.h"

namespace {
constexpr int focus_side = 128;
constexpr int peak_line = 18;

// The focus frame: the last focus bitmap 1:1 with its peak value under it.
// It paints itself, so the host can repaint it while the focus loop blocks.
class FocusFrameView : public QWidget {
public:
    FocusFrameView(const QPixmap& bitmap, QWidget* parent)
        : QWidget(parent)
        , bitmap_(bitmap)
    {
        setObjectName(QStringLiteral("focus_frame"));
        setFixedSize(focus_side, focus_side + peak_line);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QRect frame(0, 0, focus_side, focus_side);
        if (bitmap_.isNull())
            painter.fillRect(frame, Qt::black);
        else
            painter.drawPixmap(frame.topLeft(), bitmap_);
        painter.drawText(QRect(0, focus_side, focus_side, peak_line), Qt::AlignCenter,
            QStringLiteral("Peak %1").arg(max_value));
    }

private:
    const QPixmap& bitmap_;
};

QGroupBox* group(const char* title, QWidget* parent)
{
    return new QGroupBox(QString::fromLatin1(title), parent);
}

QLabel* label(const char* text, QWidget* parent)
{
    return new QLabel(QString::fromLatin1(text), parent);
}
} // namespace

TVNDialog::TVNDialog(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("ZQ Control Interface"));
    auto* grid = new QGridLayout(this);

    // ---- exposure: unit and value
    auto* range = group("Exposure Range", this);
    auto* range_list = new QVBoxLayout(range);
    struct Unit {
        int id;
        const char* text;
        char letter;
    };
    for (const Unit& u : { Unit { 701, "Thousandth's", 'q' }, Unit { 702, "Hundredth's", 'h' },
             Unit { 703, "Tenth's", 't' }, Unit { 704, "Seconds", 's' }, Unit { 705, "Minutes", 'm' } }) {
        const char letter = u.letter;
        // Minutes also stand for any unit the others do not name.
        auto is_set = letter == 'm'
            ? std::function<bool()>([] { return std::string("qhts").find(exp_range) == std::string::npos; })
            : std::function<bool()>([letter] { return exp_range == letter; });
        range_list->addWidget(radio(
            range, u.id, u.text, is_set, [letter] { set_exposure_unit(letter); }, true));
    }
    grid->addWidget(range, 0, 0);

    auto* value = group("Exposure Value", this);
    auto* value_row = new QHBoxLayout(value);
    value_row->addWidget(field(value, 105, false));
    value_row->addWidget(arrows(value, 104, exposure_arrow, true));
    value_row->addStretch(1);
    grid->addWidget(value, 1, 0);

    auto* binning = group("Camera Binning", this);
    auto* binning_list = new QVBoxLayout(binning);
    struct Mode {
        int id;
        const char* text;
        CameraMode mode;
    };
    for (const Mode& m : { Mode { 126, "Standard (zq116)", CameraMode::standard },
             Mode { 127, "High Res (Fast)", CameraMode::high_res_fast },
             Mode { 128, "High Res(Progressive)", CameraMode::high_res_progressive },
             Mode { 129, "High Res(Interlaced)", CameraMode::high_res_interlaced } }) {
        const CameraMode mode = m.mode;
        binning_list->addWidget(radio(
            binning, m.id, m.text, [mode] { return camera_mode() == mode; },
            [mode] { set_camera_mode(mode); }));
    }
    grid->addWidget(binning, 2, 0, 2, 1);

    // ---- several exposures
    auto* multiple = group("Multiple Exposure Options", this);
    auto* multi_grid = new QGridLayout(multiple);
    multi_grid->addWidget(label("No of Exposures", multiple), 0, 0);
    multi_grid->addWidget(field(multiple, 112, true, 40), 0, 1);
    multi_grid->addWidget(arrows(multiple, 111, images_arrow, false), 0, 2);
    multi_grid->addWidget(
        check(
            multiple, 106, "Average Multiple Exposures", [] { return slew_sum_average != 0; },
            [] { slew_sum_average = !slew_sum_average; }),
        1, 0, 1, 3);
    multi_grid->addWidget(check(
                              multiple, 115, "Alternative Slew Method", [] { return slew_sum_alt != 0; },
                              [] { slew_sum_alt = !slew_sum_alt; }),
        2, 0, 1, 3);
    multi_grid->addWidget(check(
                              multiple, 118, "Continuous Mode", [] { return continuous != 0; },
                              [] { continuous = !continuous; }),
        3, 0, 1, 3);
    multi_grid->addWidget(label("Delay between exposures (mins)", multiple), 4, 0);
    multi_grid->addWidget(field(multiple, 120, true, 40), 4, 1);
    multi_grid->addWidget(arrows(multiple, 119, continuous_delay_arrow, false), 4, 2);
    multi_grid->addWidget(check(
                              multiple, 117, "Delay before exposure", [] { return exposure_delay != 0; },
                              [] { exposure_delay = !exposure_delay; }),
        5, 0, 1, 3);
    multi_grid->addWidget(
        check(
            multiple, 710, "Series Exposure", [] { return series_exposure != 0; }, toggle_series_exposure),
        6, 0);
    multi_grid->addWidget(label("(1,4,16,64,256x)", multiple), 6, 1, 1, 2);
    grid->addWidget(multiple, 0, 1, 2, 1);

    // ---- calibration and saving
    auto* saving = new QWidget(this);
    auto* save_grid = new QGridLayout(saving);
    save_grid->setContentsMargins(0, 0, 0, 0);
    save_grid->addWidget(check(
                             saving, 113, "Auto-Remove Dark Frame", [] { return darkframe_remove != 0; },
                             [] { darkframe_remove = !darkframe_remove; }),
        0, 0);
    save_grid->addWidget(field(saving, 114, false, 160), 0, 1);
    save_grid->addWidget(check(
                             saving, 122, "Auto-Apply Flatfield", [] { return flatfield_remove != 0; },
                             [] { flatfield_remove = !flatfield_remove; }),
        1, 0);
    save_grid->addWidget(field(saving, 123, false, 160), 1, 1);
    save_grid->addWidget(check(
                             saving, 116, "Auto Save Image", [] { return auto_save_fits != 0; },
                             [] { auto_save_fits = !auto_save_fits; }),
        2, 0);
    auto* numbers = new QHBoxLayout;
    numbers->addWidget(label("Last File no.", saving));
    numbers->addWidget(field(saving, 121, false, 60));
    numbers->addWidget(label("Directory", saving));
    numbers->addWidget(field(saving, 139, true, 100));
    save_grid->addLayout(numbers, 3, 0, 1, 2);
    save_grid->addWidget(check(
                             saving, 125, "Auto Exposure Mode", [] { return auto_exposure != 0; },
                             [] { auto_exposure = !auto_exposure; }),
        4, 0);
    grid->addWidget(saving, 2, 1);

    // ---- focus mode
    auto* focus = group("Focus Mode", this);
    auto* focus_grid = new QGridLayout(focus);
    auto* start = new QPushButton(QStringLiteral("Start"), focus);
    start->setObjectName(QStringLiteral("107"));
    start->setAutoDefault(false);
    connect(start, &QPushButton::clicked, this, [this] { start_focus(); });
    auto* stop = new QPushButton(QStringLiteral("Stop"), focus);
    stop->setObjectName(QStringLiteral("108"));
    stop->setAutoDefault(false);
    connect(stop, &QPushButton::clicked, this, [] { stopit = 1; });
    focus_grid->addWidget(start, 0, 0);
    focus_grid->addWidget(stop, 0, 1);
    focus_grid->addWidget(label("Max Value", focus), 1, 0);
    focus_grid->addWidget(field(focus, 109, true, 70), 1, 1);
    focus_grid->addWidget(label("Focus Frame", focus), 2, 0, 1, 2);
    focus_area_ = new FocusFrameView(focusbitmap_, focus);
    if (auto* qt = dynamic_cast<QtHost*>(&host()); qt != nullptr)
        qt->set_focus_view(focus_area_);
    focus_grid->addWidget(focus_area_, 3, 0, 4, 2);

    auto* gain = new QScrollBar(Qt::Vertical, focus);
    gain->setObjectName(QStringLiteral("124"));
    gain->setRange(10, 16);
    gain->setPageStep(1);
    gain->setFixedHeight(focus_side);
    connect(gain, &QScrollBar::actionTriggered, this, [this](int action) { EvVScroll(action); });
    focus_grid->addWidget(gain, 3, 2, 4, 1);
    auto* gain_labels = new QVBoxLayout;
    gain_labels->addWidget(label("1k", focus));
    gain_labels->addWidget(label("Stretch", focus));
    gain_labels->addWidget(label("10bit", focus));
    gain_labels->addStretch(1);
    gain_labels->addWidget(label("16bit", focus));
    focus_grid->addLayout(gain_labels, 3, 3, 4, 1);
    focus_grid->addWidget(field(focus, 130, true, 40), 7, 2, 1, 2);
    focus_grid->addWidget(check(
                              focus, 131, "Use Stretch on all Images", [] { return max_stretch != 0; },
                              [] { max_stretch = !max_stretch; }),
        8, 0, 1, 4);
    focus_grid->addWidget(check(
                              focus, 132, "Pause between focus frames", [] { return focus_wait != 0; },
                              [] { focus_wait = !focus_wait; }),
        9, 0, 1, 4);
    // The focus frame's star size and its course over the loop.
    hfd_plot_ = new FocusHfdPlot(focus);
    focus_grid->addWidget(hfd_plot_, 10, 0, 1, 4);
    grid->addWidget(focus, 0, 2, 3, 1);

    // ---- self-guiding
    auto* guiding = group("SelfGuiding Options", this);
    auto* guide_grid = new QGridLayout(guiding);
    guide_grid->addWidget(
        check(
            guiding, 135, "Self-Guide Next Exposure", [] { return selfguiding != 0; }, SetSelfGuiding),
        0, 0, 1, 2);
    guide_grid->addWidget(label("Value", guiding), 0, 2);
    guide_grid->addWidget(field(guiding, 133, true, 50), 0, 3);
    guide_grid->addWidget(field(guiding, 134, true, 90), 0, 4);
    guide_grid->addWidget(label("Resolution", guiding), 1, 0);
    guide_grid->addWidget(field(guiding, 136, true, 200), 1, 1, 1, 4);
    guide_grid->addWidget(check(
                              guiding, 138, "Take matching Darkframe",
                              [] { return selfguiding_darkframe != 0; }, SetSelfGuidingDarkframe),
        2, 0, 1, 2);
    guide_grid->addWidget(label("No of Guider frames", guiding), 2, 2, 1, 2);
    guide_grid->addWidget(field(guiding, 140, true, 50), 2, 4);
    guide_grid->addWidget(
        label("***Nb: Self-Guide only available with special Control Box", guiding), 3, 0, 1, 5);
    grid->addWidget(guiding, 3, 1, 1, 2);

    // ---- buttons
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* take = new QPushButton(QStringLiteral("Take Photo"), this);
    take->setObjectName(QStringLiteral("1"));
    take->setDefault(true);
    connect(take, &QPushButton::clicked, this, [this] { OK(); });
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("2"));
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
    auto* help = new QPushButton(QStringLiteral("Help"), this);
    help->setObjectName(QStringLiteral("9"));
    help->setAutoDefault(false);
    connect(help, &QPushButton::clicked, this, [this] { Dialog7Help(); });
    buttons->addWidget(take);
    buttons->addWidget(cancel);
    buttons->addWidget(help);
    grid->addLayout(buttons, 4, 0, 1, 3);

    EvInitDialog();
}

TVNDialog::~TVNDialog()
{
    if (auto* qt = dynamic_cast<QtHost*>(&host()); qt != nullptr)
        qt->set_focus_view(nullptr);
}

QAbstractButton* TVNDialog::radio(QWidget* parent, int id, const char* text, std::function<bool()> is_set,
    std::function<void()> act, bool sets_exposure)
{
    auto* button = new QRadioButton(QString::fromLatin1(text), parent);
    button->setObjectName(QString::number(id));
    shown_.push_back({ button, std::move(is_set) });
    connect(button, &QAbstractButton::clicked, this, [this, act = std::move(act), sets_exposure] {
        act();
        // The unit's start value wins over what the edit field still holds.
        if (sets_exposure)
            not_pressed = 0;
        ShowValues();
    });
    return button;
}

QAbstractButton* TVNDialog::check(
    QWidget* parent, int id, const char* text, std::function<bool()> is_set, std::function<void()> act)
{
    auto* button = new QCheckBox(QString::fromLatin1(text), parent);
    button->setObjectName(QString::number(id));
    shown_.push_back({ button, std::move(is_set) });
    connect(button, &QAbstractButton::clicked, this, [this, act = std::move(act)] {
        act();
        ShowValues();
    });
    return button;
}

QLineEdit* TVNDialog::field(QWidget* parent, int id, bool read_only, int width)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::number(id));
    edit->setReadOnly(read_only);
    edit->setMinimumWidth(width);
    return edit;
}

QScrollBar* TVNDialog::arrows(QWidget* parent, int id, std::function<void(bool down)> act, bool sets_exposure)
{
    // A scroll bar used only for its two arrows.
    auto* bar = new QScrollBar(Qt::Vertical, parent);
    bar->setObjectName(QString::number(id));
    bar->setFixedSize(18, 36);
    connect(bar, &QScrollBar::actionTriggered, this,
        [this, bar, act = std::move(act), sets_exposure](int action) {
            if (action == QAbstractSlider::SliderSingleStepAdd
                || action == QAbstractSlider::SliderPageStepAdd)
                act(true);
            else if (action == QAbstractSlider::SliderSingleStepSub
                || action == QAbstractSlider::SliderPageStepSub)
                act(false);
            if (sets_exposure)
                not_pressed = 0;
            ShowValues();
            // The bar shows the global, not where Qt would have moved it.
            bar->setSliderPosition(bar->value());
        });
    return bar;
}

void TVNDialog::set_field(int id, const QString& text)
{
    if (auto* edit = findChild<QLineEdit*>(QString::number(id)); edit != nullptr && edit->text() != text)
        edit->setText(text);
}

void TVNDialog::EvInitDialog()
{
    stopit = 1;
    max_value = 0;
    auto* bar = findChild<QScrollBar*>(QStringLiteral("104"));
    bar->setRange(0, max_exp);
    bar->setValue(exp_value);
    set_field(105, QString::number(exp_value));
    show_controls();
    refresh_focus_frame();
}

void TVNDialog::ShowValues()
{
    findChild<QScrollBar*>(QStringLiteral("104"))->setRange(0, max_exp);
    if (not_pressed)
        take_typed_exposure(findChild<QLineEdit*>(QStringLiteral("105"))->text().toStdString());
    set_field(105, QString::number(exp_value));
    set_field(120, QString::number(continuous_delay));
    set_field(112, QString::number(no_images));
    set_field(109, QString::number(max_value));
    not_pressed = 1;
    show_controls();
    update();
    focus_area_->update();
    // Held as a pointer: the plot has no meta-object of its own, so a search
    // by its type would find the first widget instead.
    hfd_plot_->update();
}

void TVNDialog::show_controls()
{
    auto set_bar = [this](const char* id, int low, int high, int at) {
        auto* bar = findChild<QScrollBar*>(QLatin1String(id));
        const QSignalBlocker quiet(bar);
        bar->setRange(low, high);
        bar->setValue(at);
        bar->setSliderPosition(at);
    };
    set_bar("104", 0, max_exp, exp_value);
    set_bar("111", 0, 99, no_images);
    set_bar("119", 0, 20, continuous_delay);
    set_bar("124", 10, 16, focus_stretch);

    set_field(120, QString::number(continuous_delay));
    set_field(121, QString::number(auto_save_num));
    set_field(105, QString::number(exp_value));
    set_field(112, QString::number(no_images));
    set_field(114, QString::fromStdString(DarkFileName));
    set_field(123, QString::fromStdString(FlatFileName));
    set_field(139, QString::fromLocal8Bit(auto_save_subdir));
    set_field(130, QString::number(focus_stretch));
    set_field(109, QString::number(max_value));

    for (const Shown& item : shown_) {
        // A group may hold a value none of its buttons offers.
        const bool exclusive = item.button->autoExclusive();
        item.button->setAutoExclusive(false);
        item.button->setChecked(item.is_set());
        item.button->setAutoExclusive(exclusive);
    }

    if (selfguiding) {
        set_field(133, QString::number(selfguiding_exp_value));
        set_field(140, QString::number(darkframes));
        set_field(134, QString::fromLatin1(selfguiding_unit_word()));
        set_field(136, QString::fromLatin1(selfguiding_resolution_text()));
    } else {
        set_field(133, QString());
        set_field(134, QString());
        set_field(136, QString());
        set_field(140, QString::number(darkframes));
    }
}

void TVNDialog::EvVScroll(int action)
{
    auto* bar = findChild<QScrollBar*>(QStringLiteral("124"));
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
        focus_stretch_scroll(StretchScroll::line_up, 0);
        break;
    case QAbstractSlider::SliderSingleStepAdd:
        focus_stretch_scroll(StretchScroll::line_down, 0);
        break;
    case QAbstractSlider::SliderPageStepSub:
        focus_stretch_scroll(StretchScroll::page_up, 0);
        break;
    case QAbstractSlider::SliderPageStepAdd:
        focus_stretch_scroll(StretchScroll::page_down, 0);
        break;
    case QAbstractSlider::SliderMove:
        focus_stretch_scroll(StretchScroll::thumb, bar->sliderPosition());
        break;
    default:
        break;
    }
    ShowValues();
    bar->setSliderPosition(focus_stretch);
}

void TVNDialog::OK()
{
    take_typed_exposure(findChild<QLineEdit*>(QStringLiteral("105"))->text().toStdString());
    // A running focus loop must end first ("Stop").
    if (stopit)
        done(1);
}

void TVNDialog::reject()
{
    // Ends a running focus loop before the dialog goes.
    stopit = 1;
    QDialog::reject();
}

void TVNDialog::Dialog7Help()
{
    host().message_box(camera_help_text, camera_help_caption);
}

void TVNDialog::start_focus()
{
    run_focus_loop(*this);
    ShowValues();
}

void TVNDialog::refresh_focus_frame()
{
    if (focussed) {
        QPixmap fresh;
        if (fresh.load(QString::fromStdString(display_bitmap_path(true))))
            focusbitmap_ = fresh;
    }
    // At once: the focus loop blocks in the next read-out.
    host().focus_frame_update();
    focus_area_->update();
}

QRect TVNDialog::focus_frame_rect() const
{
    return QRect(focus_area_->mapTo(this, QPoint(0, 0)), QSize(focus_side, focus_side));
}

void TVNDialog::showEvent(QShowEvent* event)
{
    show_controls();
    QDialog::showEvent(event);
}
