#pragma once
// Writing a file as a whole, so that a failed write never leaves half a file behind.

#include <QByteArray>
#include <QString>

namespace rimo {

// Replaces the file at `path` with `content`: written beside it and renamed over it, so an existing
// file stays as it was when the write fails. Where no file can be made beside it (a read-only
// folder) the file is written in place. Raises rimo::Error naming the file when it cannot be
// created or written.
void writeWholeFile(const QString& path, const QByteArray& content);

} // namespace rimo
