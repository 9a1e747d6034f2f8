// A small program that uses the settings as the screen saver does, under the
// company key of the screen saver and the name of its own file.
//   settings_probe [EFFECT PICTURE]: writes both when given, then exits with
//   the "Effect" read back (default 1).
#include "app/CScreensaverApp.h"

#include <cstdlib>

int main(int argc, char** argv)
{
    CScreensaverApp app;
    app.SetRegistryKey(kCompanyKey);
    if (argc >= 3) {
        app.WriteSettingInt("Config", "Effect", std::atoi(argv[1]));
        app.WriteSettingString("Config", "Picture", argv[2]);
    }
    return app.ReadSettingInt("Config", "Effect", 1);
}
