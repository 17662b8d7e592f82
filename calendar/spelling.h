#pragma once
// Persian words for numbers: a cardinal speller and the ordinal form built on its words.

#include <QString>

namespace rimo {

// Persian words of N (0 or positive). Every word keeps its own trailing blank and joiners are
// " و ", so a non-empty result other than the zero word ends with a blank. Raises rimo::Error for
// a negative N.
QString SpellNumber(int N);

// Words trimmed of blanks, then the ordinal letter and one blank ("چهار " gives "چهارم ").
QString SpellOrdinal(const QString& Words);

} // namespace rimo
