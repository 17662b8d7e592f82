#pragma once
// Plain pieces of the shell services, tested without a program to start or a file to write: the
// command a launch runs, the INI value writer of internet shortcuts, the desktop entry of a
// shortcut and the refusal to delete what must never be deleted as a tree.

#include "platform/desktopentry.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace rimo::shell {

struct LaunchCommand
{
    QString program;
    QStringList arguments;
    QString workingFolder; // empty: the caller's current folder
};

// The command line "\"FileName\" Params" split at blanks outside double quotes, started in the
// folder part of FileName. A relative program with a folder part is made absolute first, since
// it is named from the caller's folder, not from the one it starts in.
LaunchCommand waitedLaunch(const QString& fileName, const QString& params);

// `content` (an INI file, any line ends) with `key` = `value` in `section`: both found without
// regard to letter case; an existing key line replaced in place with its own line end, a missing
// key added after the last line of its section, a missing section added at the end. Every other
// byte stays. New lines take the file's first line end, CR LF in a file without one. Line ends
// in `value` are dropped: they would start lines of their own.
QByteArray setIniValue(const QByteArray& content, const QString& section, const QString& key,
                       const QString& value);

// The key that keeps a shortcut's show command (2: minimised), which desktop entries cannot
// express.
inline constexpr char16_t kShowCommandKey[] = u"X-Rimo1-ShowCommand";

// The desktop entry a shortcut is saved as: an application started as `target` with `args`
// split like a command line, in `workDir`, named after the shortcut file.
DesktopEntryFile shortcutEntry(const QString& target, const QString& args, const QString& workDir,
                               const QString& shortcutName);

// False for a blank name and for the file-system root, whatever way it is written ("/", "//",
// "/tmp/..", a relative way up to it): deleting either as a tree would empty the machine.
bool mayDeleteTree(const QString& dir);

} // namespace rimo::shell
