#pragma once
// The registry services on their own: a TRegistryServices on a store in temporary folders (or a
// store a test gives), a message board, a version number a test sets and its messages recorded.

#include "board/messageboardform.h"
#include "platform/linuxregistry.h"
#include "platform/linuxservices.h"
#include "platform/testing/doubles.h"
#include "toolkit/registry/registryservices.h"

#include <QTemporaryDir>
#include <memory>

namespace rimo::testing {

class RegistryHarness : public TRegistryServices
{
public:
    explicit RegistryHarness(std::shared_ptr<RegistryStore> store = {})
    {
        folders = {dir.filePath(QStringLiteral("user")), dir.filePath(QStringLiteral("machine")),
                   dir.filePath(QStringLiteral("autostart"))};
        real = std::make_shared<LinuxRegistry>(folders);
        PlatformServices s;
        s.registry = store ? store : real;
        s.shellNotifier = notifier;
        m_services = withLinuxDefaults(std::move(s));
    }

    const PlatformServices& platform() const override { return m_services; }
    void ShowMsg(const QString& St) override { messages.append(St); }

    // A value of the store as written, or std::nullopt when the key or value is missing.
    std::optional<QString> stored(RegistryRoot root, const QString& key, const QString& name = {})
    {
        const auto k = real->open(root, key, RegistryAccess::Read, false);
        return k ? k->readText(name) : std::nullopt;
    }

    QTemporaryDir dir;
    LinuxRegistryFolders folders;
    std::shared_ptr<LinuxRegistry> real;
    std::shared_ptr<fakes::RecordingShellNotifier> notifier =
        std::make_shared<fakes::RecordingShellNotifier>();
    TMessageBoardForm board{nullptr};
    int winVer = 0;
    QStringList messages;
    PlatformServices m_services;

protected:
    TMessageBoardForm& registryBoard() override { return board; }
    int registryWinVer() const override { return winVer; }
};

} // namespace rimo::testing
