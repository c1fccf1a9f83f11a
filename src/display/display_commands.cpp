// Display commands of the main window: rebuild, paint, view modes, copy, print.
#include "app/quillon_window.h"

#include <QClipboard>
#include <QDialogButtonBox>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>

#include <algorithm>

#include "app/host.h"
#include "app/messages.h"
#include "app/state.h"
#include "display/bitmap_file.h"
#include "display/night_vision_ui.h"
#include "display/palette.h"
#include "display/pipeline.h"
#include "processing/histogram.h"
#include "store/buffers.h"

namespace {
QVector<QRgb> colour_table(const PaletteEntry* entries, int count)
{
    QVector<QRgb> result;
    result.reserve(count);
    for (int i = 0; i < count; ++i)
        result.append(qRgb(entries[i].red, entries[i].green, entries[i].blue));
    return result;
}

std::unique_ptr<QImage> to_image(const DisplayBitmap& bitmap)
{
    auto dib = std::make_unique<QImage>(bitmap.width, bitmap.height, QImage::Format_Indexed8);
    if (dib->isNull())
        return nullptr;
    dib->setColorTable(colour_table(bitmap.palette.data(), bitmap.colours));
    for (int r = 0; r < bitmap.height; ++r)
        std::copy_n(
            &bitmap.pixels[static_cast<std::size_t>(r) * bitmap.width], bitmap.width, dib->scanLine(r));
    return dib;
}
} // namespace

void TQuillonWindow::image_prepare()
{
    if (!blink_it)
        DisplayImage();
    SetCaption(image_name.empty() ? nullptr : image_name.c_str());
    // The grey palette stands until the first bitmap brings its own.
    if (greyPal[255].red != 255)
        build_grey_palette();
    if (Palette.isEmpty())
        Palette = colour_table(greyPal, 256);
    DisplayBitmap unwritten;
    const bool written = write_bitmap(&unwritten) == 0;
    // Focus and guide frames go to their own file while the window keeps
    // the last ordinary frame; before the first ordinary frame there is
    // nothing to show, which is no failure worth a box in every guide step.
    const bool focus_file = focus_mode || tracking || training;
    const std::string shown = display_bitmap_path(training != 0);
    // A bitmap that could not be written (its message told why) is shown
    // from memory: the old file would put the previous image under the new
    // title.
    if (!written && focus_file == (training != 0)) {
        if (auto dib = to_image(unwritten))
            SetupFromDib(std::move(dib));
        return;
    }
    if ((focus_mode || tracking) && !training && !QFile::exists(QString::fromStdString(shown)))
        return;
    LoadBitmapFile(shown.c_str());
}

int TQuillonWindow::LoadBitmapFile(const char* name)
{
    DisplayBitmap bitmap;
    std::unique_ptr<QImage> dib;
    if (read_display_bitmap(name, bitmap))
        dib = to_image(bitmap);
    if (!dib) {
        messages(32);
        return 0;
    }
    SetupFromDib(std::move(dib));
    return 1;
}

void TQuillonWindow::SetupFromDib(std::unique_ptr<QImage> dib)
{
    Dib = std::move(dib);
    Palette = Dib->colorTable();
    Bitmap = QPixmap::fromImage(night_vision_display(*Dib));
    PixelWidth = Dib->width();
    PixelHeight = Dib->height();
    Colors = static_cast<unsigned short>(Dib->colorCount());
    UpdatePalette(true);
    AdjustScroller();
}

// Qt draws in true colour, so realising a palette comes down to repainting
// with the new colours.
bool TQuillonWindow::UpdatePalette(bool alwaysRepaint)
{
    if (Palette.isEmpty())
        return false;
    if (alwaysRepaint)
        viewport()->update();
    return true;
}

void TQuillonWindow::AdjustScroller()
{
    const QSize client = viewport()->size();
    QScrollBar* horizontal = horizontalScrollBar();
    QScrollBar* vertical = verticalScrollBar();
    horizontal->setRange(0, Fit ? 0 : std::max(0, PixelWidth - client.width()));
    vertical->setRange(0, Fit ? 0 : std::max(0, PixelHeight - client.height()));
    horizontal->setPageStep(std::max(1, client.width()));
    vertical->setPageStep(std::max(1, client.height()));
    // An arrow key or a wheel line moves a twentieth of the view, as image
    // viewers do (a wheel notch is three lines).
    horizontal->setSingleStep(std::max(1, client.width() / 20));
    vertical->setSingleStep(std::max(1, client.height() / 20));
    horizontal->setValue(0);
    vertical->setValue(0);
    viewport()->update();
}

void TQuillonWindow::PaintIt()
{
    UpdatePalette(true);
    AdjustScroller();
}

void TQuillonWindow::EvSize()
{
    if (QWidget* top = window(); top != nullptr && top->isMinimized())
        return;
    AdjustScroller();
}

void TQuillonWindow::EvPaint(QPainter& painter, const QRect& area)
{
    Q_UNUSED(area);
    // Background erase: a colour changed in the settings takes effect here.
    if (back_changed) {
        BkgndBrush = QBrush(QColor(back_r, back_g, back_b));
        back_changed = 0;
        viewport()->update();
    }
    if (prep_image) {
        prep_image = 0;
        image_prepare();
    }

    const QRect client = viewport()->rect();
    if (!Bitmap.isNull()) {
        const QWidget* top = window();
        if ((top != nullptr && top->isMinimized()) || Fit) {
            painter.drawPixmap(client, Bitmap);
        } else {
            const int x = -horizontalScrollBar()->value();
            const int y = -verticalScrollBar()->value();
            painter.drawPixmap(x, y, Bitmap);
            if (x + PixelWidth < client.width())
                painter.fillRect(
                    QRect(x + PixelWidth, 0, client.width() - x - PixelWidth, client.height()), BkgndBrush);
            if (y + PixelHeight < client.height())
                painter.fillRect(
                    QRect(0, y + PixelHeight, client.width(), client.height() - y - PixelHeight), BkgndBrush);
        }
    } else {
        painter.fillRect(client, BkgndBrush);
    }

    const unsigned short* frame = image;
    image = image_int;
    if (!photometry && !pick_star)
        viewport()->setCursor(Qt::ArrowCursor);
    if (picked_star && pick_star)
        draw_picked_star(painter);
    build_histogram(frame);
}

// The green cross on the picked guide star, placed where the star is shown:
// scrolled with the view, and scaled in the enlarged display.
void TQuillonWindow::draw_picked_star(QPainter& painter)
{
    int px = binned ? pick_xcent / 2 : pick_xcent;
    int py = binned ? pick_ycent / 2 : pick_ycent;
    if (binned && Big && !Geo) {
        px = px * 3 / 2;
        py = py * 3 / 2;
    }
    px -= horizontalScrollBar()->value();
    py -= verticalScrollBar()->value();
    painter.setPen(QPen(Qt::green, 1));
    painter.drawLine(px, py - 20, px, py + 20);
    painter.drawLine(px - 20, py, px + 20, py);
    cur_rad = star_mask;
    centre_it = 1;
}

void TQuillonWindow::CmFit()
{
    if (photometry)
        return;
    Fit = !Fit;
    if (Fit) {
        // Leaving either layout needs a rebuild, or the picture would keep
        // the layout the menu no longer shows.
        const bool rebuild = Big || Geo;
        Geo = 0;
        Big = 0;
        if (rebuild)
            image_prepare();
    }
    AdjustScroller();
}

void TQuillonWindow::CmGeo()
{
    if (photometry)
        return;
    Geo = !Geo;
    if (Geo) {
        Fit = 0;
        Big = 0;
    }
    image_prepare();
    AdjustScroller();
}

void TQuillonWindow::CmBig()
{
    if (photometry)
        return;
    Big = !Big;
    if (Big) {
        Fit = 0;
        Geo = 0;
    }
    image_prepare();
    AdjustScroller();
}

void TQuillonWindow::CmColPal()
{
    colour_palette = !colour_palette;
    image_prepare();
    AdjustScroller();
}

void TQuillonWindow::CmStretchPal()
{
    stretch_palette = !stretch_palette;
    image_prepare();
    AdjustScroller();
}

void TQuillonWindow::CmCopy()
{
    if (!Dib)
        return;
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr)
        return;
    clipboard->setImage(*Dib);
}

QPrinter& TQuillonWindow::printer()
{
    if (!printer_)
        printer_ = std::make_shared<QPrinter>(QPrinter::HighResolution);
    return *printer_;
}

// Prints the last ordinary display bitmap, scaled to the page with its
// proportions kept.
void TQuillonWindow::CmPrint()
{
    DisplayBitmap bitmap;
    std::unique_ptr<QImage> picture;
    if (read_display_bitmap(display_bitmap_path(false), bitmap))
        picture = to_image(bitmap);
    if (!picture) {
        messages(32);
        return;
    }
    QPainter painter;
    if (!painter.begin(&printer())) {
        host().message_box("Unable to start printing", app_caption);
        return;
    }
    const QRect page = painter.viewport();
    const QSize size = picture->size().scaled(page.size(), Qt::KeepAspectRatio);
    painter.drawImage(QRect(page.topLeft(), size), *picture);
    painter.end();
}

void TQuillonWindow::CmPrintSetup()
{
    QPrintDialog dialog(&printer(), this);
    dialog.setWindowTitle(QStringLiteral("Print Setup"));
    // Only the choice of printer and its settings is made here: the dialog's
    // accept button keeps them for the print command.
    if (auto* buttons = dialog.findChild<QDialogButtonBox*>(); buttons != nullptr)
        if (QPushButton* ok = buttons->button(QDialogButtonBox::Ok); ok != nullptr)
            ok->setText(QStringLiteral("OK"));
    dialog.exec();
}
