// libFuzzer target for the ":name" reader: any text (SQL scripts come from files) must split into
// pieces and parameters that fit together, and text without a colon must pass through unchanged.
#include "db/sqlparams.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString sql = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const rimo::db::ParamSql parsed = rimo::db::parseParamSql(sql);
    if (parsed.pieces.size() != static_cast<qsizetype>(parsed.refs.size()) + 1)
        __builtin_trap();
    for (const int ref : parsed.refs)
        if (ref < 0 || ref >= parsed.names.size())
            __builtin_trap();
    for (qsizetype i = 0; i < parsed.names.size(); ++i) {
        const QString& name = parsed.names[i];
        if (name.isEmpty())
            __builtin_trap();
        for (const QChar c : name)
            if (!c.isLetterOrNumber() && c != u'_')
                __builtin_trap();
        for (qsizetype j = 0; j < i; ++j)
            if (parsed.names[j].compare(name, Qt::CaseInsensitive) == 0)
                __builtin_trap();
    }
    const QString sent = parsed.withVariables();
    if (!sql.contains(u':') && (sent != sql || !parsed.names.isEmpty()))
        __builtin_trap();
    return 0;
}
