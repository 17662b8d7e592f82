#pragma once
// The registry services of the toolkit object: a small settings area under the current user's
// hive, the user's desktop and startup folders, the machine-wide startup list, and the
// registration of a document type with the running program. The toolkit object inherits them and
// supplies its platform services (the store among them), the message board and its version.

#include "platform/services.h"

#include <QString>

class TMessageBoardForm;

class TRegistryServices
{
public:
    virtual ~TRegistryServices() = default;

    virtual const rimo::PlatformServices& platform() const = 0;
    virtual void ShowMsg(const QString& St) = 0;

    // Value Item of subkey Section of Key below the current user (an empty Section: Key itself).
    // Key is created when missing; DefValue when the section is missing, or when it is not empty
    // and the value is missing. A value that is not text raises rimo::Error naming it.
    QString ReadRegistery(const QString& Key, const QString& Section, const QString& Item,
                          const QString& DefValue);
    // Writes Item in Key itself (created when missing); raises rimo::Error when the user's hive
    // takes no writes.
    void WriteRegistery(const QString& Key, const QString& Item, const QString& Value);
    // Deletes Key with everything below it. A blank Key (or a lone backslash) names the whole
    // user hive: that raises rimo::Error and nothing is deleted.
    void ClearRegistery(const QString& Key);

    QString DeskTopPath();
    // The startup folder followed by "/", the separator of this platform ("/" alone when unknown).
    QString StartupPath();

    // The machine's startup list on the message board (nothing when it cannot be opened for
    // writing).
    void ShowStartupProgram();
    // Whether a startup value holds exactly the trimmed NameAndPath in double quotes.
    bool IsThisProgramInStartUp(const QString& NameAndPath);
    // Sets the startup value named by the trimmed ProgTitle to the quoted trimmed path.
    void AddToStartupProgram(const QString& ProgTitle, const QString& ProgNameAndPath);

    // The open command of the type registered for Ext (with its dot); empty when there is none.
    QString GetFileAssociate(const QString& Ext);
    // Registers Ext as FileType opened, edited and added to the list by this program: below
    // version 510 only a message; at 510 in the classes root, failures raised; above it in the
    // user's classes, a failure ending the registration quietly.
    void SetFileAssociate(const QString& Ext, const QString& FileType);

protected:
    virtual TMessageBoardForm& registryBoard() = 0;
    virtual int registryWinVer() const = 0;

private:
    // The store, with the user's desktop and autostart folders written to "Shell Folders".
    rimo::RegistryStore& store();
};

namespace rimo {

// The path of a key below another ("a\b" + "c" = "a\b\c"; an empty subkey is the key itself).
QString subkeyPath(const QString& key, const QString& subkey);

// One write of a file association: the key below the classes root and its default value (none:
// the key is only created).
struct AssociationStep
{
    QString key;
    std::optional<QString> value;
};
// The writes in order for a version number of 510 or more; `exe` is the program's path.
QList<AssociationStep> associationSteps(const QString& ext, const QString& fileType, const QString& exe,
                                        int winVer);

} // namespace rimo
