#include "app/datamodule.h"

#include "app/texts.h"
#include "core/lifecycle.h"
#include "toolkit/tools.h"

TDM::TDM(TTools& tools, QObject* parent) : QObject(parent), m_tools(tools)
{
    HConnection = new TMSConnection(this);
    HConnection->setObjectName(QStringLiteral("HConnection"));
    TSqlTable = new TMSTable(this);
    TSqlTable->setObjectName(QStringLiteral("TSqlTable"));
    TSqlTable->Connection = HConnection;
    TZayesh = new TMSTable(this);
    TZayesh->setObjectName(QStringLiteral("TZayesh"));
    TZayesh->Connection = HConnection;
    TZayesh->TableName = QStringLiteral("zayesh");
    QAskGeneral = new TMSQuery(this);
    QAskGeneral->setObjectName(QStringLiteral("QAskGeneral"));
    QAskGeneral->Connection = HConnection;
}

int TDM::statementTimeoutSetting()
{
    // Long statements on a large herd may need more than the default; 0 waits without limit.
    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue("RIMO1_STATEMENT_TIMEOUT", &ok);
    return ok && seconds >= 0 ? seconds : rimo::db::kDefaultStatementTimeoutSeconds;
}

void TDM::DataModuleCreate()
{
    HConnection->Disconnect();
    QString user, password, server, database;
    m_tools.FindConStr(user, password, server, database);
    HConnection->Username = user;
    HConnection->Password = password;
    HConnection->Server = server;
    HConnection->Database = database;
    HConnection->StatementTimeoutSeconds = statementTimeoutSetting();
    try {
        HConnection->Connect();
    } catch (const std::exception&) {
        m_tools.ShowMsg(rimo::texts::ConnectionError);
        rimo::requestTerminate();
    }
}
