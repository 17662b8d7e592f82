#pragma once
// The saved central connection of multi-herd mode, `MultiConnect.Dat` in the program folder:
// four plain lines (server, database, user name, password). Other installations share the
// format, so it stays plain text; the file is kept private to its owner and replaced whole.

#include <QByteArray>
#include <QString>

namespace rimo {

struct MultiConnectSettings
{
    QString server;
    QString database;
    QString user;
    QString password;
    bool operator==(const MultiConnectSettings&) const = default;
};

inline const QString MultiConnectFileName = QStringLiteral("MultiConnect.Dat");

// Decodes the file's bytes like the other settings files (byte-order mark, else UTF-8, else
// code page 1256); a missing line reads as empty text, lines after the fourth are ignored.
MultiConnectSettings decodeMultiConnect(const QByteArray& bytes);

// The four lines in UTF-8 without a byte-order mark, each ended by CR LF. Raises rimo::Error for a
// value holding a line break, which would shift the lines after it.
QByteArray encodeMultiConnect(const MultiConnectSettings& settings);

// Reads the file at `path` (at most kWholeFileLimit bytes); raises rimo::Error when it cannot be
// read, is not a regular file or is larger.
MultiConnectSettings readMultiConnectFile(const QString& path);

// Replaces the file at `path` with the settings: written to a temporary file in the same folder,
// readable and writable by its owner only, then renamed over the old one, so a crash never leaves
// a truncated file. Raises rimo::Error, leaving the old file as it was, when the existing file or
// the folder is write-protected (by its permission bits, so also for root) or the write fails.
void writeMultiConnectFile(const QString& path, const MultiConnectSettings& settings);

// Whether the permission bits (or the current user's access) forbid writing `path`.
bool isWriteProtected(const QString& path);

} // namespace rimo
