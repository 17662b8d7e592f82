#pragma once
// A 24-bit raster: width x height pixels of three bytes each, blue, green, red. Rows are reached by
// index; they lie top to bottom in one block without padding, which callers must not rely on.

#include <QImage>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace rimo {

class Bitmap
{
public:
    static constexpr int kBytesPerPixel = 3;
    // The largest raster held (about 800 MB of pixels); anything bigger is refused before allocating,
    // so a picture header announcing 65500 x 65500 pixels fails cleanly instead of exhausting memory.
    static constexpr std::int64_t kMaxPixels = std::int64_t{1} << 28;

    Bitmap() = default;
    // A black raster; raises rimo::Error when the size is negative or too large to hold.
    Bitmap(int width, int height);
    Bitmap(const Bitmap& other);
    Bitmap& operator=(const Bitmap& other);
    Bitmap(Bitmap&& other) noexcept;
    Bitmap& operator=(Bitmap&& other) noexcept;
    ~Bitmap() = default;

    int width() const { return m_width; }
    int height() const { return m_height; }
    // True when the raster has no pixels (zero width or zero height).
    bool isEmpty() const { return m_width == 0 || m_height == 0; }
    std::size_t rowBytes() const { return static_cast<std::size_t>(m_width) * kBytesPerPixel; }

    // Resizes to a black raster; raises rimo::Error as the constructor does.
    void setSize(int width, int height);
    // As setSize, but reports failure instead of raising (for callers that cannot unwind).
    bool trySetSize(int width, int height) noexcept;

    std::uint8_t* row(int y) { return m_pixels.get() + static_cast<std::size_t>(y) * rowBytes(); }
    const std::uint8_t* row(int y) const { return m_pixels.get() + static_cast<std::size_t>(y) * rowBytes(); }

    bool operator==(const Bitmap& other) const;

    // The picture as a QImage in Format_BGR888 (a copy).
    QImage toImage() const;
    // Any QImage flattened to 24 bits (alpha dropped); raises rimo::Error when it is too large.
    static Bitmap fromImage(const QImage& image);

private:
    // Large rasters are mapped straight from the system in huge pages where it offers them: their
    // pages come zeroed, and filling a 12-megapixel picture then costs a few dozen page faults
    // instead of thousands (each a trip into the kernel, dear on virtual machines).
    struct Release
    {
        std::size_t mappedBytes; // 0: the block came from calloc
        void operator()(std::uint8_t* p) const;
    };

    int m_width = 0;
    int m_height = 0;
    std::unique_ptr<std::uint8_t, Release> m_pixels{nullptr, Release{0}};
};

} // namespace rimo
