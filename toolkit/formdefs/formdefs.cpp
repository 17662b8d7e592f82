#include "toolkit/formdefs/formdefs.h"

#include "core/error.h"
#include "dbcontrols/dbwidgets.h"
#include "toolkit/settingsfile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>

namespace rimo::formdefs {

DefLine splitDefLine(const QString& line)
{
    DefLine out;
    out.text = line;
    const qsizetype first = line.indexOf(u'~');
    const qsizetype second = first < 0 ? -1 : line.indexOf(u'~', first + 1);
    if (second < 0)
        return out;
    out.cls = line.left(first);
    out.name = line.mid(first + 1, second - first - 1);
    out.value = line.mid(second + 1);
    out.split = true;
    return out;
}

QString joinDefLine(const DefLine& line)
{
    return line.split ? line.cls + u'~' + line.name + u'~' + line.value : line.text;
}

Kind kindOfClass(const QString& cls)
{
    const QString c = cls.toUpper();
    if (c == u"TDBEDIT")
        return Kind::Edit;
    if (c == u"TDBCOMBOBOX")
        return Kind::Combo;
    if (c == u"TDBRADIOGROUP" || c == u"TRADIOGROUP")
        return Kind::Radio;
    if (c == u"TDBCHECKBOX")
        return Kind::Check;
    return Kind::Other;
}

Kind kindOf(const QObject* component)
{
    if (qobject_cast<const QLineEdit*>(component))
        return Kind::Edit;
    if (qobject_cast<const QComboBox*>(component))
        return Kind::Combo;
    if (qobject_cast<const TRadioGroup*>(component))
        return Kind::Radio;
    if (qobject_cast<const QCheckBox*>(component))
        return Kind::Check;
    return Kind::Other;
}

QList<QObject*> components(const QObject* window)
{
    QList<QObject*> out;
    for (QObject* child : window->findChildren<QObject*>()) {
        const QString name = child->objectName();
        if (!name.isEmpty() && !name.startsWith(u"qt_"))
            out << child;
    }
    return out;
}

QObject* findComponent(const QList<QObject*>& list, const QString& name)
{
    for (QObject* c : list) {
        if (c->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return c;
    }
    return nullptr;
}

QString valueOf(QObject* component, Kind kind)
{
    switch (kind) {
    case Kind::Edit:
        return qobject_cast<QLineEdit*>(component)->text();
    case Kind::Combo:
        return qobject_cast<QComboBox*>(component)->currentText();
    case Kind::Radio:
        return QString::number(qobject_cast<TRadioGroup*>(component)->ItemIndex());
    case Kind::Check:
        return qobject_cast<QCheckBox*>(component)->isChecked() ? QStringLiteral("-1") : QStringLiteral("0");
    case Kind::Other:
        break;
    }
    return {};
}

namespace {
bool checkedValue(const QString& value)
{
    bool number = false;
    const qint64 n = value.toLongLong(&number);
    return number ? n != 0 : value.compare(u"true", Qt::CaseInsensitive) == 0;
}

int comboIndex(const QComboBox* box, const QString& value)
{
    for (int i = 0; i < box->count(); ++i) {
        if (box->itemText(i).compare(value, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}
} // namespace

void applyValue(QObject* component, Kind kind, const QString& value)
{
    switch (kind) {
    case Kind::Edit:
        qobject_cast<QLineEdit*>(component)->setText(value);
        break;
    case Kind::Combo: {
        auto* box = qobject_cast<QComboBox*>(component);
        box->setCurrentIndex(comboIndex(box, value));
        break;
    }
    case Kind::Radio: {
        bool ok = false;
        const int index = value.toInt(&ok);
        qobject_cast<TRadioGroup*>(component)->setItemIndex(ok ? index : -1);
        break;
    }
    case Kind::Check:
        qobject_cast<QCheckBox*>(component)->setChecked(checkedValue(value));
        break;
    case Kind::Other:
        break;
    }
}

void loadLines(const QObject* window, const QStringList& lines)
{
    const QList<QObject*> list = components(window);
    for (const QString& text : lines) {
        const DefLine line = splitDefLine(text);
        if (!line.split)
            continue;
        QObject* c = findComponent(list, line.name);
        const Kind kind = kindOfClass(line.cls);
        if (c && kind != Kind::Other && kindOf(c) == kind)
            applyValue(c, kind, line.value);
    }
}

QStringList saveLines(const QObject* window, const QStringList& lines)
{
    const QList<QObject*> list = components(window);
    QStringList out;
    for (const QString& text : lines) {
        DefLine line = splitDefLine(text);
        if (line.split) {
            if (QObject* c = findComponent(list, line.name)) {
                const Kind kind = kindOfClass(line.cls);
                // A class that does not fit the control keeps its value.
                if (kind != Kind::Other && kindOf(c) == kind)
                    line.value = valueOf(c, kind);
                line.cls = QString::fromLatin1(c->metaObject()->className());
            }
        }
        const QString joined = joinDefLine(line);
        if (!joined.trimmed().isEmpty())
            out << joined;
    }
    return out;
}

QStringList templateLines(const QObject* window)
{
    QStringList out;
    for (const QObject* c : components(window))
        out << QString::fromLatin1(c->metaObject()->className()) + u'~' + c->objectName() +
                   QStringLiteral("~ ");
    return out;
}

namespace {
// The folder "ini" of the program folder in any letter case; the plain name when there is none.
QString iniFolder(const QString& appPath)
{
    const QString plain = QStringLiteral("ini");
    const QDir app(appPath);
    if (!app.exists(plain)) {
        for (const QString& entry : app.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden)) {
            if (entry.compare(plain, Qt::CaseInsensitive) == 0)
                return app.filePath(entry);
        }
    }
    return app.filePath(plain);
}
} // namespace

QString definitionFile(const QString& appPath, const QString& windowName)
{
    return findFileCaseInsensitive(iniFolder(appPath), windowName + QStringLiteral(".Ini"));
}

QString templateFile(const QString& appPath, const QString& windowName)
{
    const QString folder = iniFolder(appPath);
    const QString name = u'1' + windowName + QStringLiteral(".Ini");
    const QString found = findFileCaseInsensitive(folder, name);
    return found.isEmpty() ? QDir(folder).filePath(name) : found;
}

void writeLines(const QString& path, const QStringList& lines)
{
    QByteArray bytes;
    for (const QString& l : lines)
        bytes += l.toUtf8() + "\r\n";
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        throw Error(QStringLiteral("Cannot create file \"%1\". %2")
                        .arg(QDir::toNativeSeparators(path), f.errorString()));
}

QStringList readLines(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Cannot open file \"%1\". %2")
                        .arg(QDir::toNativeSeparators(path), f.errorString()));
    return decodeSettingsLines(f.readAll());
}

} // namespace rimo::formdefs
