// The toolkit object's choice from a list a query fills.

#include "toolkit/tools.h"

#include <exception>

bool TTools::SelectFromList(const QString& APrompt, const QString& InCommand, QString& Value)
{
    TMSQuery query;
    query.Connection = ServerConnection;
    query.SQL = QStringList{InCommand};
    const QString trace = programFolder() + QStringLiteral("T4R/SelectFromList.Txt");
    if (SqlTraceEnabled)
        query.saveSqlToFile(trace);
    QStringList entries;
    try {
        query.Prepare();
        query.Open();
        for (query.First(); !query.Eof(); query.Next())
            entries << query.Fields(0).AsString();
    } catch (const std::exception&) {
        if (SqlTraceEnabled)
            query.saveSqlToFile(trace);
        ShowMsg(QStringLiteral("خطا در اجراي دستور تشكيل ليست "));
        return false;
    }
    SwitchToFarsi();
    return rimo::pickFromList(APrompt, entries, Value);
}
