#include "toolkit/commands/storedcommands.h"

#include "db/msdataset.h"
#include "dbcontrols/dbmemo.h"
#include "toolkit/commands/proceduretext.h"

#include <QWidget>
#include <exception>
#include <vector>

namespace {
const QString kTable = QStringLiteral("SqlCommands");
const QString kTextColumn = QStringLiteral("SqlCMD");
const QString kConnectionFailed = QStringLiteral("خطا");
} // namespace

class TStoredCommands::MemoBinding
{
public:
    explicit MemoBinding(TStoredCommands& owner) : m_owner(owner)
    {
        m_owner.FreeDataSource->DataSet = m_owner.TSqlCommands;
        m_owner.FreeDBMemo->setDataSource(m_owner.FreeDataSource);
        m_owner.FreeDBMemo->setDataField(kTextColumn);
    }
    ~MemoBinding()
    {
        m_owner.FreeDBMemo->setDataField(QString());
        m_owner.FreeDBMemo->setDataSource(nullptr);
        m_owner.FreeDataSource->DataSet = nullptr;
    }
    MemoBinding(const MemoBinding&) = delete;
    MemoBinding& operator=(const MemoBinding&) = delete;

private:
    TStoredCommands& m_owner;
};

void TStoredCommands::createCommandComponents(QWidget* owner)
{
    TSqlCommands = new TMSTable(owner);
    TSqlCommands->setObjectName(QStringLiteral("TSqlCommands"));
    TSqlCommands->TableName = kTable;
    TSqlCommands->Connection = &serverConnection();
    QSqlCmd = new TMSQuery(owner);
    QSqlCmd->setObjectName(QStringLiteral("QSqlCmd"));
    FreeDataSource = new TDataSource(owner);
    FreeDataSource->setObjectName(QStringLiteral("FreeDataSource"));
    FreeDBMemo = new TDBMemo(owner);
    FreeDBMemo->setObjectName(QStringLiteral("FreeDBMemo"));
    FreeDBMemo->hide();
}

void TStoredCommands::OPenSqlCommands()
{
    if (TSqlCommands->Active())
        return;
    TMSConnection& connection = serverConnection();
    QSqlCmd->Connection = &connection;
    TSqlCommands->Connection = &connection;
    if (!connection.Connected()) {
        ShowMsg(kConnectionFailed);
        return;
    }
    try {
        TSqlCommands->Open();
    } catch (const std::exception&) {
        // Not reported here: the step that follows meets the closed table.
    }
}

bool TStoredCommands::SQlCmdFind(const QString& Sec, const QString& Titr)
{
    OPenSqlCommands();
    TSqlCommands->setFiltered(false);
    TSqlCommands->setFilter(QString());
    TSqlCommands->FilterSQL.clear();
    TSqlCommands->First();
    if (Titr.isEmpty())
        return TSqlCommands->Locate(QStringLiteral("Sec"), {Sec});
    if (Sec.isEmpty())
        return TSqlCommands->Locate(QStringLiteral("Titr"), {Titr});
    return TSqlCommands->Locate(QStringLiteral("Sec;Titr"), {Sec, Titr});
}

bool TStoredCommands::SQlCmdWriteStringList(const QString& Sec, const QString& Titr,
                                            const QStringList& Commands)
{
    OPenSqlCommands();
    try {
        if (SQlCmdFind(Sec, Titr)) {
            TSqlCommands->Edit();
        } else {
            TSqlCommands->Insert();
            TSqlCommands->FieldByName(QStringLiteral("Sec")).setAsString(Sec.left(30));
            TSqlCommands->FieldByName(QStringLiteral("Titr")).setAsString(Titr.left(100));
            TSqlCommands->FieldByName(QStringLiteral("Seq")).setAsString(QStringLiteral("0"));
        }
        TSqlCommands->FieldByName(QStringLiteral("SDate")).setAsString(solarToday());
        MemoBinding binding(*this);
        FreeDBMemo->clearLines();
        FreeDBMemo->setLines(Commands);
        TSqlCommands->Post();
        return true;
    } catch (const std::exception&) {
        // A refused row must not stay in editing: the table posts a pending row before it moves,
        // so every later call would meet the same refusal again.
        if (TSqlCommands->Active())
            TSqlCommands->Cancel();
        return false;
    }
}

std::unique_ptr<QStringList> TStoredCommands::SQlCmdReadOneWriteStringList(const QString& Sec,
                                                                           const QString& Titr)
{
    OPenSqlCommands();
    auto result = std::make_unique<QStringList>();
    if (SQlCmdFind(Sec, Titr)) {
        MemoBinding binding(*this);
        *result = rimo::dbcontrols::splitLines(FreeDBMemo->Text());
    }
    return result;
}

QString TStoredCommands::SQlCmdReadOne(const QString& Sec)
{
    OPenSqlCommands();
    if (!SQlCmdFind(Sec, QString()))
        return {};
    MemoBinding binding(*this);
    return FreeDBMemo->Text();
}

namespace {
// Clears the table's client-side filter however the procedure builder ends.
struct FilterReset
{
    TMSTable* table;
    ~FilterReset()
    {
        table->setFilter(QString());
        table->setFiltered(false);
    }
};
} // namespace

std::unique_ptr<QStringList> TStoredCommands::SQlCmdReadAndCreatStoreProce(const QString& Sec)
{
    OPenSqlCommands();
    auto result = std::make_unique<QStringList>();
    FilterReset reset{TSqlCommands};
    TSqlCommands->setFilter(QStringLiteral("Sec=") + rimo::commands::quotedLiteral(Sec));
    TSqlCommands->setFiltered(true);
    TSqlCommands->First();
    std::vector<std::pair<QString, QString>> rows;
    TField& title = TSqlCommands->FieldByName(QStringLiteral("Titr"));
    TField& command = TSqlCommands->FieldByName(kTextColumn);
    for (; !TSqlCommands->Eof(); TSqlCommands->Next())
        rows.emplace_back(title.AsString(), command.AsString());
    *result = rimo::dbcontrols::splitLines(rimo::commands::procedureText(Sec, rows));
    return result;
}
