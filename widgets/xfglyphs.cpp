#include "widgets/xfglyphs.h"

#include "widgets/tcolor.h"
#include "widgets/xfbuttonlogic.h"

#include <QPainter>

std::unique_ptr<TXFGlyphList> TXFGlyphList::CreateSize(int AWidth, int AHeight)
{
    return std::unique_ptr<TXFGlyphList>(new TXFGlyphList(AWidth, AHeight));
}

TXFGlyphList::TXFGlyphList(int w, int h) : m_width(w), m_height(h) {}

int TXFGlyphList::AddMasked(const QImage& Image, const QColor& MaskColor)
{
    int slot = 0;
    while (slot < int(m_used.size()) && m_used[size_t(slot)])
        ++slot;
    if (slot == int(m_used.size())) {
        m_used.push_back(false);
        m_images.emplace_back();
    }
    QImage stored = Image.convertToFormat(QImage::Format_ARGB32);
    const QRgb mask = MaskColor.rgb() | 0xFF000000u;
    for (int y = 0; y < stored.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(stored.scanLine(y));
        for (int x = 0; x < stored.width(); ++x) {
            if ((line[x] | 0xFF000000u) == mask)
                line[x] = 0;
        }
    }
    m_images[size_t(slot)] = stored;
    m_used[size_t(slot)] = true;
    ++m_count;
    return slot;
}

void TXFGlyphList::Delete(int Index)
{
    if (Index < 0 || Index >= int(m_used.size()) || !m_used[size_t(Index)])
        return;
    m_used[size_t(Index)] = false;
    m_images[size_t(Index)] = QImage();
    --m_count;
}

QImage TXFGlyphList::image(int Index) const
{
    if (Index < 0 || Index >= int(m_used.size()) || !m_used[size_t(Index)])
        return {};
    return m_images[size_t(Index)];
}

TXFGlyphList* TXFGlyphCache::GetList(int AWidth, int AHeight)
{
    for (auto it = m_lists.rbegin(); it != m_lists.rend(); ++it) {
        if ((*it)->width() == AWidth && (*it)->height() == AHeight)
            return it->get();
    }
    m_lists.push_back(TXFGlyphList::CreateSize(AWidth, AHeight));
    return m_lists.back().get();
}

namespace rimo::xfbutton {

TXFGlyphCache& glyphCache()
{
    static TXFGlyphCache cache;
    return cache;
}

QColor transparentColorOf(const QImage& strip)
{
    if (strip.isNull())
        return {};
    return strip.pixelColor(0, strip.height() - 1);
}

namespace {

bool sameRgb(QRgb a, QRgb b)
{
    return (a | 0xFF000000u) == (b | 0xFF000000u);
}

// The one-image disabled glyph: its shape in the highlight colour one pixel right and down,
// then in the shadow colour at its place, on the face.
QImage embossed(const QImage& up, QRgb transparent, const QPalette& palette)
{
    const QRgb face = toQColor(kBtnFace, palette).rgb();
    const QRgb light = toQColor(kBtnHighlight, palette).rgb();
    const QRgb shadow = toQColor(kBtnShadow, palette).rgb();
    QImage out(up.size(), QImage::Format_ARGB32);
    out.fill(face);
    // The monochrome mask: every pixel that is neither transparent nor white is part of the shape.
    auto inShape = [&](int x, int y) {
        const QRgb px = up.pixel(x, y);
        return !sameRgb(px, transparent) && !sameRgb(px, qRgb(255, 255, 255));
    };
    for (int y = 0; y < up.height(); ++y)
        for (int x = 0; x < up.width(); ++x)
            if (inShape(x, y) && x + 1 < out.width() && y + 1 < out.height())
                out.setPixel(x + 1, y + 1, light);
    for (int y = 0; y < up.height(); ++y)
        for (int x = 0; x < up.width(); ++x)
            if (inShape(x, y))
                out.setPixel(x, y, shadow);
    return out;
}

// The strip's own disabled image in the current system colours.
QImage recoloured(const QImage& disabled, QRgb transparent, const QPalette& palette)
{
    const QRgb face = toQColor(kBtnFace, palette).rgb();
    const QRgb light = toQColor(kBtnHighlight, palette).rgb();
    const QRgb shadow = toQColor(kBtnShadow, palette).rgb();
    QImage out = disabled.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            if (sameRgb(line[x], transparent))
                line[x] = face;
            else if (sameRgb(line[x], qRgb(255, 255, 255)))
                line[x] = light;
            else if (sameRgb(line[x], qRgb(128, 128, 128)))
                line[x] = shadow;
        }
    }
    return out;
}

// Own transparent pixels turned into the face colour, so that one mask colour serves every state.
QImage onFace(const QImage& image, QRgb transparent, const QPalette& palette)
{
    const QRgb face = toQColor(kBtnFace, palette).rgb();
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            if (sameRgb(line[x], transparent) || qAlpha(line[x]) == 0)
                line[x] = face;
    }
    return out;
}

} // namespace

QImage stateImage(const QImage& strip, int numGlyphs, TButtonState state, const QPalette& palette)
{
    if (strip.isNull() || numGlyphs < 1)
        return {};
    const int w = strip.width() / numGlyphs;
    const QRgb transparent = transparentColorOf(strip).rgb();
    auto cut = [&](int index) { return strip.copy(index * w, 0, w, strip.height()); };
    int index = int(state);
    if (state == bsDown && numGlyphs < 3)
        index = int(bsUp);
    if (state == bsExclusive && numGlyphs < 4)
        index = int(bsUp);
    if (state == bsDisabled) {
        if (numGlyphs == 1)
            return embossed(cut(0), transparent, palette);
        return recoloured(cut(1), transparent, palette);
    }
    return onFace(cut(index), transparent, palette);
}

} // namespace rimo::xfbutton
