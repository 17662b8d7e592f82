#pragma once
// Reading and writing a file as a whole: a write never leaves half a file behind, and a read never
// takes more than a stated size, whatever the file turns out to be (a device, a pipe, a huge file).

#include <QByteArray>
#include <QString>

namespace rimo {

// The largest settings file, report or script the program reads whole. Real ones are a few hundred
// bytes to a few kilobytes; anything larger is not one of them.
inline constexpr qint64 kWholeFileLimit = 64 * 1024;
// The largest picture file the image services read whole (a 16000 x 16000 photograph is well below).
inline constexpr qint64 kImageFileLimit = qint64{256} << 20;

// The bytes of the regular file at `path`, at most `limit` of them. Raises rimo::Error naming the
// file when it is missing or cannot be opened, is not a regular file (a directory, a FIFO, a
// device such as /dev/zero, also through a symbolic link), is larger than `limit` or cannot be
// read. Never waits for a writer and never reads more than `limit` + 1 bytes.
QByteArray readWholeFile(const QString& path, qint64 limit = kWholeFileLimit);

// Replaces the file at `path` with `content`: written beside it and renamed over it, so an existing
// file stays as it was when the write fails. Where no file can be made beside it (a read-only
// folder) the file is written in place. Raises rimo::Error naming the file when it cannot be
// created or written.
void writeWholeFile(const QString& path, const QByteArray& content);

} // namespace rimo
