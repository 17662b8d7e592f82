#pragma once
// Names and texts written into the T-SQL the access layer and the program send.

#include <QString>
#include <QStringView>

namespace rimo::db {

// [name] quoting of an identifier, doubling "]"; dotted names are quoted part by part and
// already-bracketed parts are kept.
QString quoteName(const QString& name);
// The last part of a possibly qualified, possibly bracketed table name, without brackets.
QString bareTableName(const QString& name);
// A text literal: enclosed in single quotes, inner quotes doubled.
QString quotedSqlText(const QString& text);

// The index just past the text literal, quoted or bracketed name, line comment (up to its line
// break) or block comment (T-SQL nests them) that starts at `i`, or -1 when none starts there. An
// unterminated one runs to the end.
qsizetype skipSqlNonCode(QStringView sql, qsizetype i);

} // namespace rimo::db
