#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBrowser>
#include <QtTest>

#include <cstring>

#include "app/data_root.h"
#include "app/quillon_window.h"
#include "app/state.h"
#include "display/info_dialogs.h"
#include "display/info_window.h"
#include "store/buffers.h"
#include "ui_test_env.h"

namespace {
TProgressDialog* progress_dialog()
{
    for (QWidget* top : QApplication::allWidgets())
        if (auto* d = qobject_cast<TProgressDialog*>(top))
            return d;
    return nullptr;
}

QString edit_text(QWidget* w, int id)
{
    return control<QLineEdit>(w, QString::number(id))->text();
}
} // namespace

class InfoWindowsTest : public QObject {
    Q_OBJECT

private slots:
    void progress_window_follows_its_owner()
    {
        UiTestEnv env;
        std::strcpy(progress_caption, "FILTER PROGRESS");
        show_progress_window();
        TProgressDialog* d = progress_dialog();
        QVERIFY(d != nullptr);
        QVERIFY(d->isVisible());
        QCOMPARE(d->windowTitle(), QStringLiteral("FILTER PROGRESS"));
        auto* bar = control<QScrollBar>(d, "101");
        QVERIFY(bar != nullptr);
        QCOMPARE(bar->orientation(), Qt::Horizontal);
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), 256);
        QCOMPARE(bar->value(), 0);
        QStringList labels;
        for (auto* label : d->findChildren<QLabel*>())
            labels << label->text();
        QVERIFY(labels.contains("0%"));
        QVERIFY(labels.contains("100%"));

        // The caption changes only when asked to.
        progress = 128;
        std::strcpy(progress_caption, "READ ZQ CAMERA");
        update_progress_window();
        QCOMPARE(bar->value(), 128);
        QCOMPARE(d->windowTitle(), QStringLiteral("FILTER PROGRESS"));
        changecaption = 1;
        progress = 256;
        update_progress_window();
        QCOMPARE(bar->value(), 256);
        QCOMPARE(d->windowTitle(), QStringLiteral("READ ZQ CAMERA"));
        QCOMPARE(changecaption, 0);

        close_progress_window();
        QVERIFY(progress_dialog() == nullptr);
        update_progress_window(); // nothing open: nothing happens
        close_progress_window();
    }

    void information_window_shows_the_guiding_values()
    {
        UiTestEnv env;
        QVERIFY(!info_window_open());
        std::strcpy(info_caption, "Guiding Info - Checking Telescope");
        xcent = 50;
        xcentdec = 3;
        ycent = 7;
        ycentdec = 0;
        x3 = 1500;
        y3 = -2000;
        show_info_window();
        QVERIFY(info_window_open());
        QVERIFY(TIN != nullptr);
        QCOMPARE(TIN->windowTitle(), QStringLiteral("Guiding Info - Checking Telescope"));
        update_info_window();
        QCOMPARE(edit_text(TIN, 101), QStringLiteral("50.3"));
        QCOMPARE(edit_text(TIN, 102), QStringLiteral("7.0"));
        QCOMPARE(edit_text(TIN, 103), QStringLiteral("1.5"));
        QCOMPARE(edit_text(TIN, 104), QStringLiteral("-2.0"));
        QStringList labels;
        for (auto* label : TIN->findChildren<QLabel*>())
            labels << label->text();
        for (const char* text :
            { "x", "y", "dx", "dy", "Guiding Frame", "Offsets from top left corner of displayed frame" })
            QVERIFY2(labels.contains(QString::fromLatin1(text)), text);

        std::strcpy(info_caption, "Guiding Info - Downloading Image");
        update_info_window();
        QCOMPARE(TIN->windowTitle(), QStringLiteral("Guiding Info - Downloading Image"));

        close_info_window();
        QVERIFY(!info_window_open());
        QVERIFY(TIN == nullptr);
    }

    void information_window_draws_the_guide_frame_and_the_cross()
    {
        UiTestEnv env;
        QImage frame(128, 128, QImage::Format_RGB32);
        frame.fill(QColor(0, 200, 0));
        QVERIFY(frame.save(QString::fromStdString(data_path("quillonf.bmp")), "BMP"));
        guide_x1 = 20;
        guide_y1 = 30;
        show_info_window();
        const QColor background = TIN->grab().toImage().pixelColor(100, 150);
        QVERIFY(background != QColor(0, 200, 0)); // no guide image yet

        got_guide_image = 1;
        const QImage shot = TIN->grab().toImage();
        QCOMPARE(shot.pixelColor(TInfoDialog::picture_x + 1, TInfoDialog::picture_y + 1), QColor(0, 200, 0));
        QCOMPARE(
            shot.pixelColor(TInfoDialog::picture_x + 127, TInfoDialog::picture_y + 127), QColor(0, 200, 0));
        // Horizontal arm at y1 + 66 from x1 + 59 to x1 + 99, vertical at x1 + 79.
        QCOMPARE(shot.pixelColor(20 + 60, 30 + 66), QColor(Qt::red));
        QCOMPARE(shot.pixelColor(20 + 98, 30 + 66), QColor(Qt::red));
        QCOMPARE(shot.pixelColor(20 + 79, 30 + 50), QColor(Qt::red));
        QCOMPARE(shot.pixelColor(20 + 79, 30 + 85), QColor(Qt::red));
        QCOMPARE(shot.pixelColor(20 + 90, 30 + 80), QColor(0, 200, 0));
        close_info_window();
    }

    void history_lists_the_calibration_of_a_new_frame()
    {
        UiTestEnv env;
        append_history("Median Filter");
        darkframe_remove = 1;
        flatfield_remove = 1;
        env.window().CmShowImage();
        QCOMPARE(end_exp, long(test_env().clock.now_seconds()));
        QCOMPARE(QString::fromLatin1(process_info[0]), QStringLiteral("Dark Frame Subtracted"));
        QCOMPARE(QString::fromLatin1(process_info[1]), QStringLiteral("Flatfield Applied"));
        QCOMPARE(process_info[2][0], '\0');
        env.window().Info();
        QCOMPARE(QString::fromStdString(env.host().boxes.back().text),
            QStringLiteral("Dark Frame Subtracted \nFlatfield Applied \n"));
        QCOMPARE(QString::fromStdString(env.host().boxes.back().caption), QStringLiteral("Quillon"));

        darkframe_remove = 0;
        env.window().CmShowImage();
        QCOMPARE(QString::fromLatin1(process_info[0]), QStringLiteral("Flatfield Applied"));
        QCOMPARE(process_info[1][0], '\0');
    }

    void history_box_rules()
    {
        UiTestEnv env;
        // Empty: the box says so instead of showing a blank line.
        env.window().Info();
        QCOMPARE(QString::fromStdString(env.host().boxes.back().text),
            QStringLiteral("The processing history is empty: nothing has been done to this image yet."));
        // The listing stops before an entry of one character.
        append_history("Normal Stretch : max 200 ,min 10");
        append_history("x");
        append_history("Median Filter");
        env.window().Info();
        QCOMPARE(QString::fromStdString(env.host().boxes.back().text),
            QStringLiteral("Normal Stretch : max 200 ,min 10 \n"));
    }

    void about_box_has_one_ok_button()
    {
        UiTestEnv env;
        bool ran = false;
        when_modal_shows([&](QDialog* d) {
            ran = true;
            QStringList lines;
            for (auto* label : d->findChildren<QLabel*>())
                lines << label->text();
            const auto buttons = d->findChildren<QPushButton*>();
            if (buttons.size() == 1)
                buttons[0]->click();
            else
                d->reject();
            QCOMPARE(d->windowTitle(), QStringLiteral("Help About QUILLON"));
            QVERIFY(lines.contains("QUILLON Image processing software for use with Vantrel ZQ cameras"));
            QVERIFY(lines.filter("Version").size() == 1);
            QVERIFY(lines.filter("Released").size() == 1);
            QCOMPARE(buttons.size(), qsizetype(1));
            QCOMPARE(buttons[0]->text(), QStringLiteral("OK"));
        });
        env.window().Help_About();
        QVERIFY(ran);
    }

    void help_window_shows_the_shipped_page()
    {
        UiTestEnv env;
        env.window().Help_Using();
        env.window().Help_Using();
        QList<QTextBrowser*> browsers;
        for (QWidget* w : QApplication::allWidgets())
            if (auto* b = qobject_cast<QTextBrowser*>(w))
                browsers << b;
        QCOMPARE(browsers.size(), qsizetype(1));
        const QString text = browsers[0]->toPlainText();
        QVERIFY(text.contains("Help in using QUILLON"));
        QVERIFY(text.contains("Set Program Defaults"));
        QVERIFY(text.contains("Train Auto-Guiding"));
        QVERIFY(browsers[0]->window()->isVisible());
        QVERIFY(env.host().boxes.empty());
        browsers[0]->window()->close();
    }
};

QTEST_MAIN(InfoWindowsTest)
#include "info_windows_test.moc"
