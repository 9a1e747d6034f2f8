#include "CGifRowWriter.h"

#include "CImageImpl.h"

#include <algorithm>
#include <cstring>

namespace {

struct InterlacePass {
    int firstRow;
    int step;
};
const InterlacePass kPasses[] = {{0, 8}, {4, 8}, {2, 4}, {1, 2}};
const int kPassCount = 4;

} // namespace

CGifRowWriter::CGifRowWriter(CImageImpl& image, bool interlaced)
    : m_image(image), m_interlaced(interlaced), m_storedRow(image.GetHeight() - 1)
{
}

void CGifRowWriter::CopyToImageRow(int imageRow, const std::uint8_t* pixels, int count)
{
    const int storedRow = m_image.GetHeight() - 1 - imageRow;
    if (!m_image.IsInside(0, storedRow) || m_image.GetBits() == nullptr)
        return;
    const int bytes = std::min(count, m_image.GetRowBytes());
    std::memcpy(m_image.GetBits() + static_cast<std::size_t>(storedRow) * m_image.GetRowBytes(),
                pixels, static_cast<std::size_t>(bytes));
}

int CGifRowWriter::PutRow(const std::uint8_t* pixels, int count)
{
    const int height = m_image.GetHeight();
    if (!m_interlaced) {
        if (!m_image.IsInside(0, m_storedRow))
            return -1;
        CopyToImageRow(height - 1 - m_storedRow, pixels, count);
        --m_storedRow;
        return 0;
    }
    // Rows after the fourth pass come only from damaged files: dropped.
    if (m_pass == kPassCount)
        return 0;
    CopyToImageRow(m_imageRow, pixels, count);
    m_imageRow += kPasses[m_pass].step;
    while (m_pass < kPassCount && m_imageRow >= height) {
        if (++m_pass < kPassCount)
            m_imageRow = kPasses[m_pass].firstRow;
    }
    return 0;
}
