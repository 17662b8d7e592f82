#pragma once
// Definition files of windows: one line per control, class "~" object name "~" value (the value
// may hold "~"), kept in the folder "ini" beside the program under the window's object name.
// The plain functions work on the lines; the file operations read and replace the files.

#include <QList>
#include <QString>
#include <QStringList>

class QObject;

namespace rimo::formdefs {

struct DefLine
{
    QString cls;
    QString name;
    QString value;
    // False for a line without two "~": it is kept as it was and names no control.
    bool split = false;
    QString text;
};
DefLine splitDefLine(const QString& line);
QString joinDefLine(const DefLine& line);

// How a value is read from and put into a control.
enum class Kind { Other, Edit, Combo, Radio, Check };
// The kind a line's class names (letter case ignored).
Kind kindOfClass(const QString& cls);
// The kind the control really is.
Kind kindOf(const QObject* component);

// The window's components: its descendants with an object name, Qt's own ("qt_...") left out.
QList<QObject*> components(const QObject* window);
// The component of that name, letter case ignored; nullptr when none.
QObject* findComponent(const QList<QObject*>& list, const QString& name);

// The control's value as a definition line stores it.
QString valueOf(QObject* component, Kind kind);
void applyValue(QObject* component, Kind kind, const QString& value);

// Applies the lines to the window's controls; a line whose class does not fit its control's
// kind is skipped.
void loadLines(const QObject* window, const QStringList& lines);
// The lines with the controls' current values and their own class names; blank lines dropped.
QStringList saveLines(const QObject* window, const QStringList& lines);
// Every component with a value of one space.
QStringList templateLines(const QObject* window);

// The definition file of the window in `appPath` ("ini" folder and file found in any letter
// case), empty when there is none; the template's path (it may not exist yet).
QString definitionFile(const QString& appPath, const QString& windowName);
QString templateFile(const QString& appPath, const QString& windowName);
// UTF-8 lines ended by CR LF, replacing the file; raises rimo::Error when it cannot be written.
void writeLines(const QString& path, const QStringList& lines);
QStringList readLines(const QString& path);

} // namespace rimo::formdefs
