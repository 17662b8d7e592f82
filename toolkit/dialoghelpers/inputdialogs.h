#pragma once
// The toolkit object's one-line Persian input dialogs, built per call in dialog units of their
// font and run through the dialog seam. The toolkit object inherits them and supplies the
// keyboard layout switches.

#include <QString>
#include <QStringList>

class QFont;

class TInputDialogs
{
public:
    virtual ~TInputDialogs() = default;

    virtual void SwitchToFarsi() = 0;
    virtual void SwitchToEnglish() = 0;

    // True and `Value` replaced when the user accepts a text that is not blank; an OK on a
    // blank text shows the dialog again; any other close leaves `Value` alone.
    bool InQuery(const QString& APrompt, QString& Value);
    // As InQuery, on the English keyboard layout.
    bool InQueryEng(const QString& APrompt, QString& Value);
    // As InQuery, every character shown as "*"; only the empty text is refused.
    bool PassInQuery(const QString& APrompt, QString& Value);
    // A pick from a copy of `InSL` without its first ".همه گروهها."; the caller's list is kept.
    bool InQueryCombo(const QString& APrompt, QString& Value, const QStringList& InSL);
};

namespace rimo {

// The average letter width and the line height a dialog's units are measured in.
struct DialogUnits
{
    int cx = 0;
    int cy = 0;

    // Horizontal and vertical units in pixels, rounded to nearest with halves up.
    int x(int units) const { return (units * cx + 2) / 4; }
    int y(int units) const { return (units * cy + 4) / 8; }
};

// cx: the width of the 52 letters A-Z a-z divided by 52 without remainder; cy: the font's height.
DialogUnits dialogUnits(const QFont& font);

// The list dialog of a query's choices: " " first, then `entries`; an entry equal to the first
// 255 characters of `Value` starts chosen, else the blank one, which OK refuses.
bool pickFromList(const QString& APrompt, const QStringList& entries, QString& Value);

// The dialog font: Tahoma (or its fallback) at 9 points.
QFont inputDialogFont();

} // namespace rimo
