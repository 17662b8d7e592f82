#pragma once
// Test doubles for the platform seams: they record what was asked and answer from a script.

#include "platform/dialogs.h"
#include "platform/services.h"
#include "platform/trayicon.h"

#include <QImage>
#include <QList>
#include <QStringList>
#include <deque>
#include <functional>

namespace rimo::fakes {

class FakeDialogs : public Dialogs
{
public:
    struct Shown
    {
        MessageBoxRequest request;
    };

    // Scripted answers; when empty, message boxes return their default button, file
    // dialogs return an empty name and exec returns 0 (rejected). A message answer of Closed
    // closes the box as Qt would: its escape button, or -1 when it is closableWithoutButton; a
    // box that cannot be closed counts in refusedCloses and answers its default button.
    static constexpr int Closed = -1;
    int refusedCloses = 0;
    std::deque<int> messageAnswers;
    std::deque<QString> fileAnswers;
    std::deque<std::function<int(QDialog&)>> execAnswers;
    std::deque<QString> directoryAnswers; // empty: cancelled

    QList<MessageBoxRequest> messages;
    QList<FileDialogRequest> fileRequests;
    QList<DirectoryDialogRequest> directoryRequests;
    QStringList execTitles;

    int messageBox(const MessageBoxRequest& request) override;
    QString saveFileName(const FileDialogRequest& request) override;
    QString openFileName(const FileDialogRequest& request) override;
    QString existingDirectory(const DirectoryDialogRequest& request) override;
    int exec(QDialog& dialog) override;

    QStringList texts() const;
};

// Installs a FakeDialogs for the lifetime of the object.
class ScopedFakeDialogs : public FakeDialogs
{
public:
    ScopedFakeDialogs() { setDialogs(this); }
    ~ScopedFakeDialogs() override { setDialogs(nullptr); }
};

// Records balloon calls as "show:title|text|icon|ms" and "hide".
class RecordingTrayIcon : public TrayIcon
{
public:
    QStringList calls;
    void showBalloon(const QString& title, const QString& text, BalloonIcon icon, int timeoutMs) override
    {
        calls
            << QStringLiteral("show:%1|%2|%3|%4").arg(title, text).arg(static_cast<int>(icon)).arg(timeoutMs);
    }
    void hideBalloon() override { calls << QStringLiteral("hide"); }
};

class RecordingKeyboard : public KeyboardLayouts
{
public:
    // "load:00000429", "unload:00000429" in the order of the calls
    QStringList calls;
    bool failLoads = false;
    quintptr loadAndActivate(const QString& layoutId) override;
    void unload(quintptr handle) override;

private:
    QList<QPair<quintptr, QString>> m_loaded;
    quintptr m_next = 1;
};

class FakeOsVersion : public OsVersionSource
{
public:
    std::optional<OsVersionFacts> facts;
    int queries = 0;
    std::optional<OsVersionFacts> query() override
    {
        ++queries;
        return facts;
    }
};

class RecordingBeeper : public Beeper
{
public:
    int beeps = 0;
    void defaultBeep() override { ++beeps; }
};

// Records every start; runAndWait and startDetached answer `starts` (true unless set).
class RecordingLauncher : public ProcessLauncher
{
public:
    struct Start
    {
        QString program;
        QStringList arguments;
        QString workingFolder;
        bool waited = false;
    };
    QList<Start> starts;
    bool startsSucceed = true;
    bool runAndWait(const QString& program, const QStringList& arguments,
                    const QString& workingFolder) override
    {
        starts.append({program, arguments, workingFolder, true});
        return startsSucceed;
    }
    bool startDetached(const QString& program, const QStringList& arguments,
                       const QString& workingFolder) override
    {
        starts.append({program, arguments, workingFolder, false});
        return startsSucceed;
    }
};

// A resolver answering from its fields: no hostName means the name cannot be read (`failure`).
class FakeHostResolver : public HostResolver
{
public:
    std::optional<QString> hostName = QStringLiteral("herd-pc");
    NameFailure failure = NameFailure::Other;
    QStringList addresses = {QStringLiteral("192.168.1.5")};
    QString error = QStringLiteral("Name or service not known");
    QStringList lookedUp;
    std::optional<QString> localHostName(NameFailure* why) override
    {
        if (!hostName && why)
            *why = failure;
        return hostName;
    }
    QStringList ipv4Addresses(const QString& name, QString* why) override
    {
        lookedUp << name;
        if (addresses.isEmpty() && why)
            *why = error;
        return addresses;
    }
};

class RecordingBackground : public DesktopBackground
{
public:
    QList<QImage> images;
    bool setImage(const QImage& image) override
    {
        images << image;
        return true;
    }
};

class RecordingShellOpener : public ShellOpener
{
public:
    QStringList opened;
    bool open(const QString& pathOrUrl) override
    {
        opened << pathOrUrl;
        return true;
    }
};

// A clock that stands still at `moment` until a test moves it.
class FixedClock : public Clock
{
public:
    QDateTime moment{QDate(2011, 1, 24), QTime(9, 0)};
    // The universal time, pinned apart from `moment` (by default 09:00 UTC that day).
    QDateTime utcMoment{QDate(2011, 1, 24), QTime(9, 0), Qt::UTC};
    QDateTime now() const override { return moment; }
    QDateTime utcNow() const override { return utcMoment; }
};

class RecordingTone : public TonePlayer
{
public:
    QList<QPair<int, int>> tones; // frequency, duration
    int silences = 0;
    void tone(int frequencyHz, int durationMs) override { tones.append({frequencyHz, durationMs}); }
    void silence() override { ++silences; }
};

// A store that passes everything to `inner` until `failingOpen` opens have been asked for: that
// open and every later one fail (0: none fails).
class FailingRegistry : public RegistryStore
{
public:
    explicit FailingRegistry(std::shared_ptr<RegistryStore> inner) : m_inner(std::move(inner)) {}
    int failingOpen = 0;
    int opens = 0;
    std::unique_ptr<RegistryKey> open(RegistryRoot root, const QString& path, RegistryAccess access,
                                      bool create) override
    {
        ++opens;
        if (failingOpen > 0 && opens >= failingOpen)
            return nullptr;
        return m_inner->open(root, path, access, create);
    }
    bool deleteTree(RegistryRoot root, const QString& path) override
    {
        return m_inner->deleteTree(root, path);
    }

private:
    std::shared_ptr<RegistryStore> m_inner;
};

class RecordingShellNotifier : public ShellNotifier
{
public:
    int notifications = 0;
    void associationsChanged() override { ++notifications; }
};

class FakeSystemFacts : public SystemFacts
{
public:
    std::optional<quint32> fileSystemId;
    QStringList languages;
    std::optional<MemoryFacts> memoryFacts;
    quint64 addressSpace = 0;
    std::optional<QList<ZoneFacts>> zoneList;
    std::optional<quint32> rootFileSystemId() override { return fileSystemId; }
    QStringList keyboardLanguages() override { return languages; }
    std::optional<MemoryFacts> memory() override { return memoryFacts; }
    quint64 addressSpaceBytes() override { return addressSpace; }
    std::optional<QList<ZoneFacts>> zones() override { return zoneList; }
};

} // namespace rimo::fakes
