#include "toolkit/registry/registryservices.h"

#include "board/messageboardform.h"
#include "core/error.h"
#include "toolkit/registry/texts.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <algorithm>

namespace texts = rimo::registrytexts;
using rimo::RegistryAccess;
using rimo::RegistryRoot;

namespace rimo {

QString subkeyPath(const QString& key, const QString& subkey)
{
    if (subkey.isEmpty())
        return key;
    return key + u'\\' + subkey;
}

QList<AssociationStep> associationSteps(const QString& ext, const QString& fileType, const QString& exe,
                                        int winVer)
{
    const bool xp = winVer == 510;
    const QString quotedExe = u'"' + exe + u'"';
    QList<AssociationStep> steps = {
        {ext, fileType},
        {fileType, texts::TypeCaption},
        {fileType + QStringLiteral("\\DefaultIcon"), exe + QStringLiteral(",0")},
        {fileType + QStringLiteral("\\Shell\\execute"), texts::ExecuteCaption},
        {fileType + QStringLiteral("\\Shell\\execute\\Command"), std::nullopt},
        {fileType + QStringLiteral("\\Shell\\execute\\command"), quotedExe + QStringLiteral(" \"%1\"")},
        {fileType + QStringLiteral("\\Shell\\ZOpen"), texts::EditCaption},
        {fileType + QStringLiteral("\\Shell\\ZOpen\\command"), quotedExe + QStringLiteral("/o \"%1\"")},
        {fileType + QStringLiteral("\\Shell\\ZZInsert"), texts::InsertCaption},
    };
    if (!xp)
        steps.append({fileType + QStringLiteral("\\Shell\\ZZInsert\\Command"), std::nullopt});
    steps.append({fileType + QStringLiteral("\\Shell\\ZZInsert\\command"),
                  quotedExe + (xp ? QStringLiteral("/A \"%1\"") : QStringLiteral("/a \"%1\""))});
    return steps;
}

} // namespace rimo

rimo::RegistryStore& TRegistryServices::store()
{
    rimo::RegistryStore& s = *platform().registry;
    // Where the user's folders are now, for callers that look them up in the registry. A hive
    // that takes no writes keeps what it had.
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    const QString autostart = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                              QStringLiteral("/autostart");
    if (auto key =
            s.open(RegistryRoot::CurrentUser, rimo::subkeyPath(texts::ExplorerKey, texts::ShellFolders),
                   RegistryAccess::Full, true)) {
        try {
            key->writeText(QStringLiteral("Desktop"), desktop);
            key->writeText(QStringLiteral("Startup"), autostart);
        } catch (const rimo::Error&) {
        }
    }
    return s;
}

QString TRegistryServices::ReadRegistery(const QString& Key, const QString& Section, const QString& Item,
                                         const QString& DefValue)
{
    rimo::RegistryStore& s = store();
    // Reading makes the key, as opening it for full access does.
    s.open(RegistryRoot::CurrentUser, Key, RegistryAccess::Full, true);
    const auto section =
        s.open(RegistryRoot::CurrentUser, rimo::subkeyPath(Key, Section), RegistryAccess::Read, false);
    if (!section)
        return DefValue;
    const std::optional<QString> text = section->readText(Item);
    if (DefValue.isEmpty())
        return text.value_or(QString());
    return text.value_or(DefValue);
}

void TRegistryServices::WriteRegistery(const QString& Key, const QString& Item, const QString& Value)
{
    const auto key = store().open(RegistryRoot::CurrentUser, Key, RegistryAccess::Full, true);
    // Without the key the value would land nowhere: say so rather than return as if written.
    if (!key)
        throw rimo::Error(QStringLiteral("Failed to set data for '%1'").arg(Item));
    key->writeText(Item, Value);
}

void TRegistryServices::ClearRegistery(const QString& Key)
{
    // Opening a blank key opens the hive's root, and deleting that would take every setting of
    // every program of the user.
    if (rimo::registryPathNames(Key).isEmpty())
        throw rimo::Error(
            QStringLiteral("ClearRegistery: a blank key names the whole user registry; nothing was deleted"));
    rimo::RegistryStore& s = store();
    s.open(RegistryRoot::CurrentUser, Key, RegistryAccess::Full, true);
    s.deleteTree(RegistryRoot::CurrentUser, Key);
}

QString TRegistryServices::DeskTopPath()
{
    return ReadRegistery(texts::ExplorerKey, texts::ShellFolders, QStringLiteral("Desktop"), {});
}

QString TRegistryServices::StartupPath()
{
    return ReadRegistery(texts::ExplorerKey, texts::ShellFolders, QStringLiteral("Startup"), {}) + u'/';
}

void TRegistryServices::ShowStartupProgram()
{
    const auto run = store().open(RegistryRoot::LocalMachine, texts::RunKey, RegistryAccess::Full, false);
    if (!run)
        return;
    const QStringList names = run->valueNames();
    TMessageBoardForm& board = registryBoard();
    board.StartRecording(false, texts::StartupListTitle);
    for (const QString& name : names)
        board.PostThisMessage(name, run->readText(name).value_or(QString()));
    board.StopRecording();
}

bool TRegistryServices::IsThisProgramInStartUp(const QString& NameAndPath)
{
    const auto run = store().open(RegistryRoot::LocalMachine, texts::RunKey, RegistryAccess::Full, false);
    if (!run)
        return false;
    const QString wanted = u'"' + NameAndPath.trimmed() + u'"';
    const QStringList names = run->valueNames();
    return std::any_of(names.begin(), names.end(),
                       [&](const QString& name) { return run->readText(name) == wanted; });
}

void TRegistryServices::AddToStartupProgram(const QString& ProgTitle, const QString& ProgNameAndPath)
{
    const auto run = store().open(RegistryRoot::LocalMachine, texts::RunKey, RegistryAccess::Full, false);
    if (!run)
        return;
    run->writeText(ProgTitle.trimmed(), u'"' + ProgNameAndPath.trimmed() + u'"');
}

QString TRegistryServices::GetFileAssociate(const QString& Ext)
{
    rimo::RegistryStore& s = store();
    try {
        QString type;
        if (const auto ext = s.open(RegistryRoot::ClassesRoot, Ext, RegistryAccess::Read, false))
            type = ext->readText({}).value_or(QString());
        if (type.isEmpty())
            return {};
        const auto command =
            s.open(RegistryRoot::ClassesRoot, type + QStringLiteral("\\Shell\\Open\\Command"),
                   RegistryAccess::Read, false);
        return command ? command->readText({}).value_or(QString()) : QString();
    } catch (const rimo::Error&) {
        return {}; // a value of another type is no command either
    }
}

void TRegistryServices::SetFileAssociate(const QString& Ext, const QString& FileType)
{
    const int winVer = registryWinVer();
    if (winVer < 510) {
        ShowMsg(texts::NoAssociation);
        return;
    }
    const bool xp = winVer == 510;
    const RegistryRoot root = xp ? RegistryRoot::ClassesRoot : RegistryRoot::CurrentUser;
    const QString prefix = xp ? QString() : QStringLiteral("software\\classes\\");
    const RegistryAccess access = xp ? RegistryAccess::Full : RegistryAccess::Write;
    rimo::RegistryStore& s = store();
    const QList<rimo::AssociationStep> steps =
        rimo::associationSteps(Ext, FileType, QCoreApplication::applicationFilePath(), winVer);
    try {
        for (qsizetype i = 0; i < steps.size(); ++i) {
            const auto key = s.open(root, prefix + steps[i].key, access, true);
            if (!key) {
                // The extension's own key is written only when it opens; a later key that does
                // not open is a failure.
                if (i == 0)
                    continue;
                throw rimo::Error(QStringLiteral("Failed to create key %1").arg(prefix + steps[i].key));
            }
            if (steps[i].value)
                key->writeText({}, *steps[i].value);
        }
    } catch (const rimo::Error&) {
        if (xp)
            throw;
        return; // later versions end quietly at the failing step, without the notification
    }
    platform().shellNotifier->associationsChanged();
}
