#include "dbcontrols/dbmemo.h"

#include "db/msdataset.h"

using rimo::dbcontrols::boundField;

void TDBMemo::setDataSource(TDataSource* source)
{
    m_dataSource = source;
    refresh();
}

void TDBMemo::setDataField(const QString& field)
{
    m_dataField = field;
    refresh();
}

void TDBMemo::setLines(const QStringList& lines)
{
    show(lines);
    writeBack();
}

QString TDBMemo::Text() const
{
    return rimo::dbcontrols::joinLines(m_lines);
}

void TDBMemo::refresh()
{
    if (TField* f = boundField(m_dataSource, m_dataField))
        show(rimo::dbcontrols::splitLines(f->AsString()));
}

void TDBMemo::show(const QStringList& lines)
{
    m_lines = lines;
    setPlainText(lines.join(u'\n'));
}

void TDBMemo::writeBack()
{
    if (!rimo::dbcontrols::editing(m_dataSource))
        return;
    if (TField* f = boundField(m_dataSource, m_dataField))
        f->setAsString(Text());
}
