#include "tools/tds-server/applocks.h"

#include <chrono>
#include <set>
#include <vector>

namespace rimo::tds {

namespace {

// The modes already granted that a requested mode can be granted beside (SQL Server's lock compatibility).
uint8_t compatibleWith(uint8_t requested)
{
    switch (requested) {
    case AppLocks::IntentShared:
        return AppLocks::IntentShared | AppLocks::Shared | AppLocks::Update | AppLocks::IntentExclusive;
    case AppLocks::Shared:
        return AppLocks::IntentShared | AppLocks::Shared | AppLocks::Update;
    case AppLocks::Update:
        return AppLocks::IntentShared | AppLocks::Shared;
    case AppLocks::IntentExclusive:
        return AppLocks::IntentShared | AppLocks::IntentExclusive;
    default:
        return 0;
    }
}

} // namespace

bool AppLocks::conflicts(const Holders& holders, uint64_t session, uint8_t mode)
{
    // The owners of one session (its transaction and the session itself) do not wait for each other.
    const uint8_t allowed = compatibleWith(mode);
    for (const auto& [owner, holding] : holders)
        if (owner.session != session && (holding.modes & ~allowed) != 0)
            return true;
    return false;
}

bool AppLocks::closesCircle(uint64_t session, const Key& key, uint8_t mode) const
{
    // Follow who waits for whom from the sessions this request would wait for.
    std::vector<std::pair<Key, uint8_t>> pending{{key, mode}};
    std::vector<uint64_t> waiters{session};
    std::set<uint64_t> seen;
    while (!pending.empty()) {
        const auto [k, m] = pending.back();
        const uint64_t waiter = waiters.back();
        pending.pop_back();
        waiters.pop_back();
        const auto it = m_locks.find(k);
        if (it == m_locks.end())
            continue;
        const uint8_t allowed = compatibleWith(m);
        for (const auto& [owner, holding] : it->second) {
            if (owner.session == waiter || (holding.modes & ~allowed) == 0)
                continue;
            if (owner.session == session)
                return true;
            if (!seen.insert(owner.session).second)
                continue;
            const auto w = m_waiting.find(owner.session);
            if (w != m_waiting.end()) {
                pending.emplace_back(w->second.key, w->second.mode);
                waiters.push_back(owner.session);
            }
        }
    }
    return false;
}

AppLocks::Outcome AppLocks::acquire(const Key& key, Owner owner, uint8_t mode, int64_t timeoutMs,
                                    const std::function<bool()>& cancelled)
{
    using Clock = std::chrono::steady_clock;
    const auto until = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    std::unique_lock lock(m_mutex);
    bool waited = false;
    for (;;) {
        auto& holders = m_locks[key];
        if (!conflicts(holders, owner.session, mode)) {
            Holding& h = holders[owner];
            h.modes |= mode;
            ++h.count;
            m_waiting.erase(owner.session);
            return waited ? Outcome::GrantedAfterWaiting : Outcome::Granted;
        }
        if (holders.empty())
            m_locks.erase(key);
        if (timeoutMs == 0 || (timeoutMs > 0 && Clock::now() >= until)) {
            m_waiting.erase(owner.session);
            return Outcome::TimedOut;
        }
        if (closesCircle(owner.session, key, mode)) {
            m_waiting.erase(owner.session);
            return Outcome::Deadlock;
        }
        m_waiting[owner.session] = Wait{key, mode};
        waited = true;
        // The lock is let go while the session's client is asked whether it cancelled.
        m_released.wait_for(lock, std::chrono::milliseconds(50));
        lock.unlock();
        const bool stop = cancelled && cancelled();
        lock.lock();
        if (stop) {
            m_waiting.erase(owner.session);
            return Outcome::Cancelled;
        }
    }
}

bool AppLocks::release(const Key& key, Owner owner)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_locks.find(key);
    if (it == m_locks.end())
        return false;
    const auto h = it->second.find(owner);
    if (h == it->second.end())
        return false;
    if (--h->second.count == 0) {
        it->second.erase(h);
        if (it->second.empty())
            m_locks.erase(it);
        m_released.notify_all();
    }
    return true;
}

void AppLocks::releaseAll(uint64_t session, bool transactionOnly)
{
    std::lock_guard lock(m_mutex);
    bool any = false;
    for (auto it = m_locks.begin(); it != m_locks.end();) {
        for (auto h = it->second.begin(); h != it->second.end();) {
            if (h->first.session == session && (h->first.transaction || !transactionOnly)) {
                h = it->second.erase(h);
                any = true;
            } else {
                ++h;
            }
        }
        it = it->second.empty() ? m_locks.erase(it) : std::next(it);
    }
    if (!transactionOnly)
        m_waiting.erase(session);
    if (any)
        m_released.notify_all();
}

uint8_t AppLocks::held(const Key& key, Owner owner)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_locks.find(key);
    if (it == m_locks.end())
        return 0;
    const auto h = it->second.find(owner);
    return h == it->second.end() ? 0 : h->second.modes;
}

bool AppLocks::grantable(const Key& key, Owner owner, uint8_t mode)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_locks.find(key);
    return it == m_locks.end() || !conflicts(it->second, owner.session, mode);
}

std::optional<uint8_t> AppLocks::parseMode(std::string_view name)
{
    while (!name.empty() && name.back() == ' ')
        name.remove_suffix(1);
    auto is = [&](std::string_view word) {
        if (name.size() != word.size())
            return false;
        for (size_t i = 0; i < word.size(); ++i) {
            char c = name[i];
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c + 32);
            char w = word[i];
            if (w >= 'A' && w <= 'Z')
                w = static_cast<char>(w + 32);
            if (c != w)
                return false;
        }
        return true;
    };
    if (is("Shared"))
        return Shared;
    if (is("Update"))
        return Update;
    if (is("IntentShared"))
        return IntentShared;
    if (is("IntentExclusive"))
        return IntentExclusive;
    if (is("Exclusive"))
        return Exclusive;
    return std::nullopt;
}

const char* AppLocks::modeName(uint8_t modes)
{
    if (modes & Exclusive)
        return "Exclusive";
    if ((modes & Shared) && (modes & IntentExclusive))
        return "SharedIntentExclusive";
    if ((modes & Update) && (modes & IntentExclusive))
        return "UpdateIntentExclusive";
    if (modes & Update)
        return "Update";
    if (modes & Shared)
        return "Shared";
    if (modes & IntentExclusive)
        return "IntentExclusive";
    if (modes & IntentShared)
        return "IntentShared";
    return "NoLock";
}

} // namespace rimo::tds
