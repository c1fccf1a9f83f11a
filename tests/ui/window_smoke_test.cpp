#include <QtTest>

#include "app/quillon_window.h"
#include "ui_test_env.h"

class WindowSmokeTest : public QObject {
    Q_OBJECT

private slots:
    void caption_at_start()
    {
        UiTestEnv env;
        QCOMPARE(env.frame().windowTitle(), QStringLiteral("Quillon - (Untitled)"));
        QCOMPARE(env.frame().geometry().size(), QSize(710, 500));
    }
};

QTEST_MAIN(WindowSmokeTest)
#include "window_smoke_test.moc"
