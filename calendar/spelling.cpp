#include "calendar/spelling.h"

#include "core/error.h"
#include "core/textutil.h"

namespace rimo {

namespace {

// Indexed by digit; index 0 of units, tens and hundreds has no word.
const char16_t* const kUnits[10] = {u"",     u"يك ", u"دو ",  u"سه ",  u"چهار ",
                                    u"پنج ", u"شش ", u"هفت ", u"هشت ", u"نه "};
const char16_t* const kTens[10] = {u"",       u"",     u"بيست ",  u"سي ",    u"چهل ",
                                   u"پنجاه ", u"شصت ", u"هفتاد ", u"هشتاد ", u"نود "};
const char16_t* const kTeens[10] = {u"ده ",     u"يازده ",  u"دوازده ", u"سيزده ", u"چهارده ",
                                    u"پانزده ", u"شانزده ", u"هفده ",   u"هجده ",  u"نوزده "};
const char16_t* const kHundreds[10] = {u"",       u"صد ",   u"دويست ", u"سيصد ",  u"چهارصد ",
                                       u"پانصد ", u"ششصد ", u"هفتصد ", u"هشتصد ", u"نهصد "};
// Group 1 = thousands; a 32-bit integer has no group above 3.
const char16_t* const kGroups[4] = {u"", u"هزار ", u"ميليون ", u"ميليارد "};
constexpr char16_t kZero[] = u"صفر";
constexpr char16_t kJoiner[] = u" و ";
constexpr char16_t kOrdinal[] = u"م";

} // namespace

QString SpellNumber(int N)
{
    if (N < 0)
        throw Error(QStringLiteral("SpellNumber needs a number of 0 or more, not %1").arg(N));
    const QString digits = QString::number(N);
    if (N == 0)
        return QString::fromUtf16(kZero);

    // Words are put in front of the result while the digits are visited from the last one.
    const qsizetype count = digits.size();
    const auto digitAt = [&](qsizetype fromRight) -> int {
        return fromRight < count ? digits[count - 1 - fromRight].unicode() - u'0' : 0;
    };
    // Pieces are collected back to front and joined once at the end. Ten digits give at most
    // 3 words and 3 joiners per group and one word and joiner per group above the first.
    const char16_t* pieces[40];
    int pieceCount = 0;
    bool joinerPending = false;
    const auto prepend = [&](const char16_t* word) { pieces[pieceCount++] = word; };

    for (qsizetype i = 0; i < count; ++i) {
        const int digit = digitAt(i);
        const qsizetype group = i / 3;
        const qsizetype groupStart = group * 3;
        switch (i % 3) {
        case 0: {
            const int tens = digitAt(groupStart + 1);
            const int hundreds = digitAt(groupStart + 2);
            if (digit != 0 || tens != 0 || hundreds != 0) {
                if (joinerPending)
                    prepend(kJoiner);
                if (group >= 1 && group <= 3) {
                    prepend(kGroups[group]);
                    joinerPending = false;
                }
            }
            if (tens != 1) {
                if (joinerPending && digit != 0)
                    prepend(kJoiner);
                if (digit != 0) {
                    prepend(kUnits[digit]);
                    joinerPending = true;
                }
            }
            break;
        }
        case 1:
            if (joinerPending && digit > 1)
                prepend(kJoiner);
            if (digit > 1) {
                prepend(kTens[digit]);
                joinerPending = true;
            } else if (digit == 1) {
                if (joinerPending)
                    prepend(kJoiner);
                prepend(kTeens[digitAt(groupStart)]);
                joinerPending = true;
            }
            break;
        case 2:
            if (joinerPending && digit != 0)
                prepend(kJoiner);
            if (digit != 0) {
                prepend(kHundreds[digit]);
                joinerPending = true;
            }
            break;
        }
    }
    QString result;
    result.reserve(pieceCount * 6);
    for (int k = pieceCount - 1; k >= 0; --k)
        result += QStringView(pieces[k]);
    return result;
}

QString SpellOrdinal(const QString& Words)
{
    return trimmedView(Words, TrimSet::Blanks).toString() + QString::fromUtf16(kOrdinal) + u' ';
}

} // namespace rimo
