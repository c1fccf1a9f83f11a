// The command table: every command number with its handler, the menu bar
// that carries the numbers, the accelerator keys and the status-bar hints.
#pragma once

#include <QKeySequence>
#include <QString>

#include <functional>
#include <vector>

class QMainWindow;
class QMenuBar;
class QWidget;
class TQuillonWindow;

using CommandHandler = void (*)(TQuillonWindow&);

struct CommandRow {
    int number;
    CommandHandler handler;
};

// One row per command, menu, control-bar and internal commands alike.
const std::vector<CommandRow>& command_table();
// The handler of `number`, or nullptr for an unknown number.
CommandHandler command_handler(int number);

// The status-bar hint of `number` (empty when it has none).
QString command_hint(int number);

struct Accelerator {
    QKeySequence key;
    int number;
};
const std::vector<Accelerator>& accelerator_table();

// Builds the whole menu bar; every item sends its number to `window`.
void build_menu_bar(QMenuBar& bar, TQuillonWindow& window);
// Installs the accelerators on `frame`; they work anywhere in its window.
void install_accelerators(QMainWindow& frame, TQuillonWindow& window);

// Applies the enable and check rules to every command item and button of
// `frame` (also done before each menu shows and after each command).
void refresh_command_states(QWidget& frame, const TQuillonWindow& window);

// Sees every command before its handler; returning true consumes it. Tests
// use it to record commands without running their handlers.
void set_command_spy(std::function<bool(int)> spy);
