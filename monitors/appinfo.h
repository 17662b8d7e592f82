#pragma once
// The window monitor: a list of the desktop's top-level application windows (those a task bar
// would show), refreshed by a timer. The windows come from a rimo::WindowSource (X11 on
// Linux), the executable paths from a rimo::ProcessSource.
//
// An item lives until the next refresh of the list: a refresh destroys every item of the old
// list. Do not keep item pointers across a refresh; keep the handle and look it up again.

#include "monitors/collection.h"
#include "platform/processsource.h"
#include "platform/windowsource.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QTimer;

class TWindowItem
{
public:
    TWindowItem(std::shared_ptr<rimo::WindowSource> windows, std::shared_ptr<rimo::ProcessSource> processes,
                const rimo::WindowEntry& entry);

    QString Caption() const { return FCaption; }
    // The owning process's executable, asked for at the first read and kept once found; empty
    // (and asked again next time) when it cannot be had.
    QString AppPath();
    quint32 Handle() const { return FHandle; }
    quint32 ProcessID() const { return FProcessID; }
    QString WindowClass() const { return FWindowClass; }
    // Asks the window's owner to close it and returns at once: true when the request went out.
    // A window that takes no close request is left alone.
    bool CloseWindow();

private:
    std::shared_ptr<rimo::WindowSource> m_windows;
    std::shared_ptr<rimo::ProcessSource> m_processes;
    QString FCaption;
    QString FAppPath;
    quint32 FHandle;
    quint32 FProcessID;
    QString FWindowClass;
};

class TAppWindowCollection : public TItemCollection<TWindowItem>
{
public:
    TAppWindowCollection(std::shared_ptr<rimo::WindowSource> windows,
                         std::shared_ptr<rimo::ProcessSource> processes);
    // Rebuilds the list, topmost window first. Never fails: without a window system it is empty.
    void UpdateWindows();
    TWindowItem* FindByProcessID(quint32 ID) const;
    // Compares without regard to letter case.
    TWindowItem* FindByCaption(const QString& ACaption) const;
    TWindowItem* FindByHandle(quint32 AHandle) const;
    TCollectionEnumerator<TAppWindowCollection> GetEnumerator() const { return TCollectionEnumerator(*this); }

private:
    std::shared_ptr<rimo::WindowSource> m_windows;
    std::shared_ptr<rimo::ProcessSource> m_processes;
};

using TWindowEnumerator = TCollectionEnumerator<TAppWindowCollection>;

class TAppInfo : public QObject
{
    Q_OBJECT
public:
    using TOnBeforeUpdateEvent = std::function<void(QObject* Sender, bool& Cancel)>;
    using TNotifyEvent = std::function<void(QObject* Sender)>;

    TAppInfo(std::shared_ptr<rimo::WindowSource> windows, std::shared_ptr<rimo::ProcessSource> processes,
             QObject* AOwner = nullptr);
    ~TAppInfo() override;

    bool Active() const;
    // Starts or stops the timer; switching on refreshes at once.
    void setActive(bool value);
    quint32 UpdateInterval() const;
    void setUpdateInterval(quint32 value);
    // The list as it is: never refreshed by reading, even when empty.
    TAppWindowCollection& RunningApps() { return FRunningApps; }

    TOnBeforeUpdateEvent OnBeforeUpdateList;
    TNotifyEvent OnAfterUpdateList;

    void UpdateList();
    QTimer* timer() const { return FTimer; }

private:
    TAppWindowCollection FRunningApps;
    QTimer* FTimer;
};
