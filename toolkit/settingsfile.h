#pragma once
// Reading the small settings files that sit beside the program (the single-herd connection file
// and the saved central connection): text with an optional byte-order mark, otherwise UTF-8, or
// the Arabic Windows code page these files come from when the bytes are not valid UTF-8.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace rimo {

// Decodes the bytes and splits them into lines (CR LF, LF or CR).
QStringList decodeSettingsLines(const QByteArray& bytes);

// The first `count` lines, missing ones as empty texts.
QStringList firstLines(const QStringList& lines, int count);

// The four unscrambled settings of the single-herd file: password, server, database, user.
QStringList readScrambledSettings(const QByteArray& bytes);

// A character that the single-herd file cannot hold: scrambled at its place it becomes a line end
// (CR or LF, which would split the line when read) or a surrogate half without its partner (which
// no text encoding stores). `field` (0 password, 1 server, 2 database, 3 user) and `position` (from
// 1) name where it is.
struct UnstorableCharacter
{
    int field = 0;
    int position = 0;
    char16_t character = 0;
};
std::optional<UnstorableCharacter> findUnstorableCharacter(const QStringList& settings);
// "password", "server", "database" or "user".
QString settingsFieldName(int field);

// The bytes of the single-herd file for the four settings (password, server, database, user):
// UTF-8 with a byte-order mark, each line scrambled and ended by CR LF. Raises rimo::Error naming
// the field and position of the first character the file cannot hold, and whenever the bytes would
// not read back as the same four settings.
QByteArray encodeScrambledSettings(const QStringList& settings);

// The entry `name` in `folder`, found without regard to letter case (the files come from
// Windows installations); empty when there is none. Any kind of entry counts (a folder, a pipe, a
// link to a device): the reader then finds it unusable, rather than taking it for a missing file.
QString findFileCaseInsensitive(const QString& folder, const QString& name);

} // namespace rimo
