#pragma once
// The herd data module: the one connection to the herd database and the table and query
// objects the two repairs work on.

#include "db/msdataset.h"

#include <QObject>

class TTools;

class TDM : public QObject
{
    Q_OBJECT
public:
    // Creation connects (DataModuleCreate); see there for what a failure does.
    explicit TDM(TTools& tools, QObject* parent = nullptr);

    TMSConnection* HConnection;
    TMSTable* TSqlTable;
    TMSTable* TZayesh;
    TMSQuery* QAskGeneral;

    // Finds the settings and connects. A failed connection shows "خطا در اتصال" and asks the
    // program to end; errors of the multi-herd directory statements pass to the caller.
    void DataModuleCreate();
    // The statement time-out of the herd connection: RIMO1_STATEMENT_TIMEOUT (seconds, 0 without
    // limit) when set, else the access layer's default of 60 seconds.
    static int statementTimeoutSetting();

private:
    TTools& m_tools;
};
