// Enable and check rules of the menu and control-bar commands: pure functions
// of the program state, so they can be checked without any window.
#pragma once

// What an item shows: whether it can be chosen, and its check mark
// (check < 0: the item carries no check mark at all).
struct CommandEnabler {
    bool enabled = true;
    int check = -1;
};

// The two facts of the main window the rules read besides the globals.
struct WindowFacts {
    bool image_displayed = false; // the window holds a display image (Dib)
    int fit = 0; // the window's Fit member
};

CommandEnabler CeCopy(const WindowFacts& window);
CommandEnabler CeTelescope(); // 22, 23 and 24
CommandEnabler CeFit(const WindowFacts& window);
CommandEnabler CePickStar();
CommandEnabler CeGeo();
CommandEnabler CeBig();
CommandEnabler CeColPal();
CommandEnabler CeStretchPal();

// The rule of command `number`; always enabled and unchecked-free for a
// command without a rule.
CommandEnabler command_enabler(int number, const WindowFacts& window);

// True for the commands whose item carries a check mark.
bool command_is_checkable(int number);
