#include "toolkit/shell/shellservices.h"

#include "core/error.h"
#include "monitors/appinfo.h"
#include "monitors/processinfo.h"
#include "platform/dialogs.h"
#include "toolkit/services/valueservices.h"
#include "toolkit/shell/shellcommands.h"

#include <QDir>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QSaveFile>

#include <sys/stat.h>

void TShellServices::CreateLink(const QString& Target, const QString& Args, const QString& WorkDir,
                                const QString& ShortCutName)
{
    const QByteArray bytes = rimo::shell::shortcutEntry(Target, Args, WorkDir, ShortCutName).toBytes();
    QSaveFile file(ShortCutName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return; // a shortcut that cannot be saved is not reported
    // File managers start a desktop entry only when it is marked executable (trusted).
    QFile::setPermissions(ShortCutName, QFile::permissions(ShortCutName) | QFileDevice::ExeOwner);
}

void TShellServices::CreateInternetShortcut(const QString& FileName, const QString& LocationURL)
{
    const rimo::Error cannotWrite(QStringLiteral("Unable to write to ") + FileName);
    QByteArray content;
    QFile existing(FileName);
    if (existing.exists()) {
        // A file we cannot read would lose its other lines if written over.
        if (!existing.open(QIODevice::ReadOnly))
            throw cannotWrite;
        content = existing.readAll();
        existing.close();
    }
    const QByteArray updated = rimo::shell::setIniValue(content, QStringLiteral("InternetShortcut"),
                                                        QStringLiteral("URL"), LocationURL);
    QSaveFile file(FileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(updated) != updated.size() || !file.commit())
        throw cannotWrite;
}

void TShellServices::OPenUrl(const QString& URL)
{
    platform().shellOpener->open(URL);
}

void TShellServices::ExecuteFile(const QString& FileName)
{
    executeOrOpen(FileName, {});
}

void TShellServices::ExecuteFilePara(const QString& FileName, const QString& Para)
{
    executeOrOpen(TValueServices::RemoveRLBLank(FileName), Para);
}

void TShellServices::executeOrOpen(const QString& fileName, const QString& para)
{
    const QFileInfo info(fileName);
    if (info.isFile() && info.isExecutable() &&
        platform().launcher->startDetached(info.absoluteFilePath(), QProcess::splitCommand(para), {}))
        return;
    // Documents, folders and addresses go to their default handler (which takes no parameters).
    platform().shellOpener->open(fileName);
}

bool TShellServices::ExecAndWait(const QString& FileName, const QString& Params)
{
    const rimo::shell::LaunchCommand command = rimo::shell::waitedLaunch(FileName, Params);
    if (command.program.isEmpty())
        return false;
    return platform().launcher->runAndWait(command.program, command.arguments, command.workingFolder);
}

void TShellServices::ChangeWallpaper(const QString& bitmap)
{
    const QImage image(bitmap);
    if (!image.isNull())
        platform().background->setImage(image);
}

bool TShellServices::FileCopy(const QString& FName, const QString& ToName)
{
    QFile source(FName);
    if (QFileInfo(FName).isDir() || !source.open(QIODevice::ReadOnly))
        return false;
    // Opening the destination for writing would empty the source if they are one file.
    struct stat from
    {
    };
    struct stat to
    {
    };
    if (::stat(QFile::encodeName(FName).constData(), &from) == 0 &&
        ::stat(QFile::encodeName(ToName).constData(), &to) == 0 && from.st_dev == to.st_dev &&
        from.st_ino == to.st_ino)
        return true;
    QFile target(ToName);
    if (!target.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw rimo::Error(QStringLiteral("Cannot create file \"%1\". %2").arg(ToName, target.errorString()));
    char buffer[64 * 1024];
    while (true) {
        const qint64 got = source.read(buffer, sizeof buffer);
        if (got < 0)
            throw rimo::Error(QStringLiteral("Read error on \"%1\". %2").arg(FName, source.errorString()));
        if (got == 0)
            break;
        if (target.write(buffer, got) != got)
            throw rimo::Error(QStringLiteral("Write error on \"%1\". %2").arg(ToName, target.errorString()));
    }
    if (!target.flush())
        throw rimo::Error(QStringLiteral("Write error on \"%1\". %2").arg(ToName, target.errorString()));
    return true;
}

bool TShellServices::DelDir(const QString& dir)
{
    if (!rimo::shell::mayDeleteTree(dir))
        return false;
    // "link/" names the folder behind the link; without the slash the link itself is looked at.
    QString path = dir;
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    const QFileInfo info(path);
    // A link (to a folder or not) and a plain file go as themselves; nothing behind a link is touched.
    if (info.isSymLink() || (info.exists() && !info.isDir()))
        return QFile::remove(path);
    if (!info.isDir())
        return false;
    QDir(path).removeRecursively();
    return !QFileInfo::exists(path);
}

bool TShellServices::SelectDirectory(const QString& Caption, const QString& Root, QString& Directory)
{
    Directory.clear();
    rimo::DirectoryDialogRequest request;
    request.caption = Caption;
    request.folder = !Root.isEmpty() && QFileInfo(Root).isDir() ? Root : QDir::homePath();
    Directory = rimo::dialogs().existingDirectory(request);
    return !Directory.isEmpty();
}

quint32 TShellServices::GetFileHandle(const QString& FileName)
{
    TProcessInfo& processes = shellProcessMonitor();
    TAppInfo& windows = shellWindowMonitor();
    // Both monitors end inactive, also when a refresh fails on the way.
    struct SwitchOff
    {
        TProcessInfo& p;
        TAppInfo& a;
        ~SwitchOff()
        {
            p.setActive(false);
            a.setActive(false);
        }
    } switchOff{processes, windows};
    processes.setActive(true);
    windows.setActive(true);
    quint32 handle = 0;
    if (const TProcessItem* process = processes.RunningProcesses().FindByName(FileName)) {
        for (const TWindowItem* window : windows.RunningApps())
            if (window->ProcessID() == process->ProcessID())
                handle = window->Handle();
    }
    return handle;
}

QIcon TShellServices::ExportIcon(const QString& St)
{
    const QFileInfo info(St);
    if (!info.exists())
        return {};
    return QFileIconProvider().icon(info);
}

QString TShellServices::GetComputerNameX()
{
    rimo::HostResolver::NameFailure failure{};
    return platform().resolver->localHostName(&failure).value_or(QString());
}

bool TShellServices::GetIPFromHost(QString& HostName, QString& IPaddr, QString& WSAErr)
{
    IPaddr.clear();
    rimo::HostResolver::NameFailure failure = rimo::HostResolver::NameFailure::Other;
    const std::optional<QString> name = platform().resolver->localHostName(&failure);
    if (!name) {
        switch (failure) {
        case rimo::HostResolver::NameFailure::InProgress:
            WSAErr = QStringLiteral("WSAEInProgress");
            break;
        case rimo::HostResolver::NameFailure::NetworkDown:
            WSAErr = QStringLiteral("WSAENetDown");
            break;
        case rimo::HostResolver::NameFailure::NotInitialised:
            WSAErr = QStringLiteral("WSANotInitialised");
            break;
        case rimo::HostResolver::NameFailure::Other:
            break; // no matching socket error: the caller's text stays
        }
        return false;
    }
    HostName = *name;
    QString error;
    const QStringList addresses = platform().resolver->ipv4Addresses(*name, &error);
    if (addresses.isEmpty()) {
        WSAErr = QStringLiteral("The host name \"%1\" does not resolve to an IPv4 address (%2).")
                     .arg(*name, error);
        return false;
    }
    IPaddr = addresses.first();
    return true;
}
