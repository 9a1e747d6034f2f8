/* Resource ids shared by vornelle.rc (windres) and the C++ code.
 * Keep to plain #defines so the resource compiler can read it too. */
#ifndef VORNELLE_RESOURCE_H
#define VORNELLE_RESOURCE_H

/* String 1 is where Windows looks for a screen saver's display name. */
#define IDS_DESCRIPTION 1
#define IDS_ABOUTBOX    101

#define IDI_VORNELLE    128
#define IDC_BLANK       129

#endif /* VORNELLE_RESOURCE_H */
