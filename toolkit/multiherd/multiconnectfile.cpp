#include "toolkit/multiherd/multiconnectfile.h"

#include "core/error.h"
#include "core/wholefile.h"
#include "toolkit/settingsfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rimo {

namespace {

Error writeError(const QString& path, const QString& why)
{
    return Error(QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), why));
}

QString errnoText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

// Closes and removes the temporary file unless it was renamed into place.
class TempFile
{
public:
    explicit TempFile(QByteArray name) : m_name(std::move(name)) {}
    ~TempFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_renamed)
            ::unlink(m_name.constData());
    }
    bool create()
    {
        m_fd = ::mkstemp(m_name.data()); // mode 0600
        return m_fd >= 0;
    }
    int fd() const { return m_fd; }
    const QByteArray& name() const { return m_name; }
    bool close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }
    void renamed() { m_renamed = true; }

private:
    QByteArray m_name;
    int m_fd = -1;
    bool m_renamed = false;
};

} // namespace

MultiConnectSettings decodeMultiConnect(const QByteArray& bytes)
{
    const QStringList lines = firstLines(decodeSettingsLines(bytes), 4);
    return {lines[0], lines[1], lines[2], lines[3]};
}

QByteArray encodeMultiConnect(const MultiConnectSettings& settings)
{
    QByteArray out;
    for (const QString* value : {&settings.server, &settings.database, &settings.user, &settings.password}) {
        if (value->contains(u'\r') || value->contains(u'\n'))
            throw Error(QStringLiteral("A connection setting holds a line break and cannot be saved"));
        out += value->toUtf8();
        out += "\r\n";
    }
    return out;
}

MultiConnectSettings readMultiConnectFile(const QString& path)
{
    return decodeMultiConnect(readWholeFile(path));
}

bool isWriteProtected(const QString& path)
{
    // The owner's write bit stands for the read-only attribute these files have on Windows; it is
    // checked apart from access() because access() lets root write anything.
    const QFileInfo info(path);
    return !(QFile::permissions(path) & QFileDevice::WriteOwner) || !info.isWritable();
}

void writeMultiConnectFile(const QString& path, const MultiConnectSettings& settings)
{
    const QByteArray bytes = encodeMultiConnect(settings);
    const QFileInfo target(path);
    const QString folder = target.absolutePath();
    if (!QFileInfo(folder).isDir())
        throw writeError(path, QStringLiteral("the folder does not exist"));
    if (isWriteProtected(folder))
        throw writeError(path, QStringLiteral("the folder is write-protected"));
    // Checked before replacing: a rename would otherwise replace a read-only file silently.
    if (target.exists() && isWriteProtected(path))
        throw writeError(path, QStringLiteral("the file is write-protected"));

    TempFile temp(
        QFile::encodeName(folder + QStringLiteral("/.") + target.fileName() + QStringLiteral(".XXXXXX")));
    if (!temp.create())
        throw writeError(path, errnoText(errno));
    // mkstemp already makes the file private; the umask cannot widen it, but say so explicitly.
    if (::fchmod(temp.fd(), S_IRUSR | S_IWUSR) != 0)
        throw writeError(path, errnoText(errno));
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(temp.fd(), p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw writeError(path, errnoText(errno));
        }
        p += n;
        left -= n;
    }
    if (::fsync(temp.fd()) != 0 || !temp.close())
        throw writeError(path, errnoText(errno));
    if (::rename(temp.name().constData(), QFile::encodeName(target.absoluteFilePath()).constData()) != 0)
        throw writeError(path, errnoText(errno));
    temp.renamed();
    // Make the rename itself durable; a failure here leaves a complete file either way.
    const int dir = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

} // namespace rimo
