#pragma once

#include "framework/CWnd.h"

#include <memory>
#include <string>

class CImageObject;

// The window that shows the user's picture: painted with GDI (pictures with a
// palette) and, when full screen or with "WindowPrev" on, animated by the
// render thread from its first paint until it is destroyed.
class CPictureWnd : public CWnd {
public:
    // autoDelete: the object deletes itself after its window's last message.
    explicit CPictureWnd(int autoDelete);
    ~CPictureWnd() override;

    // The id and the creation context are accepted and ignored.
    virtual BOOL Create(DWORD exStyle, DWORD style, const RECT& rect, HWND parent, UINT id,
                        void* context);

    const CImageObject* GetPicture() const { return picture.get(); }
    bool IsAnimating() const { return fullScreen || windowedPreview; }
    bool RenderStarted() const { return !renderPending; }

protected:
    const MessageTable* GetMessageTable() const override { return &messageTable; }
    static const MessageTable messageTable;
    void PostNcDestroy() override;

    int fullScreen = 0;

private:
    static const MessageRow messageRows[];
    void OnPaint();

    std::string picturePath;
    std::unique_ptr<CImageObject> picture;
    int autoDelete;
    int windowedPreview = 0;
    int renderPending = 1;
};
