#pragma once
// Small text helpers every module uses: trimming by character code and two-digit numbers.

#include <QString>
#include <QStringView>

namespace rimo {

// The characters trimming removes from both ends of a text.
enum class TrimSet {
    Blanks,   // the blank (code 32) only
    Controls, // every character of code 32 or less: blanks, tabs, line ends and other controls
};

// `text` without its leading and trailing characters of `set`. Unlike QString::trimmed, no other
// Unicode spacing counts (a no-break space stays).
QStringView trimmedView(QStringView text, TrimSet set);

// A number of 0 or more with at least two digits: "05", "12", "123".
QString twoDigits(qint64 value);

// `part` completed at the front from `filler` to the filler's length: ("89", "1300") gives
// "1389", ("7", "00") gives "07"; a part as long as the filler or longer stays as it is.
QString completedFrom(QStringView part, QStringView filler);

} // namespace rimo
