#pragma once
// Stored SQL commands of the toolkit object: named multi-line texts in the table SqlCommands on
// its server connection, each under a section and a title, and the procedure text that
// computes a section's commands into a one-row table. The toolkit object inherits them, creates
// the components and supplies the connection, the message box and today's solar date.

#include <QString>
#include <QStringList>
#include <memory>

class QWidget;
class TMSConnection;
class TMSQuery;
class TMSTable;
class TDBMemo;
class TDataSource;

class TStoredCommands
{
public:
    virtual ~TStoredCommands() = default;

    // --- Supplied by the toolkit object ---
    virtual void ShowMsg(const QString& St) = 0;
    virtual TMSConnection& serverConnection() = 0;
    // Today's solar date text, stamped on every write.
    virtual QString solarToday() const = 0;

    // --- Components, owned by `owner` (the toolkit object) ---
    // The table SqlCommands, closed until first use; its query, connected at first use; the
    // hidden memo the stored text passes through and its data source, bound for one call only.
    TMSTable* TSqlCommands = nullptr;
    TMSQuery* QSqlCmd = nullptr;
    TDBMemo* FreeDBMemo = nullptr;
    TDataSource* FreeDataSource = nullptr;

    // --- Operations ---
    // Opens the table when closed; an unconnected server connection gives the message "خطا", a
    // failure while opening nothing (the operation that follows meets the closed table).
    void OPenSqlCommands();
    // Makes the first row of the pair the current row (exact, letter case significant); an empty
    // title searches by section alone, an empty section by title alone.
    bool SQlCmdFind(const QString& Sec, const QString& Titr);
    // Writes the lines into the pair's row, inserting it when missing; false on any failure,
    // without a message, and the row is then no longer in editing.
    bool SQlCmdWriteStringList(const QString& Sec, const QString& Titr, const QStringList& Commands);
    // The row's lines, none when there is no such row. The caller owns the list.
    std::unique_ptr<QStringList> SQlCmdReadOneWriteStringList(const QString& Sec, const QString& Titr);
    // The text of the section's first row, empty when there is none.
    QString SQlCmdReadOne(const QString& Sec);
    // The lines of the procedure computing every command of the section.
    std::unique_ptr<QStringList> SQlCmdReadAndCreatStoreProce(const QString& Sec);

    // --- Field definitions: rows of the section "ini", one "field~value" line per field ---
    // Whether the latest LoadDefField found a definition with lines, whatever its name;
    // SaveDefField writes only while it is true.
    bool LastINIFound = false;
    // Sets the table's fields named in the definition (letter case ignored); the table must have
    // a row in editing, else the access layer's error reaches the caller, fields set before it
    // keeping their values.
    void LoadDefField(TMSTable* TableName, const QString& IniFileName);
    // Writes the fields' current values into the existing definition; comment lines are dropped.
    void SaveDefField(TMSTable* TableName, const QString& IniFileName);

protected:
    void createCommandComponents(QWidget* owner);

private:
    // Binds the memo to the stored text for its lifetime.
    class MemoBinding;
};
