// The telescope dialogs driven by their control ids against the simulated
// mount behind the in-process port: range checks, go-to, and hand moves
// held on an arrow and let go.
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QtTest>

#include <string>
#include <vector>

#include "app/quillon_window.h"
#include "app/state.h"
#include "sim/in_process_port.h"
#include "sim/simulated_mount.h"
#include "store/settings_file.h"
#include "telescope/telescope_dialog.h"
#include "ui_test_env.h"

namespace {
struct Link {
    sim::PointingRecord sky;
    sim::SimulatedMount mount { sky };
    sim::InProcessSerialPort port { mount };
    Link()
    {
        set_serial_port(&port);
        mount.set_lower_limit(-90); // every object is up
    }
    ~Link() { set_serial_port(nullptr); }
    std::vector<std::string> writes() const
    {
        std::vector<std::string> out;
        for (const auto& w : port.writes)
            out.push_back(w.bytes);
        return out;
    }
};

// The device the settings file names: command 24 reloads the settings
// before it opens the link.
void configure(char device, bool swap_east_west = false)
{
    telescope = device;
    if (swap_east_west) {
        e = 'w';
        w = 'e';
    }
    QCOMPARE(SaveINIFile(ini_file.c_str()), settings_ok);
}

// The telescope dialog command 24 opened.
template <typename Dialog> Dialog* open_dialog(UiTestEnv& env)
{
    env.window().CmControl();
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<Dialog*>(top); d != nullptr && d->isVisible())
            return d;
    for (auto* d : env.window().findChildren<Dialog*>())
        if (d->isVisible())
            return d;
    return nullptr;
}

void type(QDialog* d, int id, const QString& text)
{
    auto* field = control<QLineEdit>(d, QString::number(id));
    QVERIFY2(field != nullptr, qPrintable(QString::number(id)));
    field->setText(text);
}

// Holds the arrow of scroll bar `id` (the far one for `down`) with the
// mouse while the program's (manual) clock moves on by `ms`, long enough to
// repeat; once the bar has repeated (waited for with a deadline), lets go.
void hold_arrow(QDialog* d, int id, bool down, int ms = 700)
{
    auto* bar = control<QScrollBar>(d, QString::number(id));
    QVERIFY(bar != nullptr);
    const bool horizontal = bar->orientation() == Qt::Horizontal;
    const int edge = 4;
    QPoint at = horizontal ? QPoint(down ? bar->width() - edge : edge, bar->height() / 2)
                           : QPoint(bar->width() / 2, down ? bar->height() - edge : edge);
    int steps = 0;
    QObject counting; // the count stops with this function, however it ends
    QObject::connect(bar, &QAbstractSlider::actionTriggered, &counting, [&steps](int) { ++steps; });
    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, at);
    test_env().clock.advance(ms);
    // The press stepped once; the repeat follows on the event loop.
    QTRY_VERIFY_WITH_TIMEOUT(steps > 1, 10000);
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, at);
}
} // namespace

class TelescopeDialogTest : public QObject {
    Q_OBJECT

private slots:
    void range_checks_and_go_tos()
    {
        UiTestEnv env;
        Link link;
        configure('l');
        auto* d = open_dialog<TMTDialog>(env);
        QVERIFY(d != nullptr);
        QCOMPARE(d->windowTitle(), QStringLiteral("QUILLON Move Telescope"));
        const char* const out_of_range = "Object out of range - try again";
        const char* const bad_coordinates = "Invalid Co-ordinates set.\n\nRange is R.A. 0hr 00min, to 23hr "
                                            "59mins\n        Dec  -89deg 00min, to +89deg 59mins";
        const struct {
            const char* what;
            int button;
            std::vector<std::pair<int, const char*>> typed;
            const char* box; // nullptr: accepted
            const char* first_write;
            const char* second_write = nullptr;
        } cases[] = {
            { "Messier 31", 103, { { 101, "31" }, { 102, "" } }, nullptr, "#:LM 0031#" },
            { "Messier wins over CNGC", 103, { { 101, "110" }, { 102, "7000" } }, nullptr, "#:LM 0110#" },
            { "Messier 0, CNGC 7815", 103, { { 101, "0" }, { 102, "7815" } }, nullptr, "#:LC 7815#" },
            { "Messier 111 falls through to CNGC 0", 103, { { 101, "111" }, { 102, "0" } }, out_of_range,
                nullptr },
            { "CNGC 7816", 103, { { 101, "" }, { 102, "7816" } }, out_of_range, nullptr },
            { "text reads as 0", 103, { { 101, "M31" }, { 102, "x" } }, out_of_range, nullptr },
            { "23 h 59 min, +89 deg 59 min", 116,
                { { 112, "23" }, { 113, "59" }, { 114, "89" }, { 115, "59" } }, nullptr, "#:Sr 23:59.0#",
                "#:Sd +89*59#" },
            { "Dec 0 goes out as +00", 116, { { 112, "5" }, { 113, "35" }, { 114, "0" }, { 115, "23" } },
                nullptr, "#:Sr 05:35.0#", "#:Sd +00*23#" },
            { "Dec -90", 116, { { 112, "5" }, { 113, "35" }, { 114, "-90" }, { 115, "0" } }, bad_coordinates,
                nullptr },
            { "RA 24 h", 116, { { 112, "24" }, { 113, "0" }, { 114, "0" }, { 115, "0" } }, bad_coordinates,
                nullptr },
            { "Dec minutes 60", 116, { { 112, "1" }, { 113, "0" }, { 114, "-5" }, { 115, "60" } },
                bad_coordinates, nullptr },
            { "Mars", 106, {}, nullptr, "#:LS 0904#" },
            { "Pluto", 111, {}, nullptr, "#:LS 0909#" },
        };
        for (const auto& c : cases) {
            env.host().boxes.clear();
            link.port.writes.clear();
            for (const auto& [id, text] : c.typed)
                type(d, id, QString::fromLatin1(text));
            press(d, std::to_string(c.button).c_str());
            if (c.box != nullptr) {
                QVERIFY2(env.host().boxes.size() == 1, c.what);
                QCOMPARE(env.host().boxes[0].text, std::string(c.box));
                QCOMPARE(env.host().boxes[0].caption, std::string("Quillon - Control Telescope"));
                QVERIFY2(link.port.writes.empty(), c.what);
            } else {
                QVERIFY2(env.host().boxes.empty(), c.what);
                QVERIFY2(!link.port.writes.empty(), c.what);
                QCOMPARE(link.port.writes.front().bytes, std::string(c.first_write));
                if (c.second_write != nullptr)
                    QCOMPARE(link.port.writes.at(1).bytes, std::string(c.second_write));
            }
        }
    }

    void info_from_scope_and_rates()
    {
        UiTestEnv env;
        Link link;
        configure('l');
        auto* d = open_dialog<TMTDialog>(env);
        QVERIFY(d != nullptr);
        type(d, 101, QStringLiteral("42"));
        press(d, "103");
        auto* info = control<QPlainTextEdit>(d, QStringLiteral("117"));
        QVERIFY(info != nullptr);
        QVERIFY(info->isReadOnly());
        QCOMPARE(info->toPlainText(), QString::fromLatin1(move_error));
        QVERIFY(!info->toPlainText().isEmpty());
        // Slew is chosen at start; "Centre" sends its rate with the next move.
        QVERIFY(control<QRadioButton>(d, QStringLiteral("120"))->isChecked());
        control<QRadioButton>(d, QStringLiteral("122"))->click();
        QCOMPARE(std::string(tele_speed), std::string("#:RC#"));
        control<QRadioButton>(d, QStringLiteral("126"))->click();
        QCOMPARE(std::string(focus_speed), std::string("#:FS#"));
        // Help.
        env.host().boxes.clear();
        press(d, "9");
        QCOMPARE(env.host().boxes.size(), size_t(1));
        QVERIFY(env.host().boxes[0].text.rfind("Enter a Messier or CNGC number", 0) == 0);
    }

    void held_arrows_move_until_released()
    {
        const struct {
            const char* what;
            int bar;
            bool down;
            bool swap_ew;
            std::vector<std::string> held, released;
        } cases[] = {
            { "east arrow", 118, true, false, { "#:RS#", "#:Me#" }, { "#:Qn#", "#:Qs#", "#:Qe#", "#:Qw#" } },
            { "east arrow, e/w swapped", 118, true, true, { "#:RS#", "#:Mw#" },
                { "#:Qn#", "#:Qs#", "#:Qe#", "#:Qw#" } },
            { "north arrow", 119, false, false, { "#:RS#", "#:Mn#" },
                { "#:Qn#", "#:Qs#", "#:Qe#", "#:Qw#" } },
            { "focus in", 124, false, false, { "#:FF#", "#:F+#" }, { "#:FQ#" } },
        };
        for (const auto& c : cases) {
            UiTestEnv env;
            Link link;
            configure('l', c.swap_ew);
            auto* d = open_dialog<TMTDialog>(env);
            QVERIFY(d != nullptr);
            link.port.writes.clear();
            auto* bar = control<QScrollBar>(d, QString::number(c.bar));
            QVERIFY(bar != nullptr);
            int repeats = 0;
            connect(bar, &QAbstractSlider::actionTriggered, [&](int) { ++repeats; });
            hold_arrow(d, c.bar, c.down);
            QVERIFY2(repeats > 1, c.what); // the arrow repeated while held
            std::vector<std::string> expected = c.held;
            expected.insert(expected.end(), c.released.begin(), c.released.end());
            std::string got_text;
            for (const std::string& w : link.writes())
                got_text += w + " ";
            QVERIFY2(link.writes() == expected, (std::string(c.what) + ": " + got_text).c_str());
            QCOMPARE(tele_moving, 0);
            QCOMPARE(tele_focussing, 0);
            d->close();
        }
    }

    void control_box_dialog_moves_the_relays()
    {
        UiTestEnv env;
        Link link;
        configure('b');
        auto* d = open_dialog<TCBDialog>(env);
        QVERIFY(d != nullptr);
        QCOMPARE(d->windowTitle(), QStringLiteral("Move Telescope"));
        // Opening woke the box up.
        QVERIFY(link.port.sent().find(std::string("\x0d\x00\x00", 3)) != std::string::npos);
        link.port.writes.clear();
        hold_arrow(d, 101, true);
        QCOMPARE(link.port.sent(), std::string("\x01\x11\x00", 3));
    }

    void no_port_no_dialog()
    {
        UiTestEnv env;
        Link link;
        link.port.refuse_open = true;
        configure('l');
        QVERIFY(open_dialog<TMTDialog>(env) == nullptr);
        std::vector<std::string> texts;
        for (const auto& b : env.host().boxes)
            texts.push_back(b.text);
        QCOMPARE(texts,
            (std::vector<std::string> {
                "ERROR -1 ", "Open Communications Failed", "Sorry. No Connection to Telescope" }));
        QCOMPARE(telescope, 'n');
    }
};

QTEST_MAIN(TelescopeDialogTest)
#include "telescope_dialog_test.moc"
