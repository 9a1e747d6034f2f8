#pragma once

#include "framework/CDialog.h"
#include "windows/CPictureWnd.h"

#include <string>

// The settings dialog: picture path with Browse, effect list, two options, a
// preview pane showing the stored picture, About and the useless button. It
// only moves values between its controls and its members.
class CConfigDialog : public CDialog {
public:
    CConfigDialog();

    std::string m_strPicture;
    int m_bBilinear = 0;
    int m_bWindowPrev = 0;
    int m_nEffect = -1;

    const CPictureWnd& GetPreview() const { return m_preview; }

protected:
    const MessageTable* GetMessageTable() const override { return &messageTable; }
    static const MessageTable messageTable;
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

private:
    static const MessageRow messageRows[];
    void OnBrowse();
    void OnAbout();
    void OnUseless();
    LRESULT OnSysCommand(UINT command);
    LRESULT OnPaint(WPARAM, LPARAM);
    LRESULT OnQueryDragIcon(WPARAM, LPARAM);

    HICON m_hIcon;
    // Loads the stored picture when the dialog is made, before its own values.
    CPictureWnd m_preview;
};
