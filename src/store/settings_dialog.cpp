#include "store/settings_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <optional>
#include <vector>

#include "app/messages.h"
#include "app/state.h"
#include "indi/indi_telescope_link.h"
#include "store/settings_values.h"
#include "ui/indi_panels.h"


namespace {
QGroupBox* group(const char* title, QWidget* parent)
{
    auto* box = new QGroupBox(QString::fromLatin1(title), parent);
    new QVBoxLayout(box);
    return box;
}

std::optional<int> read_number(QLineEdit* field)
{
    bool ok = false;
    const int value = field->text().trimmed().toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}
} // namespace

TINIDialog::TINIDialog(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Set Program Defaults"));
    setObjectName(QStringLiteral("17"));
    auto* grid = new QGridLayout(this);

    // ---- left columns: guide star mask, background, interface, port, training time
    auto* mask = group("Radius of Guide Star Mask", this);
    for (int i = 0; const int radius : { 7, 8, 9, 11, 13, 15 }) {
        mask->layout()->addWidget(radio(
            17130 + i++, (std::to_string(radius) + " Pixels").c_str(),
            [radius] { return star_mask == radius; }, [radius] { star_mask = radius; }));
    }
    grid->addWidget(mask, 0, 0, 2, 1);

    struct LetterChoice {
        int id;
        const char* text;
        char letter;
    };
    auto* background = group("Background Image Area", this);
    for (const LetterChoice& b : { LetterChoice { 17121, "Lt Gray", 'l' }, LetterChoice { 17120, "Red", 'r' },
             LetterChoice { 17122, "Dark Gray", 'g' } }) {
        const char letter = b.letter;
        background->layout()->addWidget(radio(
            b.id, b.text, [letter] { return default_back == letter; },
            [letter] {
                set_default_back(letter);
                back_changed = 1;
            }));
    }
    grid->addWidget(background, 2, 0);

    auto* interface = group("Meade Interface", this);
    for (const LetterChoice& l : { LetterChoice { 17127, "LX200 (Tm)", 'l' },
             LetterChoice { 17128, "Control Box", 'b' }, LetterChoice { 17129, "None", 'n' } }) {
        const char letter = l.letter;
        interface->layout()->addWidget(radio(
            l.id, l.text, [letter] { return telescope == letter; }, [letter] { telescope = letter; }));
    }
    // A mount on an INDI server, beside the two serial links.
    QAbstractButton* indi = radio(
        0, "INDI", [] { return telescope == indi_telescope_kind; }, [] { telescope = indi_telescope_kind; });
    indi->setObjectName(QStringLiteral("indi_interface"));
    interface->layout()->addWidget(indi);
    grid->addWidget(interface, 0, 1);

    auto* ports = group("Select Com Port", this);
    for (int i = 1; i <= 5; ++i) {
        const char letter = static_cast<char>('0' + i);
        ports->layout()->addWidget(radio(
            17160 + i, ("Com " + std::to_string(i)).c_str(), [letter] { return slewcom == letter; },
            [letter] { slewcom = letter; }));
    }
    grid->addWidget(ports, 1, 1, 2, 1);

    struct NumberChoice {
        int id;
        const char* text;
        int value;
    };
    auto* training_time = group("Guide Training time", this);
    for (const NumberChoice& t : { NumberChoice { 17106, "1 Sec", 1 }, NumberChoice { 17107, "2 Sec", 2 },
             NumberChoice { 17108, "4 Sec", 4 } }) {
        const int seconds = t.value;
        training_time->layout()->addWidget(radio(
            t.id, t.text, [seconds] { return slewdefault == seconds; },
            [seconds] { slewdefault = seconds; }));
    }
    grid->addWidget(training_time, 3, 0, 1, 2);

    // ---- middle column: guiding numbers and guiding options
    auto* numbers = new QGroupBox(this);
    auto* number_grid = new QGridLayout(numbers);
    int row = 0;
    for (const auto& [id, text] : { std::pair { 17116, "Pixels per sec in RA" },
             std::pair { 17117, "Pixels per sec in Dec" }, std::pair { 17114, "RA Backlash" },
             std::pair { 17115, "Dec Backlash" }, std::pair { 17136, "Hysteresis in RA (0-20)" },
             std::pair { 17137, "Hysteresis in Dec (0-20)" } }) {
        QLineEdit* field = number_field(id);
        field->setAccessibleName(QString::fromLatin1(text));
        number_grid->addWidget(field, row, 0);
        number_grid->addWidget(new QLabel(QString::fromLatin1(text), numbers), row, 1);
        ++row;
    }
    auto* manual = new QPushButton(QStringLiteral("Set Manually"), numbers);
    manual->setObjectName(QStringLiteral("17118"));
    manual->setAutoDefault(false);
    connect(manual, &QPushButton::clicked, this, [this] {
        set_manually();
        refresh();
    });
    number_grid->addWidget(manual, row, 0, 1, 2);
    grid->addWidget(numbers, 0, 2, 2, 1);

    auto* options = new QWidget(this);
    auto* option_list = new QVBoxLayout(options);
    option_list->setContentsMargins(0, 0, 0, 0);
    option_list->addWidget(check(
        17111, "1 Sec Delay in Focus Mode", [] { return focus_delay == 1; },
        [] { focus_delay = focus_delay == 1 ? 0 : 1; }));
    option_list->addWidget(check(
        17138, "Ignore drift < 1 pixel", [] { return ignore_small == 1; },
        [] { ignore_small = ignore_small == 1 ? 0 : 1; }));
    auto* interrupts = group("Disable Interrupts", options);
    interrupts->layout()->addWidget(check(
        17139, "during Download", [] { return disable_interrupts == 1; },
        [] { disable_interrupts = disable_interrupts == 1 ? 0 : 1; }));
    option_list->addWidget(interrupts);
    option_list->addWidget(check(
        17102, "Swap n/s direction", [] { return n != 'n'; }, swap_north_south));
    option_list->addWidget(check(
        17103, "Swap e/w direction", [] { return e != 'e'; }, swap_east_west));
    option_list->addWidget(new QLabel(QStringLiteral("Apply correction to"), options));
    option_list->addWidget(check(
        17104, "HighRes Images", [] { return apply_correction != 0; },
        [] { apply_correction = apply_correction ? 0 : 1; }));
    option_list->addWidget(new QLabel(QStringLiteral("70ms delay when changing"), options));
    option_list->addWidget(check(
        17110, "correction direction", [] { return Losmandy_pause != 0; },
        [] { Losmandy_pause = Losmandy_pause ? 0 : 1; }));
    grid->addWidget(options, 2, 2, 2, 1);

    // ---- right column: auto-save folder, debug, pause, FITS format
    auto* right = new QVBoxLayout;
    auto* subdir_box = new QGroupBox(QStringLiteral("Autosave Sub-Directory"), this);
    auto* subdir_column = new QVBoxLayout(subdir_box);
    auto* subdir = new QLineEdit(subdir_box);
    subdir->setObjectName(QStringLiteral("17147"));
    subdir->setMaxLength(79);
    subdir->setAccessibleName(QStringLiteral("Autosave Sub-Directory"));
    subdir->setMinimumWidth(170);
    subdir_column->addWidget(subdir);
    auto* set_dir = new QPushButton(QStringLiteral("Set Directory"), subdir_box);
    set_dir->setObjectName(QStringLiteral("17148"));
    set_dir->setAutoDefault(false);
    connect(set_dir, &QPushButton::clicked, this, [this] { set_directory(); });
    subdir_column->addWidget(set_dir);
    right->addWidget(subdir_box);

    // The pause buttons, the debug mode and the FITS format leave the number
    // fields unread.
    right->addWidget(check(
        17105, "Debug Info Mode", [] { return Debug_Mode != 0; },
        [] {
            Debug_Mode = Debug_Mode ? 0 : 1;
            Show_Interface_Details = Debug_Mode;
        },
        false));

    auto* pause = group("Delay Before Exposure", this);
    for (const NumberChoice& p : { NumberChoice { 17153, "10 Seconds", 10 },
             NumberChoice { 17154, "15 Seconds", 15 }, NumberChoice { 17155, "20 Seconds", 20 } }) {
        const int seconds = p.value;
        pause->layout()->addWidget(radio(
            p.id, p.text, [seconds] { return pause_secs == seconds; }, [seconds] { pause_secs = seconds; },
            false));
    }
    right->addWidget(pause);

    right->addWidget(check(
        17123, "FITS Unsigned Integer", [] { return FITS_SBIG != 0; }, [] { FITS_SBIG = FITS_SBIG ? 0 : 1; },
        false));
    right->addStretch(1);
    grid->addLayout(right, 0, 3, 4, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* save = new QPushButton(QStringLiteral("Save Changes"), this);
    save->setObjectName(QStringLiteral("1"));
    save->setAutoDefault(false);
    connect(save, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(save);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("2"));
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 5, 0, 1, 4);
    grid->addWidget(new IndiSettingsBox(this), 4, 0, 1, 4);

    refresh();
}

QAbstractButton* TINIDialog::radio(
    int id, const char* text, std::function<bool()> is_set, std::function<void()> act, bool manual)
{
    auto* button = new QRadioButton(QString::fromLatin1(text), this);
    button->setObjectName(QString::number(id));
    connect_action(button, std::move(is_set), std::move(act), manual);
    return button;
}

QAbstractButton* TINIDialog::check(
    int id, const char* text, std::function<bool()> is_set, std::function<void()> act, bool manual)
{
    auto* button = new QCheckBox(QString::fromLatin1(text), this);
    button->setObjectName(QString::number(id));
    connect_action(button, std::move(is_set), std::move(act), manual);
    return button;
}

void TINIDialog::connect_action(
    QAbstractButton* button, std::function<bool()> is_set, std::function<void()> act, bool manual)
{
    shown_.push_back({ button, std::move(is_set) });
    connect(button, &QAbstractButton::clicked, this, [this, act = std::move(act), manual] {
        act();
        // Most controls also take the number fields, so typed values are
        // kept whichever control the user goes on to.
        if (manual)
            set_manually();
        refresh();
    });
}

QLineEdit* TINIDialog::number_field(int id)
{
    auto* field = new QLineEdit(this);
    field->setObjectName(QString::number(id));
    field->setMaxLength(6);
    field->setMaximumWidth(60);
    return field;
}

void TINIDialog::showEvent(QShowEvent* event)
{
    refresh();
    QDialog::showEvent(event);
}

void TINIDialog::refresh()
{
    for (const Shown& item : shown_) {
        // A group may hold a value none of its buttons offers: then none is
        // checked, which an exclusive group would refuse.
        const bool exclusive = item.button->autoExclusive();
        item.button->setAutoExclusive(false);
        item.button->setChecked(item.is_set());
        item.button->setAutoExclusive(exclusive);
    }
    for (const auto& [id, value] :
        { std::pair { 17116, slewx }, std::pair { 17117, slewy }, std::pair { 17114, backlashx },
            std::pair { 17115, backlashy }, std::pair { 17136, hystx }, std::pair { 17137, hysty } })
        findChild<QLineEdit*>(QString::number(id))->setText(QString::number(value));
    findChild<QLineEdit*>(QStringLiteral("17147"))->setText(QString::fromLocal8Bit(auto_save_subdir));
}

void TINIDialog::set_manually()
{
    auto field = [this](int id) { return read_number(findChild<QLineEdit*>(QString::number(id))); };
    ManualValues values;
    values.slewx = field(17116);
    values.slewy = field(17117);
    values.backlashx = field(17114);
    values.backlashy = field(17115);
    values.hystx = field(17136);
    values.hysty = field(17137);
    const std::string refusal = apply_manual_values(values);
    if (!refusal.empty())
        messages(50, refusal.c_str());
}

void TINIDialog::set_directory()
{
    const std::string name = findChild<QLineEdit*>(QStringLiteral("17147"))->text().left(79).toStdString();
    if (!set_auto_save_subdir(name)) {
        // The typed name stays in the field to be corrected.
        messages(50, "Sorry, you have entered an invalid subdirectory.");
        return;
    }
    set_manually();
    refresh();
}
