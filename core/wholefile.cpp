#include "core/wholefile.h"

#include "core/error.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rimo {

namespace {

Error readError(const QString& path, const QString& why)
{
    return Error(QStringLiteral("Cannot read file \"%1\". %2").arg(QDir::toNativeSeparators(path), why));
}

QString errnoText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

// Closes the descriptor on every way out.
struct Descriptor
{
    int fd;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

QByteArray readWholeFile(const QString& path, qint64 limit)
{
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer; it does not change
    // how a regular file is read.
    Descriptor file{
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)};
    if (file.fd < 0)
        throw readError(path, errnoText(errno));
    struct stat st
    {
    };
    if (::fstat(file.fd, &st) != 0)
        throw readError(path, errnoText(errno));
    if (!S_ISREG(st.st_mode))
        throw readError(path, S_ISDIR(st.st_mode) ? QStringLiteral("It is a folder.")
                                                  : QStringLiteral("It is not a regular file."));
    if (st.st_size > limit)
        throw readError(path, QStringLiteral("It is larger than %1 bytes.").arg(limit));
    QByteArray bytes(static_cast<qsizetype>(st.st_size) + 1, Qt::Uninitialized);
    qsizetype used = 0;
    for (;;) {
        // One byte more than the limit tells a file that grew since fstat from one that did not.
        if (used == bytes.size()) {
            if (used > limit)
                throw readError(path, QStringLiteral("It is larger than %1 bytes.").arg(limit));
            bytes.resize(std::min<qsizetype>(limit + 1, bytes.size() * 2 + 4096));
        }
        const ssize_t n = ::read(file.fd, bytes.data() + used, static_cast<size_t>(bytes.size() - used));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw readError(path, errnoText(errno));
        }
        if (n == 0)
            break;
        used += n;
    }
    if (used > limit)
        throw readError(path, QStringLiteral("It is larger than %1 bytes.").arg(limit));
    bytes.truncate(used);
    return bytes;
}

void writeWholeFile(const QString& path, const QByteArray& content)
{
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        throw Error(QStringLiteral("Cannot create file \"%1\". %2").arg(path, file.errorString()));
    if (file.write(content) != content.size() || !file.commit())
        throw Error(QStringLiteral("Cannot write file \"%1\". %2").arg(path, file.errorString()));
}

} // namespace rimo
