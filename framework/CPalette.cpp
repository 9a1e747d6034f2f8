#include "CPalette.h"

CPalette::~CPalette()
{
    if (HPALETTE palette = Detach())
        ::DeleteObject(palette);
}

bool CPalette::Attach(HPALETTE palette)
{
    if (m_hObject != nullptr)
        return false;
    m_hObject = palette;
    return true;
}

HPALETTE CPalette::Detach()
{
    HPALETTE palette = m_hObject;
    m_hObject = nullptr;
    return palette;
}
