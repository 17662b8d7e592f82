#pragma once
// The text of the procedure that computes every stored command of a section into a one-row
// table, apart from the table it reads the rows from.

#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

namespace rimo::commands {

// A name between square brackets, each "]" in it doubled so it cannot close the brackets early.
QString bracketed(const QString& name);

// The procedure's text, one string with lines separated by CR LF, for the rows (title, command)
// of section `sec` in table order. Titles are trimmed of surrounding spaces.
QString procedureText(const QString& sec, const std::vector<std::pair<QString, QString>>& rows);

// `sec` as a quoted string literal: single quotes, inner quotes doubled.
QString quotedLiteral(const QString& text);

} // namespace rimo::commands
