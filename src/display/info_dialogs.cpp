#include "display/info_dialogs.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>

#include <cstdio>
#include <vector>

#include "app/data_root.h"
#include "app/state.h"
#include "store/image_io.h"
#include "telescope/guide_steps.h"

TInfoDialog* TIN = nullptr;

// ------------------------------------------------------------ progress

TProgressDialog::TProgressDialog(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Filter Progress"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->addWidget(new QLabel(QStringLiteral("0%"), this));
    bar_ = new QScrollBar(Qt::Horizontal, this);
    bar_->setObjectName(QStringLiteral("101"));
    // A bar to watch, not to drag.
    bar_->setAttribute(Qt::WA_TransparentForMouseEvents);
    bar_->setFocusPolicy(Qt::NoFocus);
    bar_->setMinimumWidth(200);
    layout->addWidget(bar_, 1);
    layout->addWidget(new QLabel(QStringLiteral("100%"), this));
    setModal(false);
    EvInitDialog();
}

void TProgressDialog::EvInitDialog()
{
    bar_->setRange(0, 256);
    bar_->setValue(0);
    setWindowTitle(QString::fromLocal8Bit(progress_caption));
}

void TProgressDialog::ProgressUpdate()
{
    bar_->setValue(progress);
    if (changecaption) {
        setWindowTitle(QString::fromLocal8Bit(progress_caption));
        changecaption = 0;
    }
}

// ------------------------------------------------------------ guiding information

TInfoDialog::TInfoDialog(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Guiding Info"));
    // Fixed positions: the guide frame is painted at (75, 66) beside them.
    setFixedSize(242, 204);
    auto* offsets = new QLabel(QStringLiteral("Offsets from top left corner of displayed frame"), this);
    offsets->setWordWrap(true);
    offsets->setGeometry(6, 4, 230, 34);
    auto* frame_label = new QLabel(QStringLiteral("Guiding Frame"), this);
    frame_label->setGeometry(picture_x, 44, 128, 18);
    const char* names[] = { "x", "y", "dx", "dy" };
    for (int i = 0; i < 4; ++i) {
        auto* label = new QLabel(QString::fromLatin1(names[i]), this);
        label->setGeometry(4, picture_y + i * 30 + 4, 18, 18);
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::number(101 + i));
        edit->setReadOnly(true);
        edit->setGeometry(22, picture_y + i * 30, 48, 24);
    }
    progress_ = new QLabel(this);
    progress_->setObjectName(QStringLiteral("progress"));
    progress_->setGeometry(6, picture_y + 132, 230, 20);
    progress_->hide();
    setModal(false);
    InfoCaption();
}

void TInfoDialog::InfoCaption()
{
    setWindowTitle(QString::fromLocal8Bit(info_caption));
    progress_->setText(QString::fromLocal8Bit(info_caption));
    progress_->setVisible(training != 0);
    setFixedSize(242, training ? 226 : 204);
}

void TInfoDialog::InfoUpdate()
{
    auto show = [this](int id, double value) {
        findChild<QLineEdit*>(QString::number(id))->setText(QString::fromStdString(offset_text(value)));
    };
    show(101, xcent + xcentdec * 0.1);
    show(102, ycent + ycentdec * 0.1);
    show(103, x3 * 0.001);
    show(104, y3 * 0.001);
    update();
}

void TInfoDialog::paintEvent(QPaintEvent* event)
{
    QDialog::paintEvent(event);
    if (!got_guide_image)
        return;
    // The frame on disk is newer than the one shown whenever a guide frame
    // has been taken since; read it again each time.
    // Read as every other load: a pipe or a folder in its place is refused
    // at once instead of blocking the paint.
    static std::vector<unsigned char> bytes;
    QPixmap fresh;
    if (read_whole_file(data_path("quillonf.bmp"), bytes)
        && fresh.loadFromData(bytes.data(), static_cast<uint>(bytes.size()), "BMP"))
        guide_bitmap_ = fresh;
    QPainter painter(this);
    if (!guide_bitmap_.isNull())
        painter.drawPixmap(picture_x, picture_y, guide_bitmap_);
    painter.setPen(QPen(Qt::red, 1, Qt::SolidLine));
    painter.drawLine(guide_x1 + 59, guide_y1 + 66, guide_x1 + 99, guide_y1 + 66);
    painter.drawLine(guide_x1 + 79, guide_y1 + 46, guide_x1 + 79, guide_y1 + 86);
}
