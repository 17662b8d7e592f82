// libFuzzer target for SQL scripts: any bytes are read as the runner reads them and cut into
// batches; every line that is neither a comment nor a separator lands in exactly one batch, in
// order, and the batches are numbered 1, 2, 3, ...
#include "toolkit/settingsfile.h"
#include "toolkit/sql/scriptsplit.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList lines = rimo::sql::withoutCommentLines(rimo::decodeSettingsLines(bytes));
    for (const QString& line : lines)
        if (rimo::sql::isScriptCommentLine(line))
            __builtin_trap();
    const std::vector<rimo::sql::ScriptBatch> batches = rimo::sql::splitScriptBatches(lines);
    if (batches.empty())
        __builtin_trap();
    qsizetype next = 0;
    int number = 0;
    for (const rimo::sql::ScriptBatch& batch : batches) {
        if (batch.number != ++number)
            __builtin_trap();
        if (number > 1) {
            // Each batch after the first follows exactly one separator line.
            if (next >= lines.size() || !rimo::sql::isBatchSeparator(lines[next]))
                __builtin_trap();
            ++next;
        }
        for (const QString& line : batch.lines) {
            if (rimo::sql::isBatchSeparator(line) || next >= lines.size() || lines[next] != line)
                __builtin_trap();
            ++next;
        }
    }
    // What is left is at most the one trailing separator.
    if (lines.size() - next > 1 || (lines.size() - next == 1 && !rimo::sql::isBatchSeparator(lines[next])))
        __builtin_trap();
    return 0;
}
