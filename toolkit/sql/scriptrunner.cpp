#include "board/messageboardform.h"
#include "core/error.h"
#include "core/wholefile.h"
#include "db/msdataset.h"
#include "platform/dialogs.h"
#include "toolkit/settingsfile.h"
#include "toolkit/sql/scriptsplit.h"
#include "toolkit/sql/sqlservices.h"
#include "toolkit/sql/statementtext.h"
#include "toolkit/sql/texts.h"

#include <QFile>
#include <QFileInfo>
#include <exception>

using namespace rimo::sqltexts;

namespace {

QByteArray readScript(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw rimo::Error(QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.errorString()));
    QByteArray bytes = file.readAll();
    if (file.error() != QFile::NoError)
        throw rimo::Error(QStringLiteral("Cannot read file \"%1\". %2").arg(path, file.errorString()));
    return bytes;
}

// The working copy of the script as read, comment lines included, one CR LF a line.
void writeWorkingCopy(const QString& path, const QStringList& lines)
{
    QByteArray content;
    for (const QString& line : lines) {
        content += line.toUtf8();
        content += "\r\n";
    }
    rimo::writeWholeFile(path, content);
}

} // namespace

bool TSqlServices::DoScriptFromfile(const QString& Title, const QString& FName)
{
    if (!QFileInfo(FName).isFile()) {
        rimo::MessageBoxRequest r;
        r.icon = rimo::MessageIcon::None;
        r.caption = rimo::applicationTitle();
        r.text = FileNotFound + Cr + Title + Cr + FName;
        r.buttons = {QStringLiteral("OK")};
        r.escapeButton = 0;
        rimo::dialogs().messageBox(r);
        return false;
    }
    TMSQuery query;
    TMessageBoardForm* board = messageBoard();
    board->StartRecording(true, Title);
    const QStringList lines = rimo::decodeSettingsLines(readScript(FName));
    writeWorkingCopy(programFolder() + QStringLiteral("T4R/Temp.Txt"), lines);
    const QStringList script = rimo::sql::withoutCommentLines(lines);
    if (script.isEmpty()) {
        board->StopRecording();
        ShowMsg(NothingToRun + Cr + Title);
        return true;
    }

    int failures = 0;
    for (const rimo::sql::ScriptBatch& batch : rimo::sql::splitScriptBatches(script)) {
        if (batch.blank())
            continue;
        prepareQuery(query, QString());
        query.SQL = batch.lines;
        try {
            query.Execute();
            board->PostThisMessage(BatchDone, QString::number(batch.number));
        } catch (const std::exception&) {
            board->PostThisMessage(BatchFailed + QString::number(batch.number), query.sqlText());
            ++failures;
        }
    }
    board->StopRecording();
    if (failures > 0)
        ShowMsg(SummaryAbout + Cr + Title + Cr + QString::number(failures) + SummaryErrors);
    return true;
}

int TSqlServices::DoSqlForCreateList(const QString& SqlSt, QStringList& It)
{
    It.clear();
    TMSQuery query;
    prepareQuery(query, SqlSt);
    query.saveSqlToFile(programFolder() + QStringLiteral("DoSqlForCreateList.txt"));
    // Leading spaces stay: a statement that starts with one is not run.
    if (!rimo::sql::startsWithSelect(SqlSt))
        return 0;
    try {
        query.Prepare();
        query.Open();
        for (query.First(); !query.Eof(); query.Next())
            It << query.Fields(0).AsString();
        return query.RecordCount();
    } catch (const std::exception&) {
        return 0; // the rows read so far stay in the list
    }
}
