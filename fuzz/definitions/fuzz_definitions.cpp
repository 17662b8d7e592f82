// libFuzzer target for the line splitters: a stored text split into lines and joined again
// gives the same text back when it has only CR LF breaks, and every definition line splits
// into parts that join back into the line.
#include "dbcontrols/datasource.h"
#include "toolkit/commands/fielddefs.h"
#include "toolkit/formdefs/formdefs.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList lines = rimo::dbcontrols::splitLines(text);
    for (const QString& l : lines) {
        if (l.contains(u'\r') || l.contains(u'\n'))
            __builtin_trap();
        const rimo::formdefs::DefLine d = rimo::formdefs::splitDefLine(l);
        if (rimo::formdefs::joinDefLine(d) != l || (d.split && d.name.contains(u'~')))
            __builtin_trap();
        const auto [name, value] = rimo::commands::splitFieldLine(l);
        if (name.contains(u'~') || (l.contains(u'~') ? name + u'~' + value : name) != l)
            __builtin_trap();
    }
    // Joined again, every kind of break comes back as CR LF.
    QString normal = text;
    normal.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    normal.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    if (rimo::dbcontrols::joinLines(lines) != normal)
        __builtin_trap();
    if (rimo::commands::withoutDefComments(lines).size() > lines.size())
        __builtin_trap();
    return 0;
}
