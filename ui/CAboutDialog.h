#pragma once

#include "framework/CDialog.h"

// The About box: the program's icon, name and credits, centred over its owner.
class CAboutDialog : public CDialog {
public:
    CAboutDialog();

protected:
    BOOL OnInitDialog() override;
};
