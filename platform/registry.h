#pragma once
// A small registry: hives of keys named by backslash-separated paths (letter case ignored), each
// key holding named, typed values ("" names the key's default value). The toolkit's settings,
// startup list and file associations are written against it; linuxregistry.h keeps it on disk.

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace rimo {

enum class RegistryRoot { CurrentUser, LocalMachine, ClassesRoot };
enum class RegistryAccess { Read, Write, Full };

// An open key; it is closed when the object goes. Every read and write reaches the store at once,
// so what another program wrote meanwhile is seen and nothing waits for a close.
class RegistryKey
{
public:
    virtual ~RegistryKey() = default;
    // The text of value `name`; std::nullopt when the key has no such value. A value of another
    // type raises rimo::Error naming the value ("Invalid data type for 'name'").
    virtual std::optional<QString> readText(const QString& name) = 0;
    // Raise rimo::Error ("Failed to set data for 'name'") when the value cannot be written: a key
    // opened for reading, a hive the user may not write, a full disk.
    virtual void writeText(const QString& name, const QString& value) = 0;
    virtual void writeNumber(const QString& name, qint32 value) = 0;
    // Value names in the order they were first written; subkey names sorted without regard to
    // letter case, as the registry lists them.
    virtual QStringList valueNames() = 0;
    virtual QStringList subkeyNames() = 0;
};

class RegistryStore
{
public:
    virtual ~RegistryStore() = default;
    // The key at `path` below `root` (a leading backslash, or none, both mean from the root).
    // nullptr when it is missing and `create` is false, or when `access` cannot be granted.
    virtual std::unique_ptr<RegistryKey> open(RegistryRoot root, const QString& path, RegistryAccess access,
                                              bool create) = 0;
    // Removes the key with all its subkeys and values; false when it could not (nothing removed).
    virtual bool deleteTree(RegistryRoot root, const QString& path) = 0;
};

// The names of a key path: split at backslashes, empty names (doubled, leading or trailing
// backslashes) dropped. An empty list is the root.
QStringList registryPathNames(const QString& path);

} // namespace rimo
