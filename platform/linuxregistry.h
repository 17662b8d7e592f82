#pragma once
// The registry on Linux. Each hive is one SQLite database, and every change is one transaction,
// so a crash in the middle of a write loses nothing and two running programs keep each other's
// writes. The current user's hive lives in a folder of the user's configuration, the machine's in
// a system folder only root may write: for everyone else that hive opens for reading only.
// HKEY_CLASSES_ROOT is the user's "Software\Classes" over the machine's (writes go to the
// machine's), and the machine's Run key is the system autostart folder (autostartkey.h).

#include "platform/registry.h"

namespace rimo {

class SqliteHive;

struct LinuxRegistryFolders
{
    QString userHive;        // holds user.db
    QString machineHive;     // holds machine.db
    QString systemAutostart; // the machine-wide autostart folder (.desktop files)
};

class LinuxRegistry : public RegistryStore
{
public:
    explicit LinuxRegistry(const LinuxRegistryFolders& folders);
    ~LinuxRegistry() override;
    // The program's folders: the hives under $XDG_CONFIG_HOME/rimo/registry and
    // /var/lib/rimo/registry, the autostart folder under the first of $XDG_CONFIG_DIRS
    // (/etc/xdg when unset).
    static LinuxRegistryFolders defaultFolders();

    std::unique_ptr<RegistryKey> open(RegistryRoot root, const QString& path, RegistryAccess access,
                                      bool create) override;
    bool deleteTree(RegistryRoot root, const QString& path) override;

    // The machine's Run key path, which maps to the autostart folder.
    static QString runKeyPath();

private:
    // Opened at their first use, so that a program that never asks makes no folders.
    const std::shared_ptr<SqliteHive>& userHive();
    const std::shared_ptr<SqliteHive>& machineHive();

    LinuxRegistryFolders m_folders;
    std::shared_ptr<SqliteHive> m_user;
    std::shared_ptr<SqliteHive> m_machine;
};

} // namespace rimo
