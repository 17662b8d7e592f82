#include "toolkit/images/bitmap.h"

#include "core/error.h"

#include <cstdlib>
#include <cstring>
#include <sys/mman.h>
#include <utility>

namespace rimo {

namespace {

// Blocks from here up are mapped directly; below, calloc serves them from its heap.
constexpr std::size_t kMappedFrom = std::size_t{1} << 22;
constexpr std::size_t kHugePage = std::size_t{1} << 21;

} // namespace

void Bitmap::Release::operator()(std::uint8_t* p) const
{
    if (mappedBytes)
        munmap(p, mappedBytes);
    else
        std::free(p);
}

Bitmap::Bitmap(int width, int height)
{
    setSize(width, height);
}

Bitmap::Bitmap(const Bitmap& other)
{
    *this = other;
}

Bitmap& Bitmap::operator=(const Bitmap& other)
{
    if (this == &other)
        return *this;
    setSize(other.m_width, other.m_height);
    if (!isEmpty())
        std::memcpy(m_pixels.get(), other.m_pixels.get(), rowBytes() * static_cast<std::size_t>(m_height));
    return *this;
}

Bitmap::Bitmap(Bitmap&& other) noexcept
    : m_width(std::exchange(other.m_width, 0)), m_height(std::exchange(other.m_height, 0)),
      m_pixels(std::move(other.m_pixels))
{
}

Bitmap& Bitmap::operator=(Bitmap&& other) noexcept
{
    m_width = std::exchange(other.m_width, 0);
    m_height = std::exchange(other.m_height, 0);
    m_pixels = std::move(other.m_pixels);
    return *this;
}

bool Bitmap::trySetSize(int width, int height) noexcept
{
    if (width < 0 || height < 0 || std::int64_t{width} * height > kMaxPixels)
        return false;
    const std::size_t bytes =
        static_cast<std::size_t>(width) * kBytesPerPixel * static_cast<std::size_t>(height);
    if (bytes >= kMappedFrom) {
        const std::size_t mapped = (bytes + kHugePage - 1) / kHugePage * kHugePage;
        void* block = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (block == MAP_FAILED)
            return false;
        madvise(block, mapped, MADV_HUGEPAGE); // advice only: without huge pages it still works
        m_pixels = std::unique_ptr<std::uint8_t, Release>(static_cast<std::uint8_t*>(block), Release{mapped});
    } else {
        std::uint8_t* pixels = nullptr;
        if (bytes > 0) {
            pixels = static_cast<std::uint8_t*>(std::calloc(bytes, 1));
            if (!pixels)
                return false;
        }
        m_pixels = std::unique_ptr<std::uint8_t, Release>(pixels, Release{0});
    }
    m_width = width;
    m_height = height;
    return true;
}

void Bitmap::setSize(int width, int height)
{
    if (!trySetSize(width, height)) {
        throw Error(
            QStringLiteral("A picture of %1 x %2 pixels cannot be held in memory").arg(width).arg(height));
    }
}

bool Bitmap::operator==(const Bitmap& other) const
{
    if (m_width != other.m_width || m_height != other.m_height)
        return false;
    return isEmpty() || std::memcmp(m_pixels.get(), other.m_pixels.get(),
                                    rowBytes() * static_cast<std::size_t>(m_height)) == 0;
}

QImage Bitmap::toImage() const
{
    QImage image(m_width, m_height, QImage::Format_BGR888);
    for (int y = 0; y < m_height; ++y)
        std::memcpy(image.scanLine(y), row(y), rowBytes());
    return image;
}

Bitmap Bitmap::fromImage(const QImage& image)
{
    const QImage bgr =
        image.format() == QImage::Format_BGR888 ? image : image.convertToFormat(QImage::Format_BGR888);
    if (bgr.isNull() && !image.isNull())
        throw Error(QStringLiteral("A picture of %1 x %2 pixels cannot be held in memory")
                        .arg(image.width())
                        .arg(image.height()));
    Bitmap bitmap(bgr.width(), bgr.height());
    for (int y = 0; y < bitmap.height(); ++y)
        std::memcpy(bitmap.row(y), bgr.constScanLine(y), bitmap.rowBytes());
    return bitmap;
}

} // namespace rimo
