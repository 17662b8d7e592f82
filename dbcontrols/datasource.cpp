#include "dbcontrols/datasource.h"

#include "db/msdataset.h"

#include <QStringList>

void TDataSource::setDataSet(TMSDataSet* dataSet)
{
    QObject::disconnect(m_watch);
    DataSet = dataSet;
    if (dataSet)
        m_watch = connect(dataSet, &TMSDataSet::dataChanged, this, &TDataSource::DataChange);
    Q_EMIT DataChange();
}

namespace rimo::dbcontrols {

bool checkedFromText(const QString& text)
{
    bool number = false;
    const double n = text.trimmed().toDouble(&number);
    return number ? n != 0 : text.trimmed().compare(u"true", Qt::CaseInsensitive) == 0;
}

QString textFromChecked(bool checked, bool numberColumn)
{
    if (numberColumn)
        return checked ? QStringLiteral("1") : QStringLiteral("0");
    return checked ? QStringLiteral("True") : QStringLiteral("False");
}

int indexFromText(const QString& text, const QStringList& values)
{
    return static_cast<int>(values.indexOf(text));
}

QString textFromIndex(int index, const QStringList& values)
{
    return index >= 0 && index < values.size() ? values.at(index) : QString();
}

TField* boundField(const TDataSource* source, const QString& dataField)
{
    if (!source || !source->DataSet || dataField.isEmpty() || !source->DataSet->Active())
        return nullptr;
    return source->DataSet->FindField(dataField);
}

bool editing(const TDataSource* source)
{
    if (!source || !source->DataSet)
        return false;
    const TMSDataSet::State s = source->DataSet->state();
    return s == TMSDataSet::State::Edit || s == TMSDataSet::State::Insert;
}

QString joinLines(const QStringList& lines)
{
    return lines.join(QStringLiteral("\r\n"));
}

QStringList splitLines(const QString& text)
{
    QStringList out;
    if (text.isEmpty())
        return out;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c != u'\r' && c != u'\n')
            continue;
        out << text.mid(start, i - start);
        if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
            ++i;
        start = i + 1;
    }
    out << text.mid(start);
    return out;
}

} // namespace rimo::dbcontrols
