#pragma once
// The shell, launch, file and network services of the toolkit object: shortcut files, opening
// documents and addresses, starting a program and waiting for it, the desktop background, copying
// a file, deleting a folder tree, a folder chooser, the window of a running program, the icon of
// a file, and the host's name and address. The toolkit object inherits them and supplies its
// platform services and its two monitors.

#include "platform/services.h"

#include <QIcon>
#include <QString>

class TProcessInfo;
class TAppInfo;

class TShellServices
{
public:
    virtual ~TShellServices() = default;

    virtual const rimo::PlatformServices& platform() const = 0;

    // Saves a desktop entry at ShortCutName that starts Target with Args (split at blanks outside
    // double quotes) in WorkDir; the minimised show command is kept in an X- key. A failed save is
    // ignored.
    static void CreateLink(const QString& Target, const QString& Args, const QString& WorkDir,
                           const QString& ShortCutName);
    // Sets URL in section InternetShortcut of the INI file FileName, every other line kept; a new
    // file is UTF-8 with CR LF. Written whole or not at all; raises rimo::Error "Unable to write
    // to <FileName>" when it cannot be read or written.
    static void CreateInternetShortcut(const QString& FileName, const QString& LocationURL);

    // Hand the address or file to the desktop's default handler; nothing is reported.
    void OPenUrl(const QString& URL);
    // An executable file starts detached (with Para split like a command line); anything else
    // goes to the default handler. ExecuteFilePara trims blanks off FileName first.
    void ExecuteFile(const QString& FileName);
    void ExecuteFilePara(const QString& FileName, const QString& Para);
    // Starts "\"FileName\" Params" directly (no shell) in FileName's folder, with no input and its
    // output discarded, and blocks until it ends. False when it could not be started.
    bool ExecAndWait(const QString& FileName, const QString& Params);

    // The image (any format Qt reads) scaled to the screen as the desktop background for the rest
    // of the session. An unreadable file or no display changes nothing and raises nothing.
    void ChangeWallpaper(const QString& bitmap);

    // False only when FName cannot be opened; a destination that cannot be created or written
    // raises rimo::Error with the system's text. A destination that is the source itself (by
    // another path or a link) is left intact, and the result is true.
    static bool FileCopy(const QString& FName, const QString& ToName);
    // Deletes the folder and everything in it, links removed and never followed; true only when
    // all is gone. False for a missing folder, and for a blank name or the root (nothing deleted).
    static bool DelDir(const QString& dir);

    // A folder chooser titled Caption starting in Root (home when Root is no folder). False and an
    // empty Directory when cancelled.
    static bool SelectDirectory(const QString& Caption, const QString& Root, QString& Directory);

    // The last top-level window (in the window monitor's list) of the first process whose
    // executable is FileName (any letter case); 0 when none. Leaves both monitors inactive.
    quint32 GetFileHandle(const QString& FileName);

    // The icon the desktop associates with the file's type; null for a missing file.
    static QIcon ExportIcon(const QString& St);

    // The host name as the kernel gives it; empty when it cannot be read.
    QString GetComputerNameX();
    // HostName becomes the local host name and IPaddr its first IPv4 address, dotted. When the
    // name cannot be read: false, WSAErr the matching socket error name (or unchanged); when it
    // does not resolve: false, IPaddr empty, WSAErr a text naming the host.
    bool GetIPFromHost(QString& HostName, QString& IPaddr, QString& WSAErr);

protected:
    virtual TProcessInfo& shellProcessMonitor() = 0;
    virtual TAppInfo& shellWindowMonitor() = 0;

private:
    void executeOrOpen(const QString& fileName, const QString& para);
};
