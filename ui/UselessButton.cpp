#include "UselessButton.h"

#include "framework/MessageBoxService.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

int UselessButton::s_uselessClicks = 0;

void UselessButton::Click()
{
    switch (static_cast<unsigned>(s_uselessClicks)) {
    case 0:
        if (AfxMessageBox("You don't really trust people, do you ?", MB_ABORTRETRYIGNORE) ==
            IDIGNORE)
            AfxMessageBox("That's right, ignore me...\nYou're a real grown-up !", MB_OK);
        break;
    case 1:
        AfxMessageBox("Try to be funny eh...", MB_RETRYCANCEL);
        break;
    case 2:
        if (AfxMessageBox("Are you being payed for watching screensavers ?", MB_YESNOCANCEL) ==
            IDYES)
            AfxMessageBox("You ARE sad :) ", MB_ABORTRETRYIGNORE);
        break;
    case 3:
        AfxMessageBox("You'll get RSI if you go on like this.", MB_OK | MB_ICONEXCLAMATION);
        break;
    default: {
        // Button sets 0..5 in MessageBox order, counting down from 8 to 3.
        for (int i = 0; i < 10; ++i) {
            const int k = std::min(i, 5);
            char text[64];
            std::snprintf(text, sizeof text, "Let's count back... %d !", 8 - k);
            AfxMessageBox(text, static_cast<UINT>(k));
        }
        s_uselessClicks = 0;
        break;
    }
    }
    ++s_uselessClicks;
}
