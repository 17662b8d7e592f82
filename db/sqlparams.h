#pragma once
// The ":name" parameters of a statement's text. A colon inside a quoted string, a [bracketed] or
// "quoted" name or a comment is text; "::" stands for one literal colon.

#include <QString>
#include <QStringList>
#include <vector>

namespace rimo::db {

struct ParamSql
{
    // Each parameter once, in the spelling of its first use, in order of first use. Names are
    // letters, digits and "_", compared without regard to letter case.
    QStringList names;
    // The text around the parameters ("::" already reduced to ":"): pieces[0], parameter
    // names[refs[0]], pieces[1], ..., so there is one piece more than there are references.
    QStringList pieces;
    std::vector<int> refs;

    // The text with parameter i written as substitutes[i].
    QString build(const QStringList& substitutes) const;
    // The text with each parameter written as "@name".
    QString withVariables() const;
};

ParamSql parseParamSql(const QString& sql);

} // namespace rimo::db
