#pragma once
// The glyph images of the gradient push buttons: one image per glyph state, made once and kept
// in a list per image size that all buttons share.

#include <QColor>
#include <QImage>
#include <QPalette>
#include <memory>
#include <vector>

enum TButtonState { bsUp, bsDisabled, bsDown, bsExclusive };

class TXFGlyphList
{
public:
    static std::unique_ptr<TXFGlyphList> CreateSize(int AWidth, int AHeight);
    ~TXFGlyphList() = default;

    // Stores `Image` in the lowest free slot (growing the list by one when none is free), pixels
    // of `MaskColor` transparent; returns the slot.
    int AddMasked(const QImage& Image, const QColor& MaskColor);
    // Frees a slot for the next AddMasked.
    void Delete(int Index);
    int Count() const { return m_count; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    // Occupied slots.
    const std::vector<bool>& Used() const { return m_used; }
    // The stored image (transparent where masked); a null image for a free or unknown slot.
    QImage image(int Index) const;

private:
    TXFGlyphList(int w, int h);

    int m_width;
    int m_height;
    int m_count = 0;
    std::vector<bool> m_used;
    std::vector<QImage> m_images;
};

class TXFGlyphCache
{
public:
    // The list for images of this size: the last made one that fits, or a new one appended.
    TXFGlyphList* GetList(int AWidth, int AHeight);
    int listCount() const { return int(m_lists.size()); }

private:
    std::vector<std::unique_ptr<TXFGlyphList>> m_lists;
};

namespace rimo::xfbutton {

// The one cache all buttons share, made on first need.
TXFGlyphCache& glyphCache();

// The fixed transparent colour of a glyph strip: its bottom-left pixel.
QColor transparentColorOf(const QImage& strip);

// The image of `state` cut from a strip of `numGlyphs` images, on the button face (system colours
// from `palette`); pixels of the face colour are the transparent ones. A null image without a glyph.
QImage stateImage(const QImage& strip, int numGlyphs, TButtonState state, const QPalette& palette);

} // namespace rimo::xfbutton
