// SQL Server's application locks (sp_getapplock, sp_releaseapplock, APPLOCK_MODE, APPLOCK_TEST), shared by
// every session of the server. A lock is named by its database, database principal and resource (compared
// byte for byte); it is held by a session or by a session's transaction, in the modes IntentShared,
// Shared, Update, IntentExclusive and Exclusive, and counted: each grant needs its own release. An owner
// asking again in another mode holds the union of its modes until its last release.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>

namespace rimo::tds {

class AppLocks
{
public:
    // Lock modes as bits, so that an owner's modes can be united.
    enum Mode : uint8_t { IntentShared = 1, Shared = 2, Update = 4, IntentExclusive = 8, Exclusive = 16 };

    struct Key
    {
        std::string database; // lowercased
        std::string principal;
        std::string resource;
        bool operator<(const Key& o) const
        {
            return std::tie(database, principal, resource) < std::tie(o.database, o.principal, o.resource);
        }
    };

    struct Owner
    {
        uint64_t session = 0;
        bool transaction = false;
        bool operator<(const Owner& o) const
        {
            return std::tie(session, transaction) < std::tie(o.session, o.transaction);
        }
    };

    // sp_getapplock's return values.
    enum class Outcome { Granted = 0, GrantedAfterWaiting = 1, TimedOut = -1, Cancelled = -2, Deadlock = -3 };

    // Grants `mode` to `owner`, waiting up to `timeoutMs` milliseconds (-1: without end) while other
    // sessions hold modes it conflicts with. While it waits, `cancelled` is asked every 50 ms; a wait that
    // would close a circle of sessions waiting on each other ends at once as the deadlock's victim.
    Outcome acquire(const Key& key, Owner owner, uint8_t mode, int64_t timeoutMs,
                    const std::function<bool()>& cancelled);
    // Gives back one grant; false when the owner holds no lock on the key.
    bool release(const Key& key, Owner owner);
    // Gives back every lock of a session, or only those of its transaction.
    void releaseAll(uint64_t session, bool transactionOnly);
    // The modes the owner holds on the key (0 for none).
    uint8_t held(const Key& key, Owner owner);
    // Whether `mode` could be granted to the owner now.
    bool grantable(const Key& key, Owner owner, uint8_t mode);

    // The mode a name stands for (case-insensitive, trailing blanks ignored), as sp_getapplock reads it.
    static std::optional<uint8_t> parseMode(std::string_view name);
    // APPLOCK_MODE's name for held modes: NoLock, Shared, SharedIntentExclusive, ...
    static const char* modeName(uint8_t modes);

private:
    struct Holding
    {
        uint8_t modes = 0;
        int count = 0;
    };
    using Holders = std::map<Owner, Holding>;

    // Whether another session holds a mode `mode` cannot be granted beside.
    static bool conflicts(const Holders& holders, uint64_t session, uint8_t mode);
    // Whether `session` waiting for `mode` on `key` would wait, through other waiting sessions, for itself.
    bool closesCircle(uint64_t session, const Key& key, uint8_t mode) const;

    std::mutex m_mutex;
    std::condition_variable m_released;
    std::map<Key, Holders> m_locks;
    struct Wait
    {
        Key key;
        uint8_t mode;
    };
    std::map<uint64_t, Wait> m_waiting; // by session
};

} // namespace rimo::tds
