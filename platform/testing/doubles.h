#pragma once
// Test doubles for the platform seams: they record what was asked and answer from a script.

#include "platform/dialogs.h"
#include "platform/services.h"

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
    // dialogs return an empty name and exec returns 0 (rejected).
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
    QDateTime now() const override { return moment; }
};

class RecordingTone : public TonePlayer
{
public:
    QList<QPair<int, int>> tones; // frequency, duration
    int silences = 0;
    void tone(int frequencyHz, int durationMs) override { tones.append({frequencyHz, durationMs}); }
    void silence() override { ++silences; }
};

} // namespace rimo::fakes
