#include <QtTest>

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <filesystem>

#include "app/quillon_window.h"
#include "app/state.h"
#include "display/pipeline.h"
#include "store/buffers.h"
#include "ui_test_env.h"

namespace {
void fill_image(unsigned short value)
{
    std::fill(image_int, image_int + frame_samples, value);
}

QRgb dib_colour(const TQuillonWindow& w, int x, int y)
{
    return w.Dib->pixel(x, y);
}
} // namespace

class DisplayTest : public QObject {
    Q_OBJECT

private slots:
    void rebuild_shows_the_high_bytes()
    {
        UiTestEnv env;
        fill_image(0x1234);
        image_name = "M42.FIT";
        env.window().image_prepare();
        TQuillonWindow& w = env.window();
        QVERIFY(w.Dib != nullptr);
        QCOMPARE(w.Dib->format(), QImage::Format_Indexed8);
        QCOMPARE(w.Dib->size(), QSize(376, 290));
        QCOMPARE(w.PixelWidth, 376);
        QCOMPARE(w.PixelHeight, 290);
        QCOMPARE(int(w.Colors), 256);
        QCOMPARE(w.Dib->pixelIndex(100, 100), 0x12);
        QCOMPARE(dib_colour(w, 0, 0), qRgb(0x12, 0x12, 0x12));
        QCOMPARE(w.Palette.size(), 256);
        QCOMPARE(env.frame().windowTitle(), QStringLiteral("Quillon - M42.FIT"));
        QVERIFY(!w.Bitmap.isNull());
        QVERIFY(env.host().boxes.empty());
    }

    void qt_reads_the_display_bitmap()
    {
        UiTestEnv env;
        for (int r = 0; r < binned_height; ++r)
            std::fill(image_int + r * binned_width, image_int + (r + 1) * binned_width,
                static_cast<unsigned short>((r % 256) << 8));
        colour_palette = 1;
        env.window().image_prepare();
        QImage read(QString::fromStdString(display_bitmap_path(false)), "BMP");
        QVERIFY(!read.isNull());
        QCOMPARE(read.size(), QSize(376, 290));
        QCOMPARE(read.format(), QImage::Format_Indexed8);
        QCOMPARE(read.pixelIndex(5, 0), 0);
        QCOMPARE(read.pixelIndex(5, 289), 289 % 256);
        QCOMPARE(read.pixel(5, 0), qRgb(0, 0, 1));
        QCOMPARE(read.pixel(5, 241), qRgb(241, 241, 241));
    }

    void view_modes_change_the_layout()
    {
        UiTestEnv env;
        TQuillonWindow& w = env.window();
        fill_image(0x8000);
        w.image_prepare();

        w.CmBig();
        QCOMPARE(Big, 1);
        QCOMPARE(w.Dib->size(), QSize(564, 435));

        w.CmGeo();
        QCOMPARE(Geo, 1);
        QCOMPARE(Big, 0);
        QCOMPARE(w.Dib->size(), QSize(564, 452));

        w.CmFit();
        QCOMPARE(w.Fit, 1);
        QCOMPARE(Geo, 0);
        QCOMPARE(w.Dib->size(), QSize(376, 290)); // rebuilt without the resampling
        QCOMPARE(w.horizontalScrollBar()->maximum(), 0);
        QCOMPARE(w.verticalScrollBar()->maximum(), 0);

        w.CmBig();
        QCOMPARE(w.Fit, 0);
        QCOMPARE(Big, 1);
        w.CmBig();
        QCOMPARE(Big, 0);
        QCOMPARE(w.Dib->size(), QSize(376, 290));

        // A full frame is shown whole even with a binned layout flag set.
        binned = 0;
        ZQ_binned();
        Big = 1;
        w.image_prepare();
        QCOMPARE(w.Dib->size(), QSize(752, 580));
    }

    void photometry_locks_the_layout_but_not_the_palette()
    {
        UiTestEnv env;
        TQuillonWindow& w = env.window();
        w.image_prepare();
        photometry = 1;
        w.CmFit();
        w.CmGeo();
        w.CmBig();
        QCOMPARE(w.Fit, 0);
        QCOMPARE(Geo, 0);
        QCOMPARE(Big, 0);
        w.CmColPal();
        QCOMPARE(colour_palette, 1);
        QCOMPARE(dib_colour(w, 0, 0), qRgb(0, 0, 1));
        w.CmColPal();
        QCOMPARE(colour_palette, 0);
        QCOMPARE(dib_colour(w, 0, 0), qRgb(0, 0, 0));
    }

    void automatic_stretch_above_the_background()
    {
        UiTestEnv env;
        TQuillonWindow& w = env.window();
        fill_image(20 << 8);
        std::fill(image_int, image_int + 1000, static_cast<unsigned short>(21 << 8));
        w.CmStretchPal();
        QCOMPARE(stretch_palette, 1);
        QCOMPARE(most_pop, 20);
        QCOMPARE(dib_colour(w, 100, 100), qRgb(0, 0, 0));
        QCOMPARE(dib_colour(w, 0, 0), qRgb(48, 48, 48));
    }

    void scrolling_follows_the_bitmap()
    {
        UiTestEnv env;
        TQuillonWindow& w = env.window();
        binned = 0;
        ZQ_binned();
        w.image_prepare();
        const QSize client = w.viewport()->size();
        QCOMPARE(w.horizontalScrollBar()->maximum(), std::max(0, 752 - client.width()));
        QCOMPARE(w.verticalScrollBar()->maximum(), std::max(0, 580 - client.height()));
        QVERIFY(w.horizontalScrollBar()->maximum() > 0);
        w.horizontalScrollBar()->setValue(40);
        w.PaintIt(); // scroll to the origin again
        QCOMPARE(w.horizontalScrollBar()->value(), 0);
        env.frame().resize(1000, 800);
        QTRY_COMPARE(w.horizontalScrollBar()->maximum(), std::max(0, 752 - w.viewport()->width()));
    }

    // Idle, the view scrolls as image viewers do: a wheel notch moves a good
    // part of the view, Page Down a page, the arrows a step, and Ctrl+End
    // reaches the bottom right corner of a full frame.
    void wheel_and_keys_scroll_the_idle_view()
    {
        UiTestEnv env;
        TQuillonWindow& w = env.window();
        binned = 0;
        binned21 = 1;
        ZQ_binned();
        w.image_prepare();
        env.frame().resize(710, 500);
        env.frame().show();
        QVERIFY(QTest::qWaitForWindowExposed(&env.frame()));
        QApplication::setActiveWindow(&env.frame());
        w.setFocus();
        QScrollBar* v = w.verticalScrollBar();
        QScrollBar* h = w.horizontalScrollBar();
        QVERIFY(v->maximum() > 0 && h->maximum() > 0);

        const QPointF centre = QPointF(w.viewport()->rect().center());
        QWheelEvent notch(centre, w.viewport()->mapToGlobal(centre), QPoint(), QPoint(0, -120), Qt::NoButton,
            Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(w.viewport(), &notch);
        const int per_notch = v->value();
        QVERIFY2(per_notch >= 30, qPrintable(QString::number(per_notch)));
        // A full frame takes a handful of notches, not dozens.
        QVERIFY((v->maximum() + per_notch - 1) / per_notch <= 10);

        v->setValue(0);
        QTest::keyClick(&w, Qt::Key_Down);
        QVERIFY(v->value() >= 10);
        QTest::keyClick(&w, Qt::Key_PageDown);
        QCOMPARE(v->value(), std::min(v->maximum(), v->singleStep() + v->pageStep()));
        QTest::keyClick(&w, Qt::Key_Right);
        QVERIFY(h->value() >= 10);
        QTest::keyClick(&w, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(v->value(), v->maximum());
        QCOMPARE(h->value(), h->maximum());
        QTest::keyClick(&w, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(v->value(), 0);
        QCOMPARE(h->value(), 0);
        QVERIFY(env.host().boxes.empty());
    }

    void paint_runs_a_pending_rebuild_and_the_histogram()
    {
        UiTestEnv env;
        TQuillonWindow& w = env.window();
        fill_image(0x4000);
        image = trial; // a step left image elsewhere: the paint puts it back
        std::fill(trial_int, trial_int + frame_samples, static_cast<unsigned short>(0x7000));
        prep_image = 1;
        back_r = 255;
        back_g = 0;
        back_b = 0;
        back_changed = 1;
        const QImage shot = w.viewport()->grab().toImage();
        QCOMPARE(prep_image, 0);
        QCOMPARE(back_changed, 0);
        QCOMPARE(image, image_int);
        QVERIFY(w.Dib != nullptr);
        // Drawn from the frame image pointed at when the rebuild ran.
        QCOMPARE(QColor(shot.pixel(10, 10)), QColor(0x70, 0x70, 0x70));
        // Right of and below the bitmap: the background colour.
        QCOMPARE(QColor(shot.pixel(shot.width() - 5, 10)), QColor(255, 0, 0));
        QCOMPARE(QColor(shot.pixel(10, shot.height() - 5)), QColor(255, 0, 0));
        // The rebuild already put image back, so the histogram counts image_int.
        QVERIFY(table[0x40] > 0);
        // Without a rebuild the histogram counts the frame image pointed at.
        image = trial;
        w.viewport()->grab();
        QCOMPARE(image, image_int);
        QVERIFY(table[0x70] > 0);
        QCOMPARE(table[0x40], 0u);
    }

    void fit_stretches_to_the_client_area()
    {
        UiTestEnv env;
        TQuillonWindow& w = env.window();
        for (int r = 0; r < binned_height; ++r)
            std::fill(image_int + r * binned_width, image_int + (r + 1) * binned_width,
                static_cast<unsigned short>(r < 145 ? 0x2000 : 0xC000));
        w.image_prepare();
        w.CmFit();
        const QImage shot = w.viewport()->grab().toImage();
        const int dpr = int(shot.devicePixelRatio());
        QCOMPARE(QColor(shot.pixel(shot.width() - 2 * dpr, 2)), QColor(0x20, 0x20, 0x20));
        QCOMPARE(QColor(shot.pixel(shot.width() - 2 * dpr, shot.height() - 2)), QColor(0xC0, 0xC0, 0xC0));
    }

    void guide_frames_leave_the_main_picture()
    {
        UiTestEnv env;
        TQuillonWindow& w = env.window();
        tracking = 1;
        fill_image(0x6000);
        w.image_prepare(); // no ordinary frame yet: nothing shown, no box
        QVERIFY(env.host().boxes.empty());
        QVERIFY(w.Dib == nullptr);
        QVERIFY(QFile::exists(QString::fromStdString(display_bitmap_path(true))));
        tracking = 0;
        w.image_prepare();
        tracking = 1;
        fill_image(0x2000);
        w.image_prepare();
        QCOMPARE(w.Dib->size(), QSize(376, 290));
        QCOMPARE(dib_colour(w, 0, 0), qRgb(0x60, 0x60, 0x60));
        QVERIFY(env.host().boxes.empty());
    }

    void picked_star_marker_and_scroll_offset()
    {
        UiTestEnv env;
        TQuillonWindow& w = env.window();
        binned = 0;
        ZQ_binned();
        for (int r = 0; r < full_height; ++r)
            for (int c = 0; c < full_width; ++c)
                image_int[r * full_width + c] = static_cast<unsigned short>((c % 256) << 8);
        w.image_prepare();
        w.horizontalScrollBar()->setValue(40);
        pick_star = 1;
        picked_star = 1;
        pick_xcent = 140;
        pick_ycent = 100;
        cur_rad = 2;
        const QImage shot = w.viewport()->grab().toImage();
        // The view starts at column 40, and the cross sits on the star as shown.
        QCOMPARE(QColor(shot.pixel(5, 300)), QColor(45, 45, 45));
        QCOMPARE(QColor(shot.pixel(100, 85)), QColor(Qt::green));
        QCOMPARE(QColor(shot.pixel(85, 100)), QColor(Qt::green));
        QCOMPARE(cur_rad, star_mask);
    }

    void unreadable_bitmap_keeps_the_picture()
    {
        UiTestEnv env;
        TQuillonWindow& w = env.window();
        fill_image(0x3000);
        w.image_prepare();
        QCOMPARE(w.LoadBitmapFile("/nonexistent/quillon.bmp"), 0);
        QCOMPARE(env.host().boxes.size(), size_t(1));
        QCOMPARE(QString::fromStdString(env.host().boxes[0].text), QStringLiteral("Cannot open bitmap file"));
        QVERIFY(w.Dib != nullptr);
        QCOMPARE(dib_colour(w, 0, 0), qRgb(0x30, 0x30, 0x30));
    }

    void unwritable_bitmap_still_shows_the_new_image()
    {
        UiTestEnv env;
        TQuillonWindow& w = env.window();
        fill_image(0x2000);
        image_name = "old.FIT";
        w.image_prepare();
        QCOMPARE(dib_colour(w, 0, 0), qRgb(0x20, 0x20, 0x20));

        // A folder in the bitmap's place: the rename over it fails (as a full
        // disk would fail the write), whatever the user's rights.
        const std::string bitmap = display_bitmap_path(false);
        QVERIFY(std::filesystem::remove(bitmap));
        std::filesystem::create_directory(bitmap);
        fill_image(0x6100);
        image_name = "new.FIT";
        w.image_prepare();
        QCOMPARE(env.frame().windowTitle(), QStringLiteral("Quillon - new.FIT"));
        QVERIFY(w.Dib != nullptr);
        QCOMPARE(w.Dib->size(), QSize(376, 290));
        QCOMPARE(dib_colour(w, 0, 0), qRgb(0x61, 0x61, 0x61));
        QCOMPARE(dib_colour(w, 375, 289), qRgb(0x61, 0x61, 0x61));
        // The box says what failed; no second box about reading the old file.
        QCOMPARE(env.host().boxes.size(), size_t(1));
        QCOMPARE(QString::fromStdString(env.host().boxes[0].text),
            QStringLiteral("Unable to create temp bitmap file"));
    }

    void copy_puts_the_display_image_on_the_clipboard()
    {
        UiTestEnv env;
        TQuillonWindow& w = env.window();
        QGuiApplication::clipboard()->clear();
        w.CmCopy(); // nothing to copy yet
        QVERIFY(QGuiApplication::clipboard()->image().isNull());
        fill_image(0x5500);
        w.CmBig();
        w.CmCopy();
        const QImage copied = QGuiApplication::clipboard()->image();
        QCOMPARE(copied.size(), QSize(564, 435));
        QCOMPARE(QColor(copied.pixel(3, 3)), QColor(0x55, 0x55, 0x55));
    }

    void print_writes_the_last_ordinary_bitmap()
    {
        UiTestEnv env;
        TQuillonWindow& w = env.window();
        const QString pdf = QString::fromStdString(test_env().home) + QStringLiteral("/print.pdf");
        w.printer().setOutputFormat(QPrinter::PdfFormat);
        w.printer().setOutputFileName(pdf);
        w.CmPrint(); // nothing shown yet
        QCOMPARE(env.host().boxes.size(), size_t(1));
        QVERIFY(!QFile::exists(pdf));

        fill_image(0x9000);
        w.image_prepare();
        w.CmPrint();
        QFile file(pdf);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.read(5).startsWith("%PDF"));
        QVERIFY(file.size() > 1000);
        QCOMPARE(env.host().boxes.size(), size_t(1));
    }

    void print_setup_opens_the_printer_setup()
    {
        UiTestEnv env;
        bool seen = false;
        when_modal_shows([&seen](QDialog* dialog) {
            seen = qobject_cast<QPrintDialog*>(dialog) != nullptr
                && dialog->windowTitle() == QStringLiteral("Print Setup");
            dialog->reject();
        });
        env.window().CmPrintSetup();
        QVERIFY(seen);
    }
};

QTEST_MAIN(DisplayTest)
#include "display_test.moc"
