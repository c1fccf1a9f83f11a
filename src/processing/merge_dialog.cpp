#include "processing/merge_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "app/host.h"
#include "app/state.h"
#include "processing/calibration.h"

namespace {
QLineEdit* mark_edit(QWidget* parent, const char* id)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(id);
    edit->setReadOnly(true);
    edit->setMaximumWidth(70);
    return edit;
}

void show_number(QDialog* dialog, const char* id, int value)
{
    if (auto* edit = dialog->findChild<QLineEdit*>(id))
        edit->setText(QString::number(value));
}
} // namespace

TMergeDialog::TMergeDialog(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Merge Images"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* original = new QRadioButton(QStringLiteral("Original  Image"), this);
    original->setObjectName("101");
    auto* second = new QRadioButton(QStringLiteral("Merge Image"), this);
    second->setObjectName("102");
    auto* group = new QButtonGroup(this);
    group->addButton(original);
    group->addButton(second);
    // The radios only show which image the next click marks.
    connect(group, &QButtonGroup::buttonClicked, this, [this] { EvPaint(); });

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("x         y"), this), 0, 1, 1, 2);
    grid->addWidget(original, 1, 0);
    const struct {
        const char* id;
        const char* name;
        int row, column;
    } marks[] = { { "104", "Original Image x", 1, 1 }, { "106", "Original Image y", 1, 2 },
        { "105", "Merge Image x", 2, 1 }, { "107", "Merge Image y", 2, 2 } };
    grid->addWidget(second, 2, 0);
    for (const auto& m : marks) {
        QLineEdit* edit = mark_edit(this, m.id);
        edit->setAccessibleName(QString::fromLatin1(m.name));
        grid->addWidget(edit, m.row, m.column);
    }

    auto* average_box = new QCheckBox(QStringLiteral("Average"), this);
    average_box->setObjectName("103");
    connect(average_box, &QCheckBox::clicked, this, [this] {
        average = average ? 0 : 1;
        EvPaint();
    });
    auto* centre_box = new QCheckBox(QStringLiteral("Centre on Star"), this);
    centre_box->setObjectName("108");
    connect(centre_box, &QCheckBox::clicked, this, [this] {
        merge_centre = merge_centre ? 0 : 1;
        EvPaint();
    });
    grid->addWidget(average_box, 3, 0);
    grid->addWidget(centre_box, 3, 1, 1, 2);

    auto* merge_button = new QPushButton(QStringLiteral("Merge"), this);
    merge_button->setObjectName("1");
    merge_button->setAutoDefault(false);
    auto* cancel_button = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_button->setObjectName("2");
    cancel_button->setAutoDefault(false);
    auto* help_button = new QPushButton(QStringLiteral("Help"), this);
    help_button->setObjectName("9");
    help_button->setAutoDefault(false);
    connect(merge_button, &QPushButton::clicked, this, &TMergeDialog::MergeDo);
    connect(cancel_button, &QPushButton::clicked, this, &TMergeDialog::MergeKill);
    connect(help_button, &QPushButton::clicked, this, &TMergeDialog::MergeHelp);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(merge_button);
    buttons->addWidget(cancel_button);
    buttons->addWidget(help_button);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    EvPaint();
}

void TMergeDialog::EvPaint()
{
    show_number(this, "104", orig_x);
    show_number(this, "106", orig_y);
    show_number(this, "105", merge_x);
    show_number(this, "107", merge_y);
    findChild<QCheckBox*>("103")->setChecked(average != 0);
    findChild<QCheckBox*>("108")->setChecked(merge_centre != 0);
    findChild<QRadioButton*>(orig ? "101" : "102")->setChecked(true);
}

void TMergeDialog::MergeDo()
{
    // Still marking the base image: there is nothing to merge with yet.
    if (!finish_merge())
        return;
    emit merged();
    done(Accepted);
}

void TMergeDialog::MergeKill()
{
    reject();
}

void TMergeDialog::MergeHelp()
{
    host().message_box(
        "Mark the position in the displayed image by pressing the left Mouse button. Then load the "
        "image to be merged by using the File/Open Menu Option. Mark the position to be matched on, "
        "and press the MERGE button.\n\nCheck the Average box if you want an average rather than "
        "addition.",
        "Quillon - Control Merging");
}

void TMergeDialog::reject()
{
    // Cancel, Escape and the window's close box all end the merge.
    cancel_merge();
    QDialog::reject();
}
