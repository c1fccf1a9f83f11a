#include <QtTest>

#include <QAccessible>
#include <QAccessibleActionInterface>

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

#include <algorithm>

#include "app/quillon_window.h"
#include "app/state.h"
#include "display/photometry_dialogs.h"
#include "display/plot_dialogs.h"
#include "display/plots.h"
#include "store/buffers.h"
#include "ui/file_chooser.h"
#include "ui_test_env.h"

namespace {
// A flat sky with one star of a 3 x 3 core at (x, y).
void sky_with_star(int x, int y)
{
    std::fill(image_int, image_int + frame_samples, static_cast<unsigned short>(1000));
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            image_int[(y + dy) * width1 + x + dx] = (dx == 0 && dy == 0) ? 40000 : 20000;
}

void click(QWidget* dialog, const char* id)
{
    auto* button = control<QAbstractButton>(dialog, QString::fromLatin1(id));
    QVERIFY2(button != nullptr, id);
    button->click();
}

// Scrolls the view as if it showed a picture larger than itself.
void scroll_to(TQuillonWindow& window, int x, int y)
{
    window.horizontalScrollBar()->setRange(0, 400);
    window.verticalScrollBar()->setRange(0, 400);
    window.horizontalScrollBar()->setValue(x);
    window.verticalScrollBar()->setValue(y);
}

// Waits until deferred deletions have run.
void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}
} // namespace

class AnalysisWindowsTest : public QObject {
    Q_OBJECT

private slots:
    void histogram_lists_clipped_levels_and_closes()
    {
        UiTestEnv env;
        table[10] = 1059;
        table[11] = 1054;
        env.window().CmHistogram();
        QPointer<THistDialog> hist = env.window().THist;
        QVERIFY(hist);
        QCOMPARE(hist->windowTitle(), QStringLiteral("Histogram of Current Image"));
        QCOMPARE(hist_already, 1);
        env.window().CmHistogram(); // already open: nothing happens
        QCOMPARE(env.window().findChildren<THistDialog*>().size(), 1);

        const QImage shot = hist->grab().toImage();
        QCOMPARE(QString::fromLatin1(workfld2), QStringLiteral("val   count\n010    1055\n"));
        QCOMPARE(shot.pixelColor(18, 100), QColor(255, 0, 0)); // level 10 clipped: red
        QCOMPARE(shot.pixelColor(19, 100), QColor(128, 128, 128)); // level 11 full height: grey
        QCOMPARE(shot.pixelColor(5, 100), QColor(0, 0, 255)); // the axis

        // A repaint of the image rebuilds the levels; the histogram follows.
        QVERIFY(QTest::qWaitForWindowExposed(hist));
        settle();
        std::fill(image_int, image_int + frame_samples, static_cast<unsigned short>(0));
        std::fill_n(image_int + width1 / 2, 5000, static_cast<unsigned short>(20 << 8));
        table[20] = 5000; // as the display's repaint counts it
        env.window().viewport()->repaint();
        settle();
        QVERIFY(QString::fromLatin1(workfld2).contains(QStringLiteral("020    5000")));

        click(hist, "9");
        QCOMPARE(env.host().boxes.size(), std::size_t { 1 });
        QCOMPARE(QString::fromStdString(env.host().boxes[0].caption),
            QStringLiteral("Quillon - Display Histogram"));
        click(hist, "101");
        settle();
        QCOMPARE(hist_already, 0);
        QVERIFY(!hist);
    }

    void relief_draws_once_and_blocks_the_row_plot()
    {
        UiTestEnv env;
        std::fill(image_int, image_int + frame_samples, static_cast<unsigned short>(0));
        image_int[6 * 752] = 65535;
        env.window().Cm3D();
        QPointer<T3DDialog> relief = env.window().T3D;
        QVERIFY(relief);
        QCOMPARE(relief->windowTitle(), QStringLiteral("3-D Intensity Plot"));
        QCOMPARE(intensity_plot, 1);
        QTRY_COMPARE(relief->redraw, 0);
        const QImage bitmap = relief->relief();
        QCOMPARE(bitmap.size(), QSize(644, 384));
        QCOMPARE(qGray(bitmap.pixel(130, 150)), 192);
        QCOMPARE(qGray(bitmap.pixel(300, 250)), 128); // row 64's base line
        QCOMPARE(qGray(bitmap.pixel(600, 10)), 255);

        env.window().CmRowInt(); // the 3-D window is open: nothing happens
        QCOMPARE(row_plot, 0);
        QVERIFY(!env.window().TRow);
        QVERIFY(env.host().boxes.empty());

        click(relief, "2");
        settle();
        QCOMPARE(intensity_plot, 0);
        QVERIFY(!relief);
    }

    void row_plot_follows_clicks()
    {
        UiTestEnv env;
        image_int[60 * width1 + 0] = 65535;
        env.window().CmRowInt();
        QPointer<TRowDialog> row = env.window().TRow;
        QVERIFY(row);
        QCOMPARE(row->windowTitle(), QStringLiteral("INTENSITY PROFILE OF ONE ROW"));
        QCOMPARE(row_plot, 1);
        QCOMPARE(text_of(row, "101"), QStringLiteral("127"));

        env.window().Cm3D(); // the row plot is open: nothing happens
        QCOMPARE(intensity_plot, 0);

        env.window().EvLButtonUp(QPoint(50, 60));
        QCOMPARE(obj_y, 60);
        QCOMPARE(text_of(row, "101"), QStringLiteral("60"));
        const QImage shot = row->grab().toImage();
        // The saturated first sample rises 170 above the base line at 198.
        QWidget* canvas = row->findChildren<QWidget*>().value(0);
        QVERIFY(canvas != nullptr);
        const QPoint at = canvas->mapTo(row.data(), QPoint(5, 40));
        QCOMPARE(shot.pixelColor(at), QColor(128, 128, 128));

        click(row, "9");
        QCOMPARE(QString::fromStdString(env.host().boxes.back().caption),
            QStringLiteral("Quillon - Intensity Profile"));
        click(row, "2");
        settle();
        QCOMPARE(row_plot, 0);
        QVERIFY(!row);
    }

    void row_plot_refusals()
    {
        UiTestEnv env;
        photometry = 1;
        env.window().CmRowInt();
        QCOMPARE(QString::fromStdString(env.host().boxes.back().text),
            QStringLiteral("Sorry, you cannot run Photometry, Row Plot and Merging at the same time"));
        photometry = 0;
        Big = 1;
        env.window().CmRowInt();
        QCOMPARE(QString::fromStdString(env.host().boxes.back().text),
            QStringLiteral(
                "Sorry, Row Plot only available in standard Geometry. Ensure Image is not stretched "
                "to fit window"));
        QCOMPARE(row_plot, 0);
    }

    void photometry_measures_and_shows_the_magnitude()
    {
        UiTestEnv env;
        sky_with_star(100, 80);
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                image_int[(80 + dy) * width1 + 200 + dx] = 5000;
        env.window().CmPhotometry();
        QPointer<TPHDialog> ph = env.window().TPH;
        QVERIFY(ph);
        QCOMPARE(ph->windowTitle(), QStringLiteral("PHOTOMETRY"));
        QCOMPARE(photometry, 1);
        QCOMPARE(cur_rad, 4);
        QVERIFY(control<QRadioButton>(ph, "116")->isChecked());
        QVERIFY(control<QRadioButton>(ph, "101")->isChecked());

        env.window().CmPhotometry();
        QCOMPARE(QString::fromStdString(env.host().boxes.back().text).left(46),
            QStringLiteral("Sorry, you are already in Photometry mode. Cli"));

        // Object: a left click on the star; comparison: a right click snapped to the other.
        env.window().EvLButtonUp(QPoint(100, 80));
        QCOMPARE(text_of(ph, "104"), QStringLiteral("100"));
        QCOMPARE(text_of(ph, "110"), QStringLiteral("   3358")); // (72000 + 160000 + 40000) / 81
        click(ph, "102");
        QCOMPARE(ph_object, 'c');
        env.window().EvRButtonUp(QPoint(201, 81));
        QCOMPARE(text_of(ph, "106"), QStringLiteral("200"));
        QCOMPARE(text_of(ph, "107"), QStringLiteral("80"));
        QCOMPARE(comp_val, 72000u + 9u * 5000u);
        // -2.5 log10(272000 / 117000)
        QCOMPARE(text_of(ph, "113"), QStringLiteral("-0.92"));

        click(ph, "103");
        QCOMPARE(back_select, 1);
        click(ph, "118"); // 13 pixels: measurements cleared
        QCOMPARE(cur_rad, 6);
        QCOMPARE(text_of(ph, "104"), QStringLiteral("0"));
        QCOMPARE(text_of(ph, "113"), QString());

        env.window().EvMouseMove(QPoint(100, 80));
        QCOMPARE(text_of(ph, "1018"), QStringLiteral("100"));
        QCOMPARE(text_of(ph, "1019"), QStringLiteral("80"));
        QCOMPARE(text_of(ph, "1020"), QStringLiteral("  40000"));

        click(ph, "9");
        QCOMPARE(QString::fromStdString(env.host().boxes.back().caption),
            QStringLiteral("Quillon - Control Photometry"));
        click(ph, "2");
        settle();
        QCOMPARE(photometry, 0);
        QVERIFY(!ph);
    }

    void photometry_magnitude_of_known_sums()
    {
        UiTestEnv env;
        env.window().CmPhotometry();
        obj_val = 40000;
        comp_val = 10000;
        env.window().TPH->EvPaint();
        QCOMPARE(text_of(env.window().TPH, "113"), QStringLiteral("-1.51"));
        click(env.window().TPH, "117");
        QCOMPARE(cur_rad, 0);
        QCOMPARE(text_of(env.window().TPH, "113"), QString());
    }

    // A screen reader or test robot chooses a radio button through the
    // accessibility interface, which checks it without a click: the choice
    // takes effect as a click's would. The fields carry their labels' names.
    void photometry_choices_made_through_accessibility_take_effect()
    {
        UiTestEnv env;
        env.window().CmPhotometry();
        QPointer<TPHDialog> ph = env.window().TPH;
        QVERIFY(ph);
        const auto choose = [&](const char* id) {
            QAccessibleInterface* radio
                = QAccessible::queryAccessibleInterface(control<QRadioButton>(ph, id));
            QVERIFY(radio != nullptr && radio->actionInterface() != nullptr);
            QVERIFY(
                radio->actionInterface()->actionNames().contains(QAccessibleActionInterface::toggleAction()));
            radio->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        };
        choose("102");
        QCOMPARE(ph_object, 'c');
        choose("103");
        QCOMPARE(ph_object, 'b');
        QCOMPARE(back_select, 1);
        choose("119");
        QCOMPARE(cur_rad, 8);
        choose("117");
        QCOMPARE(cur_rad, 0);
        QCOMPARE(control<QLineEdit>(ph, "106")->accessibleName(), QStringLiteral("Comparison x"));
        QCOMPARE(control<QLineEdit>(ph, "113")->accessibleName(), QStringLiteral("Magnitude difference"));
    }

    void photometry_refusals()
    {
        UiTestEnv env;
        row_plot = 1;
        env.window().CmPhotometry();
        QCOMPARE(env.host().boxes.size(), std::size_t { 1 });
        row_plot = 0;
        env.window().Fit = 1;
        env.window().CmPhotometry();
        QVERIFY(QString::fromStdString(env.host().boxes.back().text)
                    .startsWith(QStringLiteral("Sorry, Photometry only")));
        QCOMPARE(photometry, 0);
        QVERIFY(!env.window().TPH);
    }

    void click_on_a_scrolled_view_lands_on_the_pixel()
    {
        UiTestEnv env;
        std::fill(image_int, image_int + frame_samples, static_cast<unsigned short>(1));
        image_int[130 * width1 + 150] = 1001;
        env.window().CmPhotometry();
        cur_rad = 0;
        scroll_to(env.window(), 100, 50);
        QTest::mouseClick(env.window().viewport(), Qt::LeftButton, {}, QPoint(50, 80));
        QCOMPARE(obj_x, 150);
        QCOMPARE(obj_y, 130);
        QCOMPARE(obj_val, 1001u);
    }

    void blink_flips_between_the_images()
    {
        UiTestEnv env;
        comparison_loaded = 1;
        env.window().blink_comparison();
        QPointer<TBLDialog> blink = env.window().TBL;
        QVERIFY(blink);
        QCOMPARE(blinking, 1);
        QCOMPARE(blink->windowTitle(), QStringLiteral("Blinking:- Current Image"));
        auto* flip = control<QPushButton>(blink, "102");
        QCOMPARE(flip->text(), QStringLiteral("Comparison"));

        flip->click();
        QCOMPARE(env.host().commands, std::vector<int> { 926 });
        QCOMPARE(flip->text(), QStringLiteral("Current Image"));
        QCOMPARE(blink->windowTitle(), QStringLiteral("Blinking:- Comparison"));
        flip->click();
        QCOMPARE(env.host().commands, (std::vector<int> { 926, 925 }));
        QCOMPARE(blink->windowTitle(), QStringLiteral("Blinking:- Current Image"));

        env.window().BlinkComparison();
        QCOMPARE(image, image_int);
        click(blink, "1");
        settle();
        QCOMPARE(blinking, 0);
        QVERIFY(!blink);
    }

    // Without a comparison image the flip says why there is nothing to blink
    // and keeps the current image; finishing while the comparison is shown
    // brings the current image back under its own title.
    void blink_explains_a_missing_comparison_and_ends_on_the_current_image()
    {
        UiTestEnv env;
        env.window().blink_comparison();
        QPointer<TBLDialog> blink = env.window().TBL;
        QVERIFY(blink);
        click(blink, "102");
        QVERIFY(env.host().commands.empty());
        QCOMPARE(env.host().boxes.size(), size_t(1));
        QVERIFY(
            QString::fromStdString(env.host().boxes[0].text).contains(QStringLiteral("no comparison image")));
        QCOMPARE(blink->windowTitle(), QStringLiteral("Blinking:- Current Image"));

        comparison_loaded = 1;
        click(blink, "102");
        QCOMPARE(env.host().commands, std::vector<int> { 926 });
        click(blink, "1");
        settle();
        QCOMPARE(env.host().commands, (std::vector<int> { 926, 925 }));
        QCOMPARE(blinking, 0);
    }

    void pick_star_picks_and_snaps_again()
    {
        UiTestEnv env;
        sky_with_star(100, 80);
        env.window().Fit = 1;
        env.window().CmPickStar();
        QCOMPARE(QString::fromStdString(env.host().boxes.back().text),
            QStringLiteral("Sorry, Can Only Select Star in Standard or 150% Display Options."));
        QCOMPARE(pick_star, 1); // a warning: the mode is toggled all the same
        env.window().Fit = 0;
        QCOMPARE(centre_it, 1);
        QCOMPARE(cur_rad, star_mask);

        env.window().EvLButtonUp(QPoint(101, 81));
        QCOMPARE(picked_star, 1);
        QCOMPARE(pick_xcent, 200);
        QCOMPARE(pick_ycent, 160);
        QCOMPARE(QString::fromStdString(env.host().boxes.back().text),
            QStringLiteral("x position =   200\ny position =   160"));

        QCOMPARE(centre_it, 1); // snapped again on the next click

        // The next click, on a scrolled view, picks the star under it.
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                image_int[(100 + dy) * width1 + 150 + dx] = 30000;
        scroll_to(env.window(), 20, 10);
        env.window().EvLButtonUp(QPoint(131, 91));
        QCOMPARE(pick_xcent, 300);
        QCOMPARE(pick_ycent, 200);

        env.window().CmPickStar();
        QCOMPARE(pick_star, 0);
    }

    void focus_frame_commands()
    {
        UiTestEnv env;
        centre_it = 1;
        env.window().CmFocusFrame();
        QCOMPARE(focus_frame, 1);
        QCOMPARE(centre_it, 0);
        env.window().EvLButtonUp(QPoint(200, 10));
        QCOMPARE(focus_x, 336);
        QCOMPARE(focus_y, 1);
        QCOMPARE(focus_frame, 0);
        env.window().CmFocusFrameReset();
        QCOMPARE(focus_x, 312);
        QCOMPARE(focus_y, 65);
    }

    void merge_clicks_place_the_merge_marks()
    {
        UiTestEnv env;
        merging = 1;
        orig = 1;
        cur_rad = 4;
        scroll_to(env.window(), 20, 0);
        env.window().EvLButtonUp(QPoint(30, 40));
        QCOMPARE(QPoint(orig_x, orig_y), QPoint(50, 40));

        // Snapped to the star first when the merge asks for it; once the
        // second image is open the mark is the second image's.
        sky_with_star(100, 80);
        merge_centre = 1;
        orig = 0;
        env.window().EvLButtonUp(QPoint(82, 82));
        QCOMPARE(QPoint(merge_x, merge_y), QPoint(100, 80));
        QCOMPARE(QPoint(orig_x, orig_y), QPoint(50, 40));
    }

    void comparison_choice_cancelled_loads_nothing()
    {
        UiTestEnv env;
        ComparisonFileName = "earlier.fit";
        int asked = 0;
        set_file_chooser([&asked](const FileRequest&) -> std::optional<FileChoice> {
            ++asked;
            return std::nullopt;
        });
        env.window().CmFileComparison();
        set_file_chooser({});
        QVERIFY(asked <= 1);
        QCOMPARE(QString::fromStdString(ComparisonFileName), QStringLiteral("earlier.fit"));
        QCOMPARE(load_comparison, 0);
        QCOMPARE(comparison_loaded, 0);
        QVERIFY(env.host().boxes.empty());
    }
};

QTEST_MAIN(AnalysisWindowsTest)
#include "analysis_windows_test.moc"
