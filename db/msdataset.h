#pragma once
// Queries and tables of the access layer. Both read their whole result into memory and then
// move a cursor over it; a table can also put its current row into editing and write it back.

#include "db/filter.h"
#include "db/msconnection.h"
#include "db/rowstore.h"
#include "db/rowwrite.h"
#include "db/sqlparams.h"
#include "db/sqltext.h"

#include <QHash>
#include <QObject>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <optional>
#include <vector>

class TMSDataSet;

// One column of the current row.
class TField
{
public:
    TField(TMSDataSet* owner, int index) : m_owner(owner), m_index(index) {}
    QString FieldName() const;
    QString AsString() const;
    // Appends what AsString gives, with no string in between for whole numbers (progress
    // lines are built once per row).
    void appendAsString(QString& out) const;
    qint64 AsInteger() const;
    double AsFloat() const;
    bool IsNull() const;
    // A whole, fractional, money or bit column: its texts must read as numbers.
    bool isNumber() const;
    // Writable only on a row in editing.
    void setAsString(const QString& value);
    void setAsInteger(qint64 value);
    int index() const { return m_index; }
    // The value of the current row as read from the server (edits not included): its tag and
    // bytes, valid until the cursor moves. Callers that compare or hash many rows use these bytes
    // instead of making a string of every value.
    rimo::db::Cell rawCell() const;
    // True, with the value in `out`, when the current row holds a whole number as read (a whole
    // number column, not NULL, not edited): its text is what AsString gives, QString::number's.
    bool wholeNumber(qint64& out) const;

private:
    TMSDataSet* m_owner;
    int m_index;
};

class TMSDataSet : public QObject
{
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Edit, Insert };

    explicit TMSDataSet(QObject* parent = nullptr);
    ~TMSDataSet() override;

    TMSConnection* Connection = nullptr;

    void Close();
    bool Active() const { return m_state != State::Inactive; }
    State state() const { return m_state; }

    void First();
    void Next();
    bool Eof() const { return m_eof; }
    bool IsEmpty() const { return RecordCount() == 0; }
    int RecordCount() const;

    TField& FieldByName(const QString& name);
    TField* FindField(const QString& name);
    TField& Fields(int index);
    int FieldCount() const { return static_cast<int>(m_columns.size()); }

    // Positions on the first row whose columns (names separated by ";") equal the values.
    bool Locate(const QString& fields, const QVariantList& values);

    QString Filter;
    bool Filtered() const { return m_filtered; }
    void setFiltered(bool on);
    void setFilter(const QString& expression);

    // Memory held by the rows read, for measurements.
    std::size_t rowMemoryBytes() const { return m_rows.memoryBytes(); }

Q_SIGNALS:
    // The current row or its values may be others now: opened, closed, moved, or an edit
    // cancelled, inserted or posted. Controls bound to the data set show the row again.
    void dataChanged();

protected:
    friend class TField;
    void openWithSql(const QString& sql);
    void openFromSession(const std::function<qint64(rimo::db::ResultSink*)>& run);
    rimo::db::Session& session();
    rimo::db::Session& readSession(); // reopens a session the server dropped
    void requireActive() const;
    const rimo::db::Cell& cell(int column) const;
    std::size_t currentRow() const;
    void setEditValue(int column, QVariant value);
    virtual void beforeNavigate() {}
    void rebuildView();
    void resetCursorTo(std::size_t visibleIndex);

    std::vector<rimo::db::ColumnInfo> m_columns;
    rimo::db::RowStore m_rows;
    std::size_t viewSize() const { return m_viewAll ? m_rows.rowCount() : m_view.size(); }
    bool m_viewAll = false;          // every row is visible, in order: m_view stays empty
    std::vector<std::size_t> m_view; // the visible rows when a filter is on
    std::size_t m_pos = 0;
    bool m_eof = true;
    State m_state = State::Inactive;
    bool m_filtered = false;
    // Values written while editing; an unset entry keeps the row's value.
    std::vector<std::optional<QVariant>> m_edit;
    // The decoded cells of the row last read.
    mutable std::vector<rimo::db::Cell> m_cells;
    mutable std::size_t m_cellsRow = static_cast<std::size_t>(-1);

private:
    class Sink;
    void buildFields();
    std::vector<std::unique_ptr<TField>> m_fields;
    QHash<QString, int> m_fieldIndex; // lower-case name -> index
};

// A value for a ":name" parameter of a query: null until set, then text, a whole number or a
// real number. The value goes to the server as a typed parameter, never inside the SQL text.
class TParam
{
public:
    explicit TParam(QString name) : m_name(std::move(name)) {}
    const QString& Name() const { return m_name; }
    void setAsString(const QString& value);
    void setAsInteger(qint64 value) { m_value = QVariant(value); }
    void setAsFloat(double value) { m_value = QVariant(value); }
    void Clear() { m_value = QVariant(); }
    // Null reads as empty text.
    QString AsString() const;
    bool IsNull() const { return !m_value.isValid(); }
    const QVariant& value() const { return m_value; }

private:
    QString m_name;
    QVariant m_value;
};

class TMSQuery : public TMSDataSet
{
    Q_OBJECT
public:
    explicit TMSQuery(QObject* parent = nullptr) : TMSDataSet(parent) {}

    QStringList SQL;
    // Whether ":name" in SQL marks a parameter ("::" then stands for one colon). Off, the text
    // goes to the server exactly as written and the query has no parameters: statements the
    // toolkit runs for its callers hold colons in times, literals and labels.
    bool ParamCheck = true;
    void setSqlText(const QString& text) { SQL = text.split(u'\n'); }
    QString sqlText() const { return SQL.join(u'\n'); }
    // Writes the lines, each ended by CR LF, in UTF-8; raises when the file cannot be written.
    void saveSqlToFile(const QString& path) const;

    // The parameters written as ":name" in SQL, rebuilt when SQL has changed; parameters whose
    // names are still used keep their values (and references to them stay valid).
    int ParamCount();
    TParam& Params(int index);
    // Raises when the statement has no parameter of that name (letter case does not matter).
    TParam& ParamByName(const QString& name);

    // Has the server compile the statement without running it; raises the server's error.
    void Prepare();
    // Runs a statement that returns rows and positions on the first row.
    void Open();
    // Runs the statement; a statement that returns rows leaves its result open as after Open.
    void Execute();
    qint64 RowsAffected() const { return m_rowsAffected; }

private:
    struct Call;
    void syncParams();
    Call buildCall();
    qint64 run(rimo::db::Session& session, rimo::db::ResultSink* sink);

    qint64 m_rowsAffected = -1;
    QStringList m_paramsSql;     // the SQL the parameters were taken from
    bool m_paramsChecked = true; // ParamCheck as it was then
    rimo::db::ParamSql m_parsed;
    std::vector<std::unique_ptr<TParam>> m_params;
};

class TMSTable : public TMSDataSet
{
    Q_OBJECT
public:
    explicit TMSTable(QObject* parent = nullptr) : TMSDataSet(parent) {}

    QString TableName;
    QString OrderFields; // comma-separated column names
    QString FilterSQL;   // server-side condition

    void Open();
    void Edit();
    void Insert();
    // Writes the row at once: only the columns set while editing, identified by the table's key,
    // or by all the row's original values (changing at most one row) when it has none.
    void Post();
    void Cancel();

    // The statement Open sends, for the current settings.
    QString selectStatement() const;
    const QStringList& keyColumns() const { return m_keyColumns; }

protected:
    void beforeNavigate() override;

private:
    // The statements Post has sent since the open, by shape: a run over many rows sends one.
    struct CachedStatement
    {
        std::vector<std::uint32_t> shape;
        rimo::db::Utf8Text text;
        rimo::db::Utf8Text declarations;
    };
    void readKeyColumns();
    const CachedStatement& statementFor(const std::vector<std::uint32_t>& shape);
    bool writePostedCellsInPlace();
    void storePostedRow();
    QStringList m_keyColumns;
    std::vector<int> m_keyIndexes; // the key columns' places in the row
    QString m_quotedTable;         // quoted once per open: Post runs once per row
    std::vector<CachedStatement> m_statements;
    // Scratch space of Post, kept from row to row.
    rimo::db::RowValues m_postValues;
    std::vector<rimo::db::Cell> m_postCells;
};

namespace rimo::db {

// True when the catalogue gives `table`.`column` a Unicode type (nchar, nvarchar, ntext, sysname): a
// text compared with it then goes as N'...', since a plain literal keeps only the database's code page.
// False when it does not, or when the catalogue cannot be read (the statement is left as it was).
bool columnIsUnicode(TMSQuery& ask, const QString& table, const QString& column);

} // namespace rimo::db
