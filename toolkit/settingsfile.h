#pragma once
// Reading the small settings files that sit beside the program (the single-herd connection file
// and the saved central connection): text with an optional byte-order mark, otherwise UTF-8, or
// the Arabic Windows code page these files come from when the bytes are not valid UTF-8.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace rimo {

// Decodes the bytes and splits them into lines (CR LF, LF or CR).
QStringList decodeSettingsLines(const QByteArray& bytes);

// The first `count` lines, missing ones as empty texts.
QStringList firstLines(const QStringList& lines, int count);

// The four unscrambled settings of the single-herd file: password, server, database, user.
QStringList readScrambledSettings(const QByteArray& bytes);

// The file `name` in `folder`, found without regard to letter case (the files come from
// Windows installations); empty when there is none.
QString findFileCaseInsensitive(const QString& folder, const QString& name);

} // namespace rimo
