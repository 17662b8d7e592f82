#pragma once
// File permission tests that hold as root too. Root writes into read-only folders, so such a test
// proves nothing as root, and CI runs as root. While a FileAccessAsUser lives, a root caller's
// thread reaches files as `nobody` (its file-system user and group, which the kernel checks
// permission bits against), and `own` hands a test's files to that user first. For anyone else
// it changes nothing: the caller already is an ordinary user and owns its files.

#include <QFile>
#include <QString>
#include <grp.h>
#include <pwd.h>
#include <sys/fsuid.h>
#include <unistd.h>

namespace rimo::testsupport {

class FileAccessAsUser
{
public:
    FileAccessAsUser()
    {
        if (geteuid() != 0)
            return;
        const passwd* nobody = getpwnam("nobody");
        m_uid = nobody ? nobody->pw_uid : 65534;
        m_gid = nobody ? nobody->pw_gid : 65534;
    }
    ~FileAccessAsUser() { leave(); }
    FileAccessAsUser(const FileAccessAsUser&) = delete;
    FileAccessAsUser& operator=(const FileAccessAsUser&) = delete;

    // Gives `path` to the user the test acts as (as root, before `enter`); true when it belongs to it.
    bool own(const QString& path) const
    {
        if (geteuid() != 0)
            return true;
        return ::chown(QFile::encodeName(path).constData(), m_uid, m_gid) == 0;
    }

    // From here on the calling thread reaches files as that user; true when it does.
    bool enter()
    {
        if (geteuid() != 0)
            return true;
        // setfsgid and setfsuid give back the previous value; -1 only asks.
        ::setfsgid(m_gid);
        ::setfsuid(m_uid);
        m_entered = true;
        return static_cast<uid_t>(::setfsuid(static_cast<uid_t>(-1))) == m_uid &&
               static_cast<gid_t>(::setfsgid(static_cast<gid_t>(-1))) == m_gid;
    }

    // Back to the caller's own file access (also when the object goes).
    void leave()
    {
        if (!m_entered)
            return;
        ::setfsuid(geteuid());
        ::setfsgid(getegid());
        m_entered = false;
    }

private:
    uid_t m_uid = 0;
    gid_t m_gid = 0;
    bool m_entered = false;
};

} // namespace rimo::testsupport
