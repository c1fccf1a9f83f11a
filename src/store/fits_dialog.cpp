#include "store/fits_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

#include <cstdio>
#include <cstring>

#include "app/state.h"

namespace {
// Longest texts the dialog takes back, by control (the fields keep room for
// the terminator).
constexpr int line_most = 66;
constexpr int text_most = 253;
constexpr int stamp_most = 10;
constexpr int number_most = 18;

// FITS headers hold printable ASCII only: line breaks become spaces and
// anything beyond ASCII a question mark.
std::string header_text(const QString& text, int most)
{
    std::string out;
    for (const QChar c : text) {
        if (static_cast<int>(out.size()) >= most)
            break;
        const char16_t u = c.unicode();
        if (u == '\r')
            continue;
        out += (u < 0x20) ? ' ' : (u > 0x7E ? '?' : static_cast<char>(u));
    }
    return out;
}

void store(char* field, std::size_t capacity, const std::string& text)
{
    const std::size_t length = std::min(text.size(), capacity - 1);
    std::memcpy(field, text.data(), length);
    std::memset(field + length, 0, capacity - length);
}

// A field is named after its label, without the colon, for screen readers.
QString name_of(const char* label)
{
    QString name = QString::fromLatin1(label);
    if (name.endsWith(QLatin1Char(':')))
        name.chop(1);
    return name;
}

// Trailing blanks are padding in a FITS header, not text: a text read back
// from a file is shown without them, so what is typed goes after the text.
QString shown_text(const char* value)
{
    QString text = QString::fromLatin1(value);
    while (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    return text;
}

QWidget* control_by_id(QWidget* dialog, const char* id)
{
    return dialog->findChild<QWidget*>(QString::fromLatin1(id));
}

void read_number(QWidget* dialog, const char* id, double& value)
{
    const std::string text
        = header_text(static_cast<QLineEdit*>(control_by_id(dialog, id))->text(), number_most);
    double parsed = 0;
    if (std::sscanf(text.c_str(), "%lf", &parsed) == 1)
        value = parsed;
}
} // namespace

TFITSDialog::TFITSDialog(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("FITS DETAILS"));
    setModal(true);
    auto* grid = new QGridLayout(this);
    int row = 0;
    add_line(row++, "101", "Object:", FITS_Obj, line_most);
    add_line(row++, "102", "Observer:", FITS_Obs, line_most);
    add_line(row++, "109", "Origin:", FITS_Src, line_most);
    add_line(row++, "104", "Telescope:", FITS_Tel, line_most);
    add_line(row++, "105", "Instrumentation:", FITS_Ins, line_most);
    add_text(row++, "107", "History:", FITS_His);
    add_text(row++, "106", "Comments:", FITS_Com);
    add_line(row++, "103", "Date:", FITS_Date, stamp_most);
    add_line(row++, "110", "Time:", FITS_Time, stamp_most);
    add_number(row++, "113", "Focal Len (ins):", FITS_Focallen);
    add_number(row++, "114", "Aperture (Sq. ins):", FITS_Aperture);
    add_number(row++, "116", "Exposure (secs):", FITS_Exptime);
    add_line(row++, "115", "Filter:", FITS_Filter, line_most);

    difference_ = (FITS_Diff > -12 && FITS_Diff < 12) ? FITS_Diff : 0;
    hours_ = new QScrollBar(Qt::Horizontal, this);
    hours_->setObjectName(QStringLiteral("111"));
    hours_->setRange(-11, 11);
    hours_->setSingleStep(1);
    hours_->setPageStep(1);
    hours_->setValue(difference_);
    hours_->setAccessibleName(QStringLiteral("Time Difference to UT in Hrs"));
    hours_shown_ = new QLabel(this);
    hours_shown_->setObjectName(QStringLiteral("112"));
    hours_shown_->setMinimumWidth(30);
    connect(hours_, &QScrollBar::valueChanged, this, [this](int value) {
        difference_ = value;
        show_difference();
    });
    show_difference();
    auto* hours_row = new QHBoxLayout;
    hours_row->addWidget(hours_, 1);
    hours_row->addWidget(hours_shown_);
    grid->addWidget(new QLabel(QStringLiteral("Time Difference to UT in Hrs:"), this), row, 0);
    grid->addLayout(hours_row, row++, 1);

    auto* eight = new QCheckBox(QStringLiteral("8 bit integer (16 bit default)"), this);
    eight->setObjectName(QStringLiteral("108"));
    eight->setChecked(eightbit != 0);
    connect(eight, &QCheckBox::toggled, this, [](bool on) { eightbit = on ? 1 : 0; });
    grid->addWidget(eight, row++, 1);
    auto* unsigned_format = new QCheckBox(QStringLiteral("Unsigned Integer Format"), this);
    unsigned_format->setObjectName(QStringLiteral("117"));
    unsigned_format->setChecked(FITS_SBIG != 0);
    connect(unsigned_format, &QCheckBox::toggled, this, [](bool on) { FITS_SBIG = on ? 1 : 0; });
    grid->addWidget(unsigned_format, row++, 1);

    auto* buttons = new QHBoxLayout;
    auto* go_on = new QPushButton(QStringLiteral("Continue"), this);
    go_on->setObjectName(QStringLiteral("1"));
    go_on->setDefault(true);
    auto* abort = new QPushButton(QStringLiteral("Abort"), this);
    abort->setObjectName(QStringLiteral("2"));
    connect(go_on, &QPushButton::clicked, this, &TFITSDialog::accept);
    connect(abort, &QPushButton::clicked, this, &TFITSDialog::reject);
    buttons->addStretch(1);
    buttons->addWidget(go_on);
    buttons->addWidget(abort);
    grid->addLayout(buttons, row, 0, 1, 2);
}

QLineEdit* TFITSDialog::add_line(int row, const char* id, const char* label, const char* value, int most)
{
    auto* edit = new QLineEdit(shown_text(value), this);
    edit->setObjectName(QString::fromLatin1(id));
    edit->setAccessibleName(name_of(label));
    edit->setMaxLength(most);
    auto* grid = static_cast<QGridLayout*>(layout());
    grid->addWidget(new QLabel(QString::fromLatin1(label), this), row, 0);
    grid->addWidget(edit, row, 1);
    return edit;
}

QPlainTextEdit* TFITSDialog::add_text(int row, const char* id, const char* label, const char* value)
{
    auto* edit = new QPlainTextEdit(shown_text(value), this);
    edit->setObjectName(QString::fromLatin1(id));
    edit->setAccessibleName(name_of(label));
    // Tab goes on to the next field, as in every other field of the dialog.
    edit->setTabChangesFocus(true);
    edit->setFixedHeight(60);
    auto* grid = static_cast<QGridLayout*>(layout());
    grid->addWidget(new QLabel(QString::fromLatin1(label), this), row, 0, Qt::AlignTop);
    grid->addWidget(edit, row, 1);
    return edit;
}

QLineEdit* TFITSDialog::add_number(int row, const char* id, const char* label, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%f", value);
    return add_line(row, id, label, text, number_most);
}

void TFITSDialog::show_difference()
{
    hours_shown_->setText(QString::number(difference_));
}

void TFITSDialog::accept()
{
    auto line = [this](const char* id, int most) {
        return header_text(static_cast<QLineEdit*>(control_by_id(this, id))->text(), most);
    };
    auto text = [this](const char* id) {
        return header_text(static_cast<QPlainTextEdit*>(control_by_id(this, id))->toPlainText(), text_most);
    };
    store(FITS_Obj, sizeof FITS_Obj, line("101", line_most));
    store(FITS_Obs, sizeof FITS_Obs, line("102", line_most));
    store(FITS_Src, sizeof FITS_Src, line("109", line_most));
    store(FITS_Tel, sizeof FITS_Tel, line("104", line_most));
    store(FITS_Ins, sizeof FITS_Ins, line("105", line_most));
    store(FITS_His, sizeof FITS_His, text("107"));
    store(FITS_Com, sizeof FITS_Com, text("106"));
    store(FITS_Date, sizeof FITS_Date, line("103", stamp_most));
    store(FITS_Time, sizeof FITS_Time, line("110", stamp_most));
    store(FITS_Filter, sizeof FITS_Filter, line("115", line_most));
    read_number(this, "113", FITS_Focallen);
    read_number(this, "114", FITS_Aperture);
    read_number(this, "116", FITS_Exptime);
    FITS_Diff = difference_;
    QDialog::accept();
}
