// The guiding graph as the observer meets it: opened by a run or the menu,
// fed frame by frame, its span and units chosen and remembered, the wheel
// changing the span; the guiding options dialog; night vision over the
// whole program and its image.
#include <QtTest>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QSpinBox>
#include <QWheelEvent>

#include "app/quillon_window.h"
#include "app/state.h"
#include "display/night_vision.h"
#include "store/text_settings.h"
#include "telescope/dither.h"
#include "telescope/guide_commands.h"
#include "telescope/guide_graph_window.h"
#include "telescope/guide_options.h"
#include "ui_test_env.h"

namespace {
// One guide frame with the star at (dx, dy) pixels from its reference.
void frame_at(double dx, double dy, int ra_ms = 0)
{
    guide_x1 = guide_y1 = 64;
    x1dec = y1dec = 0;
    const int tx = 640 + static_cast<int>(std::lround(dx * 10)), ty = 640 + static_cast<int>(std::lround(dy * 10));
    xcent = tx / 10;
    xcentdec = tx % 10;
    ycent = ty / 10;
    ycentdec = ty % 10;
    publish_guide_frame(ra_ms, 0, 5000, false);
}

void wheel(QWidget* w, int delta)
{
    QWheelEvent event(QPointF(50, 50), w->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, delta), Qt::NoButton,
        Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &event);
}
} // namespace

class GuideGraphTest : public QObject {
    Q_OBJECT

private slots:
    void a_run_opens_the_graph_which_shows_its_figures()
    {
        UiTestEnv env;
        GuideGraphWindow* graph = guide_graph();
        QVERIFY(graph != nullptr);
        QVERIFY(!graph->isVisible());
        set_text_setting("focal_length", 1000.0);
        begin_guide_run(GuideRunKind::guiding);
        QVERIFY(graph->isVisible());
        // Three frames: 0.3 / 0.4 px, then a skipped jump, then 0.
        frame_at(0.3, 0.4, 120);
        frame_at(-0.3, -0.4, -80);
        publish_guide_frame(0, 0, 5000, true);
        frame_at(0, 0);
        QCOMPARE(graph->model().total_frames(), 4);
        QCOMPARE(graph->model().since_start().frames, 3);
        const QString px = graph->figures_text();
        QVERIFY2(px.contains("total 0.41 px"), qPrintable(px)); // sqrt(0.5 / 3)
        QVERIFY2(px.contains("peak 0.50 px"), qPrintable(px));
        QVERIFY2(px.contains("frames 4"), qPrintable(px));

        // Arcseconds: a column is 1.77", a field line 3.42".
        auto* units = graph->findChild<QComboBox*>("guide_units");
        units->setCurrentIndex(1);
        emit units->activated(1);
        QVERIFY(graph->view().arcsec());
        const double ax = 0.3 * 206.264806 * 8.6 / 1000, ay = 0.4 * 206.264806 * 16.6 / 1000;
        const QString arcsec = graph->figures_text();
        QVERIFY2(arcsec.contains(QStringLiteral("peak %1\"").arg(std::hypot(ax, ay), 0, 'f', 2)), qPrintable(arcsec));
        QCOMPARE(text_setting_bool("guide_graph_arcsec", false), true);

        // The span: chosen in the box, or stepped by the wheel (also while a
        // loop runs: the wheel is no stop request), and remembered.
        auto* span = graph->findChild<QComboBox*>("guide_span");
        span->setCurrentIndex(span->findData(400));
        emit span->activated(span->currentIndex());
        QCOMPARE(graph->view().span(), 400);
        wheel(&graph->view(), 120);
        QCOMPARE(graph->view().span(), 200);
        QCOMPARE(span->currentData().toInt(), 200);
        wheel(&graph->view(), -120);
        wheel(&graph->view(), -120);
        QCOMPARE(graph->view().span(), 400);
        QCOMPARE(text_setting_int("guide_graph_span", 0), 400);
        end_guide_run();

        // Drawn: the picture carries both lines' colours somewhere.
        const QImage picture = graph->view().grab().toImage();
        QVERIFY(!picture.isNull());
    }

    void with_auto_open_off_only_the_menu_opens_it()
    {
        UiTestEnv env;
        set_text_setting_bool("guide_graph_auto_open", false);
        begin_guide_run(GuideRunKind::self_guiding);
        QVERIFY(!guide_graph()->isVisible());
        end_guide_run();
        env.window().dispatch(cm_guide_graph);
        QVERIFY(guide_graph()->isVisible());
    }

    void the_options_dialog_writes_the_text_settings()
    {
        UiTestEnv env;
        when_modal_shows([](QDialog* d) {
            d->findChild<QCheckBox*>("dither")->setChecked(true);
            d->findChild<QDoubleSpinBox*>("dither_px")->setValue(2.5);
            d->findChild<QDoubleSpinBox*>("dither_settle_px")->setValue(0.5);
            d->findChild<QSpinBox*>("dither_settle_s")->setValue(45);
            d->findChild<QSpinBox*>("dither_settle_frames")->setValue(4);
            d->findChild<QSpinBox*>("cloud_wait_s")->setValue(90);
            d->findChild<QCheckBox*>("guide_graph_auto_open")->setChecked(false);
            d->accept();
        });
        env.window().dispatch(cm_guide_options);
        // Read back from the file, as the next start reads it.
        reset_text_settings();
        const DitherSettings d = DitherSettings::load();
        QVERIFY(d.on);
        QCOMPARE(d.size_px, 2.5);
        QCOMPARE(d.settle_px, 0.5);
        QCOMPARE(d.settle_s, 45);
        QCOMPARE(d.settle_frames, 4);
        QCOMPARE(cloud_wait_seconds(), 90);
        QVERIFY(!guide_graph_opens_itself());
    }

    void night_vision_turns_everything_red_and_is_remembered()
    {
        UiTestEnv env;
        // A grey ramp on show.
        auto dib = std::make_unique<QImage>(16, 1, QImage::Format_Indexed8);
        QList<QRgb> grey;
        for (int i = 0; i < 256; ++i)
            grey << qRgb(i, i, i);
        dib->setColorTable(grey);
        for (int x = 0; x < 16; ++x)
            dib->scanLine(0)[x] = static_cast<uchar>(x * 16 + 15);
        env.window().Dib = std::move(dib);
        const QColor day_window = QApplication::palette().color(QPalette::Window);

        // The key, as the user presses it over the main window.
        env.frame().show();
        QVERIFY(QTest::qWaitForWindowExposed(&env.frame()));
        QApplication::setActiveWindow(&env.frame());
        env.window().setFocus();
        QTest::keyClick(&env.window(), Qt::Key_R, Qt::ControlModifier);
        QVERIFY(night_vision_on());
        const QPalette night = QApplication::palette();
        for (auto role : { QPalette::Window, QPalette::Base, QPalette::Text, QPalette::WindowText, QPalette::Button,
                 QPalette::ButtonText, QPalette::Highlight }) {
            const QColor c = night.color(role);
            QVERIFY2(c.green() == 0 && c.blue() == 0 && c.red() <= 210, qPrintable(c.name()));
        }
        QVERIFY(!qApp->styleSheet().isEmpty());
        const QImage shown = env.window().Bitmap.toImage();
        for (int x = 0; x < 16; ++x) {
            const QRgb p = shown.pixel(x, 0);
            QCOMPARE(qGreen(p), 0);
            QCOMPARE(qBlue(p), 0);
            QVERIFY(qRed(p) <= 170);
        }
        QVERIFY(qRed(shown.pixel(15, 0)) > qRed(shown.pixel(0, 0)));
        refresh_command_states(env.frame(), env.window());
        QAction* item = env.frame().menuBar()->findChild<QAction*>(QString::number(cm_night_vision));
        QVERIFY(item != nullptr && item->isChecked());

        // Remembered: read again from the file.
        reset_text_settings();
        QVERIFY(night_vision_on());
        env.window().dispatch(cm_night_vision);
        QVERIFY(!night_vision_on());
        QCOMPARE(QApplication::palette().color(QPalette::Window), day_window);
        QVERIFY(qApp->styleSheet().isEmpty());
        QCOMPARE(qGreen(env.window().Bitmap.toImage().pixel(15, 0)), 255);
    }
};

QTEST_MAIN(GuideGraphTest)
#include "guide_graph_test.moc"
