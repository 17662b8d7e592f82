#pragma once
// Lines of a field definition: "field~value", with comment lines (empty, or "//" after leading
// spaces) left out.

#include <QString>
#include <QStringList>
#include <utility>

namespace rimo::commands {

bool isDefComment(const QString& line);
// The lines without the comment lines, in one pass.
QStringList withoutDefComments(const QStringList& lines);
// Field name and value at the first "~"; a line without "~" is all name, with an empty value.
std::pair<QString, QString> splitFieldLine(const QString& line);

} // namespace rimo::commands
