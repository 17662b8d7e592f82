#pragma once
// The texts the statement services build and inspect, as plain functions: the count rewrite of
// a select and its guard, the schema probes' catalogue queries and the error dialog's text.

#include <QString>
#include <QStringView>

namespace rimo::sql {

// The first place at or after `from` where `word` (ASCII letters, any letter case) stands as a
// whole word of the statement: not part of a longer name, and not inside a quoted literal, a
// [bracketed] or "quoted" name or a comment. -1 when there is none.
qsizetype findSqlWord(QStringView sql, QStringView word, qsizetype from = 0);

// The statement without its leading U+0020 characters (tabs and line breaks stay).
QString withoutLeadingSpaces(const QString& sql);
// Whether the first six characters read SELECT in any letter case.
bool startsWithSelect(const QString& sql);
// Whether a select already counts: COUNT as a word of its own. Counting a count is a programming
// fault the statement services refuse to rewrite.
bool selectHoldsCount(const QString& select);
// A select rewritten to count its rows: "Select Count(" + select list + ") As Res " + " " + the
// rest from FROM on. The select list keeps its surrounding spaces; without a FROM the list is
// empty and the whole rest follows.
QString countStatement(const QString& select);

// The catalogue queries of the schema probes; names go in as literals, quotes doubled.
QString tableProbeSql(const QString& table);
QString viewProbeSql(const QString& view);
QString fieldProbeSql(const QString& table, const QString& field);
QString procedureProbeSql(const QString& procedure);
QString databaseProbeSql(const QString& database);
// The drop of a view that may be missing; the bracketed name has its "]" doubled.
QString dropViewSql(const QString& view);

// The text of the error dialog: `msg` cut at 300 characters with a note, a note on duplicate
// data when `errorText` speaks of a primary key, a rule, and the system's own text.
QString exceptMessageText(const QString& msg, const QString& errorText);

} // namespace rimo::sql
