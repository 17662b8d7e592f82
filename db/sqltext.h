#pragma once
// Names and texts written into the T-SQL the access layer and the program send.

#include <QString>

namespace rimo::db {

// [name] quoting of an identifier, doubling "]"; dotted names are quoted part by part and
// already-bracketed parts are kept.
QString quoteName(const QString& name);
// The last part of a possibly qualified, possibly bracketed table name, without brackets.
QString bareTableName(const QString& name);
// A text literal: enclosed in single quotes, inner quotes doubled.
QString quotedSqlText(const QString& text);

} // namespace rimo::db
