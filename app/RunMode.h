#pragma once

#include <windows.h>

// What the command line asks the program to be.
enum class Role { Configure, Preview, Saver };

struct RunMode {
    Role role;
    HWND previewParent; // the host's window in the preview role, else null
};

// Skips one leading "-" or "/" and compares the next character with the letter,
// case-sensitively; the rest of the argument is ignored.
bool MatchesRoleLetter(const char* argument, const char* letter);

// Decimal in the manner of atol: leading blanks, one optional sign, digits up to
// the first non-digit; no digits give 0.
HWND ParseWindowHandle(const char* text);

// Only arguments 1 and 2 are looked at; argv[0] is the program path.
RunMode ChooseRunMode(int argc, const char* const* argv);
