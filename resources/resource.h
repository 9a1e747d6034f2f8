/* Resource ids shared by vornelle.rc (windres) and the C++ code.
 * Keep to plain #defines so the resource compiler can read it too. */
#ifndef VORNELLE_RESOURCE_H
#define VORNELLE_RESOURCE_H

/* String 1 is where Windows looks for a screen saver's display name. */
#define IDS_DESCRIPTION 1
#define IDS_ABOUTBOX    101

#define IDD_ABOUTBOX    100
#define IDD_CONFIG      102

#define IDI_VORNELLE    128
#define IDC_BLANK       129

/* Controls of the settings dialog. */
#define IDC_PICTURE     1000
#define IDC_EFFECT      1003
#define IDC_PREVIEW     1006
#define IDC_WINDOWPREV  1009
#define IDC_BILINEAR    1010
#define IDC_BROWSE      1011
#define IDC_ABOUT       1012
#define IDC_USELESS     1013

/* The About item of the settings dialog's system menu. */
#define ID_SYSMENU_ABOUT 16

/* Resource type of dialog-initialisation data. */
#define RT_DIALOG_INIT  240

#endif /* VORNELLE_RESOURCE_H */
