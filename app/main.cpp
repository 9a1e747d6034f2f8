#include "CScreensaverApp.h"

// The one application object; the framework's WinMain starts it.
static CScreensaverApp theApp;
