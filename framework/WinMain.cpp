#include "CWinApp.h"

#include <windows.h>

// The program's entry: the application object is a static of the program, so
// it exists before this runs.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    CWinApp* app = AfxGetApp();
    if (app == nullptr || !app->InitInstance())
        return 0;
    return app->Run();
}
