#include "board/messageboardform.h"
#include "db/msdataset.h"
#include "toolkit/services/valueservices.h"
#include "toolkit/sql/sqlservices.h"
#include "toolkit/sql/texts.h"

#include <exception>

namespace {

const QString kInfoTable = QStringLiteral("Dbo.Info");
const QString kPairColumns = QStringLiteral("GroupSec;KeyName");
const QString kNotAnswer = QStringLiteral("NOTANSWER");

QString groupOf(const QString& section)
{
    return TValueServices::IsBlank(section) ? QStringLiteral("DEFAULT") : section;
}

// Ends the board's recording however the report ends.
struct RecordingStop
{
    TMessageBoardForm* board;
    ~RecordingStop() { board->StopRecording(); }
};

} // namespace

void TSqlServices::WriteInformation(const QString& Section, const QString& KeyName, const QString& KeyValue,
                                    const QString& Discription)
{
    TMSTable table;
    table.Connection = &serverConnection();
    table.TableName = kInfoTable;
    table.Open();
    const QString group = groupOf(Section);
    if (table.Locate(kPairColumns, {group, KeyName})) {
        table.Edit();
    } else {
        table.Insert();
        table.FieldByName(QStringLiteral("GroupSec")).setAsString(group);
        table.FieldByName(QStringLiteral("KeyName")).setAsString(KeyName);
        if (!Discription.isEmpty())
            table.FieldByName(QStringLiteral("Discription")).setAsString(Discription);
    }
    table.FieldByName(QStringLiteral("KeyValue")).setAsString(KeyValue);
    table.Post();
}

QString TSqlServices::readInformation(const QString& section, const QString& key)
{
    TMSTable table;
    table.Connection = &serverConnection();
    table.TableName = kInfoTable;
    table.Open();
    if (!table.Locate(kPairColumns, {groupOf(section), key}))
        return kNotAnswer;
    return table.FieldByName(QStringLiteral("KeyValue")).AsString();
}

void TSqlServices::ReadInformation(const QString& Section, const QString& KeyName, QString& KeyValue)
{
    KeyValue = readInformation(Section, KeyName);
}

QString TSqlServices::FReadInformation(const QString& Section, const QString& KeyName)
{
    return readInformation(Section, KeyName);
}

void TSqlServices::VersionShow()
{
    TMessageBoardForm* board = messageBoard();
    board->StartRecording(false, rimo::sqltexts::VersionReport);
    RecordingStop stop{board};
    try {
        TMSQuery query;
        prepareQuery(query, QStringLiteral("Select * from Info Where GroupSec='Version'"));
        query.Open();
        for (query.First(); !query.Eof(); query.Next())
            board->PostThisMessage(query.FieldByName(QStringLiteral("KeyName")).AsString(),
                                   query.FieldByName(QStringLiteral("KeyValue")).AsString());
    } catch (const std::exception&) {
        ShowMsg(rimo::sqltexts::VersionReportFailed);
    }
}
