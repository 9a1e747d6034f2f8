#pragma once

// The settings dialog's useless button: every click answers with a message
// box, or a series of them, that changes from click to click.
class UselessButton {
public:
    static void Click();
    // Clicks so far in this process (wrapped to 0 after each countdown).
    static int Clicks() { return s_uselessClicks; }
    static void ResetClicks() { s_uselessClicks = 0; }

private:
    static int s_uselessClicks;
};
