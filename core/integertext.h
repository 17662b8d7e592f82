#pragma once
// Reading whole numbers out of date and time texts. Only ASCII digits count, blanks around the
// number are allowed, and a value beyond 32 bits is a failure rather than a wrapped number.

#include <QString>
#include <QStringView>
#include <optional>

namespace rimo {

// Optional blanks, an optional sign, one or more digits 0-9, optional blanks.
// std::nullopt when the text is not such a number or does not fit a 32-bit signed integer.
std::optional<int> readInteger(QStringView text);

// readInteger, raising rimo::Error ("'x' is not a valid integer value") when it fails.
int integerOrError(QStringView text);

} // namespace rimo
