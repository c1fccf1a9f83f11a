#include "app/command_table.h"

#include <QAction>
#include <QEvent>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QToolBar>

#include <algorithm>
#include <cstring>
#include <map>

#include "app/command_rules.h"
#include "app/quillon_window.h"
#include "camera/autofocus_window.h"
#include "display/image_scale_dialog.h"
#include "telescope/guide_commands.h"

namespace {
// Turns a member handler into a table entry.
#define HANDLER(member) [](TQuillonWindow& w) { w.member(); }

// Exit closes the frame; the windows go when it is destroyed.
void close_frame(TQuillonWindow& w)
{
    w.window()->close();
}

const std::vector<CommandRow> rows = {
    // files
    { 24332, HANDLER(CmFileOpen) },
    { 24333, HANDLER(CmFileSave) },
    { 24334, HANDLER(CmTifSave) },
    { 24335, HANDLER(CmFITSSave) },
    { 24336, HANDLER(CmSaveAsFits) },
    { 13, HANDLER(CmFileDelete) },
    { 19, HANDLER(CmEditFITSText) },
    { 104, HANDLER(CmDarkFile) },
    { 122, HANDLER(CmFlatField) },
    { 124, HANDLER(CmFileComparison) },
    { 121, HANDLER(CmINI) },
    { 12, HANDLER(VN_Control) },
    { 21, HANDLER(CmPickStar) },
    { 25, HANDLER(CmFocusFrame) },
    { 26, HANDLER(CmFocusFrameReset) },
    { cm_image_scale, open_image_scale_dialog },
    { cm_autofocus, open_autofocus },
    { 22, HANDLER(CmTrainGuide) },
    { 23, HANDLER(CmStartGuide) },
    { 24, HANDLER(CmControl) },
    { cm_guide_graph, CmGuideGraph },
    { cm_guide_options, CmGuideOptions },
    { 114, HANDLER(CmPrintSetup) },
    { 116, HANDLER(CmPrint) },
    { 24310, close_frame },
    // edit
    { 9, HANDLER(undo_restore_option) },
    { 24359, HANDLER(CmCopy) },
    // view
    { 301, HANDLER(CmFit) },
    { 303, HANDLER(CmGeo) },
    { 123, HANDLER(CmBig) },
    { 118, HANDLER(CmColPal) },
    { 119, HANDLER(CmStretchPal) },
    { 726, HANDLER(CmStretchMax) },
    { 302, HANDLER(CmMirror) },
    { 14, HANDLER(CmPhotometry) },
    { 125, HANDLER(blink_comparison) },
    { 15, HANDLER(Cm3D) },
    { 16, HANDLER(CmRowInt) },
    { 17, HANDLER(Info) },
    { 20, HANDLER(CmViewFITSText) },
    { cm_night_vision, CmNightVision },
    // on the bar itself
    { 8, HANDLER(label_image) },
    { 6, HANDLER(CmHistogram) },
    // contrast
    { 1, HANDLER(CmContrastNormal) },
    { 2, HANDLER(CmContrastPower) },
    { 101, HANDLER(CmContrastSine) },
    { 120, HANDLER(CmContrastBackGround) },
    { 117, HANDLER(CmContrastVarnel) },
    { 102, HANDLER(CmContrastLog) },
    { 103, HANDLER(CmContrastAntiLog) },
    { 105, HANDLER(CmContrastInvert) },
    // filters
    { 106, HANDLER(unsharp_enhance) },
    { 107, HANDLER(highlow_enhance) },
    { 108, HANDLER(highhigh_enhance) },
    { 109, HANDLER(smoothsharp_enhance) },
    { 3, HANDLER(median_enhance) },
    { 4, HANDLER(gaussian_enhance) },
    { 5, HANDLER(lowpass_enhance) },
    { 7, HANDLER(basrelief_enhance) },
    { 18, HANDLER(gradient_enhance) },
    { 27, HANDLER(venetian_enhance) },
    // merging
    { 110, HANDLER(Subtract_Image) },
    { 115, HANDLER(Flat_Image) },
    { 111, HANDLER(Add_Image) },
    { 126, HANDLER(Average_Image) },
    // help
    { 112, HANDLER(Help_Using) },
    { 113, HANDLER(Help_About) },
    // internal and control-bar only
    { 888, HANDLER(contrast_stretch) },
    { 889, HANDLER(GuideTelescope) },
    { 891, HANDLER(PaintIt) },
    { 925, HANDLER(BlinkOriginal) },
    { 926, HANDLER(BlinkComparison) },
    { 1901, HANDLER(CmMaxStretchOn) },
    { 1902, HANDLER(CmMaxStretchOff) },
};
#undef HANDLER

const std::map<int, const char*> hints = {
    { 1, "Adjust the Contrast manually. setting max and min values" },
    { 2, "Power Law contrast stretch" },
    { 3, "Median Filter - use to reduce electronic noise in image" },
    { 12, "Main Camera Control" },
    { 14, "Photometry of image - caution, use with unstretched images " },
    { 24, "Control a LX200 telescope or Autoguider port" },
    { 104, "Select a file to be used as a dark frame for automatic processing" },
    { 106, "Apply an unsharp mask - good for enhancing planetary detail" },
    { 110, "Subtract a dark frame from currently displayed image" },
    { 111, "Merge current image with one already saved" },
    { 115, "Apply a flatfield to the currently displayed image" },
    { 117, "Apply a non-linear stretch - good for nebulae" },
    { 120, "Automatically make background black" },
    { 121, "View and change most program variables" },
    { 122, "Select a Flatfield frame to be used for automatic processing" },
    { 1901, "Use Max Palette Stretch on all Images" },
    { 1902, "Only use Max Palette Stretch on Focus Images" },
    { cm_image_scale, "Set the telescope's focal length, for sizes in arcseconds" },
    { cm_autofocus, "Find focus with the telescope's focuser" },
    { 24332, "Get an image from Disk" },
    { 24333, "Save Image in Raw data format" },
    { 24335, "Save Image as a FITs file" },
    { cm_guide_graph, "Guiding errors, corrections and RMS, live" },
    { cm_guide_options, "Dithering, the wait for a star behind a cloud, the guiding graph" },
    { cm_night_vision, "Dim red on black, to keep the eyes dark-adapted" },
};

// A menu item; number 0 is a separator.
struct Item {
    int number;
    const char* text;
};
constexpr Item separator { 0, nullptr };

// A menu title, or a command on the bar itself when `number` is set.
struct BarEntry {
    const char* title;
    int number;
    std::vector<Item> items;
};

const std::vector<BarEntry> menu_bar = {
    { "&File", 0,
        { { 24332, "&Open...\tCTL+O" }, { 24333, "&Save...\tCTL+S" }, { 24334, "Save as &Tiff file..." },
            { 24335, "S&ave as FITS file..." }, { 24336, "&Quick Save as FITS...\tCtl+Q " }, separator,
            { 13, "&Delete File..." }, { 19, "&Load/Edit AutoSave FITS text" },
            { 104, "Select Dark &Frame..." }, { 122, "Select Auto-Flat File..." },
            { 124, "Load Comparison Image" }, separator, { 121, "Set Program Defa&ults" },
            { 12, "Zq Camera &Interface\tCTL+Z" }, { 21, "Pic&k Guide Star\tCTL+P" },
            { 25, "Focus Frame Centre\tCTL+W" }, { 26, "Default Focus Frame Centre" },
            { cm_image_scale, "Image Scale..." }, { cm_autofocus, "Autofocus..." }, separator,
            { 22, "Train Auto-Guiding" }, { 23, "Start Auto-Guiding" }, { 24, "Telescope &Control" },
            { cm_guide_graph, "Guiding &Graph" }, { cm_guide_options, "Guiding &Options..." }, separator, { 114, "P&rint setup..." }, { 116, "&Print..." }, separator, { 24310, "E&xit" } } },
    { "&Edit", 0, { { 9, "&Undo Last Filter\tCTL+U" }, { 24359, "&Copy\tShift+Ins" } } },
    { "&View", 0,
        { { 301, "&Fit to window" }, { 303, "Resample to zq1 &Geometry" }, { 123, "Enlarge by 50%" },
            { 118, "False Colour P&alette" }, { 119, "&Auto contrast stretch image" },
            { 726, "Max Palette Stretch\tCTL+M" }, { 302, "&Mirror Image" }, separator,
            { 14, "&Photometry of Image" }, separator, { 125, "Blink Comparison" }, separator,
            { 15, "3-D &Intensity Plot" }, { 16, "Intensity Plot of Current R&ow" }, separator,
            { 17, "Processing &History" }, { 20, "&Show/Edit Current Image FITS details" }, separator,
            { cm_night_vision, "&Night Vision\tCTL+R" } } },
    { "&Label", 8, {} },
    { "&Contrast", 0,
        { { 1, "&Normal Stretch\tCTL+N" }, { 2, "&Power Law Stretch" }, { 101, "&Sine Law Stretch" },
            { 120, "&Remove Background\tCTL+B " }, { 117, "N&on-Linear Stretch" },
            { 102, "&Logarithmic Stretch" }, { 103, "&Antilogarithmic Stretch" },
            { 105, "&Invert image to Negative" } } },
    { "Filter&s ", 0,
        { { 106, "&Unsharp masking HPF" }, { 107, "&High Pass, Low Power" },
            { 108, "High Pass, High &Power" }, { 109, "&Smoother/Sharper Filter" }, separator,
            { 3, "&Median Filter - Noise Reduction" }, { 4, "&Gaussian Smoother Filter" },
            { 5, "Low Pass &Weighted Mean &Smoother" }, separator, { 7, "&Bas Relief Generator" },
            { 18, "Gradient &Filter" }, { 27, "&Vertical Smoothing" } } },
    { "&Merging", 0,
        { { 110, "&Subtract Image (Dark Frame)" }, { 115, "Apply &Flat Field" }, separator,
            { 111, "Merge two Images &together" }, { 126, "Average &with current Image" } } },
    { "&Histogram", 6, {} },
    { "&Help", 0, { { 112, "Help in using QUILLON" }, { 113, "About QUILLON" } } },
};

std::function<bool(int)> spy;

// A command item: named by its number, hint as status tip, sends its number.
QAction* command_action(QObject* parent, int number, const QString& text, TQuillonWindow& window)
{
    auto* action = new QAction(text, parent);
    action->setObjectName(QString::number(number));
    action->setStatusTip(command_hint(number));
    action->setCheckable(command_is_checkable(number));
    // No QAction shortcut: the text after the tab is display text, and the
    // keys are the frame's accelerators.
    QObject::connect(action, &QAction::triggered, &window, [&window, number] { window.dispatch(number); });
    return action;
}
} // namespace

const std::vector<CommandRow>& command_table()
{
    return rows;
}

CommandHandler command_handler(int number)
{
    const auto row
        = std::find_if(rows.begin(), rows.end(), [&](const CommandRow& r) { return r.number == number; });
    return row != rows.end() ? row->handler : nullptr;
}

QString command_hint(int number)
{
    const auto hint = hints.find(number);
    return hint != hints.end() ? QString::fromLatin1(hint->second) : QString();
}

const std::vector<Accelerator>& accelerator_table()
{
    // Ctrl+letter rows stand for the control characters of the keys; Alt+x
    // is asked for in both cases, so the shifted key is bound as well.
    static const std::vector<Accelerator> keys = {
        { QKeySequence(Qt::CTRL | Qt::Key_Z), 12 },
        { QKeySequence(Qt::ALT | Qt::Key_X), 24310 },
        { QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_X), 24310 },
        { QKeySequence(Qt::CTRL | Qt::Key_H), 6 },
        { QKeySequence(Qt::CTRL | Qt::Key_L), 8 },
        { QKeySequence(Qt::CTRL | Qt::Key_Q), 24336 },
        { QKeySequence(Qt::CTRL | Qt::Key_P), 21 },
        { QKeySequence(Qt::CTRL | Qt::Key_W), 25 },
        { QKeySequence(Qt::CTRL | Qt::Key_S), 24333 },
        { QKeySequence(Qt::CTRL | Qt::Key_U), 9 },
        { QKeySequence(Qt::CTRL | Qt::Key_N), 1 },
        { QKeySequence(Qt::CTRL | Qt::Key_B), 120 },
        { QKeySequence(Qt::CTRL | Qt::Key_O), 24332 },
        { QKeySequence(Qt::CTRL | Qt::Key_M), 726 },
        { QKeySequence(Qt::CTRL | Qt::Key_R), cm_night_vision },
        { QKeySequence(Qt::Key_Return), 726 },
        { QKeySequence(Qt::Key_Enter), 726 },
        // The desktop's key for help.
        { QKeySequence(Qt::Key_F1), 112 },
    };
    return keys;
}

namespace {
// "&Histogram" and "&Help" both underline H. The Histogram has its own key
// (Ctrl+H), so Alt+H opens the Help menu, whichever of the two the menu
// bar would have picked; Left from there reaches the Histogram.
class HelpMnemonic : public QObject {
public:
    HelpMnemonic(QMenuBar& bar, QAction* help)
        : QObject(&bar)
        , bar_(bar)
        , help_(help)
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != &bar_ || event->type() != QEvent::Shortcut)
            return false;
        const auto* shortcut = static_cast<QShortcutEvent*>(event);
        if (shortcut->key() != QKeySequence(Qt::ALT | Qt::Key_H))
            return false;
        bar_.setActiveAction(help_);
        return true;
    }

private:
    QMenuBar& bar_;
    QAction* help_;
};
} // namespace

void build_menu_bar(QMenuBar& bar, TQuillonWindow& window)
{
    for (const BarEntry& entry : menu_bar) {
        if (entry.number != 0) {
            bar.addAction(command_action(&bar, entry.number, QString::fromLatin1(entry.title), window));
            continue;
        }
        QMenu* menu = bar.addMenu(QString::fromLatin1(entry.title));
        for (const Item& item : entry.items) {
            if (item.number == 0)
                menu->addSeparator();
            else
                menu->addAction(command_action(menu, item.number, QString::fromLatin1(item.text), window));
        }
        QWidget* frame = bar.window();
        QObject::connect(
            menu, &QMenu::aboutToShow, menu, [frame, &window] { refresh_command_states(*frame, window); });
        if (std::strcmp(entry.title, "&Help") == 0)
            bar.installEventFilter(new HelpMnemonic(bar, menu->menuAction()));
    }
}

void install_accelerators(QMainWindow& frame, TQuillonWindow& window)
{
    for (const Accelerator& accel : accelerator_table()) {
        auto* shortcut = new QShortcut(accel.key, &frame);
        shortcut->setContext(Qt::WindowShortcut);
        shortcut->setObjectName(QStringLiteral("accel %1").arg(accel.number));
        const int number = accel.number;
        QObject::connect(
            shortcut, &QShortcut::activated, &window, [&window, number] { window.dispatch(number); });
    }
}

void refresh_command_states(QWidget& frame, const TQuillonWindow& window)
{
    const WindowFacts facts { window.Dib != nullptr, window.Fit };
    // Only the menu bar and the control bar carry command items; dialogs of
    // the frame keep their own controls.
    QList<QAction*> actions;
    if (auto* main = qobject_cast<QMainWindow*>(&frame)) {
        actions = main->menuBar()->findChildren<QAction*>();
        if (auto* bar = main->findChild<QToolBar*>(QStringLiteral("cb"), Qt::FindDirectChildrenOnly))
            actions += bar->findChildren<QAction*>();
    }
    for (QAction* action : actions) {
        bool numbered = false;
        const int number = action->objectName().toInt(&numbered);
        if (!numbered)
            continue;
        const CommandEnabler rule = command_enabler(number, facts);
        action->setEnabled(rule.enabled);
        if (rule.check >= 0)
            action->setChecked(rule.check != 0);
    }
}

void set_command_spy(std::function<bool(int)> s)
{
    spy = std::move(s);
}

bool TQuillonWindow::dispatch(int number)
{
    const CommandHandler handler = command_handler(number);
    if (handler == nullptr)
        return false;
    ++running_commands_;
    if (!spy || !spy(number))
        handler(*this);
    --running_commands_;
    // The handler may have changed a mode the items show.
    if (QWidget* frame = window(); frame != this)
        refresh_command_states(*frame, *this);
    return true;
}
