#pragma once
// Small value, text and sound services of the toolkit object: a variant choice, blank tests and
// trimming, a number-text check, rounding, truncation through text, integer max/min, the
// scramblers and warning tones. The toolkit object inherits them and supplies the tone player.

#include "platform/services.h"

#include <QString>
#include <QVariant>

class TValueServices
{
public:
    virtual ~TValueServices() = default;

    // The tone device Sound and NoSound drive (the toolkit object's platform tone).
    virtual rimo::TonePlayer& tonePlayer() = 0;

    // A copy of TrueR when Test holds, else a copy of FalseR.
    static QVariant iif(bool Test, const QVariant& TrueR, const QVariant& FalseR);
    // Empty once every leading and trailing character of code 32 or less is removed.
    static bool IsBlank(const QString& St);
    // Blank texts come back unchanged; otherwise leading and trailing blanks (code 32 only) go.
    static QString RemoveRLBLank(const QString& InSt);
    // Only digits, "-" and "." (positions and counts are not examined); the empty text is valid.
    static bool IsValidNum(const QString& St);
    // Two decimals, ties to the even neighbour, computed in extended precision.
    static double To2DigitFloat(double InNum);
    // Num's shortest general text (15 digits, the decimal separator in force) without the first
    // "." and its fraction, read as an integer: truncation toward zero while the separator is ".".
    // Raises rimo::Error when that text is no 32-bit integer (exponent forms, 3e9, "2,5").
    static int ToInt(double Num);
    static int Max(int x, int y) { return y < x ? x : y; }
    static int Min(int x, int y) { return y < x ? y : x; }
    static QString FindXOR(const QString& St);
    static QString FindXORSimple(const QString& St);

    // A tone of aFreq hertz for aDelay milliseconds; blocks for its length.
    void Sound(int aFreq, int aDelay);
    void NoSound();
    // Sound(1200, 50), Sound(900, 100), NoSound.
    void WarningSound();
};

namespace rimo {
// The text ToInt reads: Delphi-style general format with 15 significant digits ("2.9", "1E20",
// "-1.5E-6"), with `decimalSeparator` in place of the point.
QString generalNumberText(double value, QChar decimalSeparator);
} // namespace rimo
