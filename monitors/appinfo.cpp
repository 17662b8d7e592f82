#include "monitors/appinfo.h"

#include "core/error.h"
#include "platform/guard.h"

#include <QTimer>
#include <climits>

TWindowItem::TWindowItem(std::shared_ptr<rimo::WindowSource> windows,
                         std::shared_ptr<rimo::ProcessSource> processes, const rimo::WindowEntry& entry)
    : m_windows(std::move(windows)), m_processes(std::move(processes)), FCaption(entry.caption),
      FHandle(entry.handle), FProcessID(entry.processID), FWindowClass(entry.windowClass)
{
}

QString TWindowItem::AppPath()
{
    if (FAppPath.isEmpty()) {
        try {
            FAppPath = m_processes->fullPath(FProcessID).trimmed();
        } catch (const rimo::Error&) {
            // An inaccessible or vanished process: empty now, tried again at the next read.
        }
    }
    return FAppPath;
}

bool TWindowItem::CloseWindow()
{
    return m_windows->postClose(FHandle);
}

TAppWindowCollection::TAppWindowCollection(std::shared_ptr<rimo::WindowSource> windows,
                                           std::shared_ptr<rimo::ProcessSource> processes)
    : m_windows(std::move(windows)), m_processes(std::move(processes))
{
}

void TAppWindowCollection::UpdateWindows()
{
    std::vector<std::unique_ptr<TWindowItem>> items;
    for (const rimo::WindowEntry& e : m_windows->windows())
        items.push_back(std::make_unique<TWindowItem>(m_windows, m_processes, e));
    replaceItems(std::move(items));
}

TWindowItem* TAppWindowCollection::FindByProcessID(quint32 ID) const
{
    return findFirst([&](const TWindowItem& w) { return w.ProcessID() == ID; });
}

TWindowItem* TAppWindowCollection::FindByCaption(const QString& ACaption) const
{
    return findFirst(
        [&](const TWindowItem& w) { return w.Caption().compare(ACaption, Qt::CaseInsensitive) == 0; });
}

TWindowItem* TAppWindowCollection::FindByHandle(quint32 AHandle) const
{
    return findFirst([&](const TWindowItem& w) { return w.Handle() == AHandle; });
}

TAppInfo::TAppInfo(std::shared_ptr<rimo::WindowSource> windows,
                   std::shared_ptr<rimo::ProcessSource> processes, QObject* AOwner)
    : QObject(AOwner), FRunningApps(std::move(windows), std::move(processes)), FTimer(new QTimer(this))
{
    FTimer->setInterval(1000);
    QObject::connect(FTimer, &QTimer::timeout, this, rimo::guarded([this] { UpdateList(); }));
}

TAppInfo::~TAppInfo() = default;

bool TAppInfo::Active() const
{
    return FTimer->isActive();
}

void TAppInfo::setActive(bool value)
{
    if (value)
        FTimer->start();
    else
        FTimer->stop();
    if (value)
        UpdateList();
}

quint32 TAppInfo::UpdateInterval() const
{
    return static_cast<quint32>(FTimer->interval());
}

void TAppInfo::setUpdateInterval(quint32 value)
{
    const int interval = static_cast<int>(std::min<quint32>(value, INT_MAX));
    if (interval != FTimer->interval())
        FTimer->setInterval(interval);
}

void TAppInfo::UpdateList()
{
    bool cancel = false;
    if (OnBeforeUpdateList)
        OnBeforeUpdateList(this, cancel);
    if (cancel)
        return;
    FRunningApps.UpdateWindows();
    if (OnAfterUpdateList)
        OnAfterUpdateList(this);
}
