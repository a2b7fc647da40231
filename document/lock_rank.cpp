#include "document/lock_rank.h"

#ifdef KANORU_LOCK_CHECKS

#include <cstdio>
#include <cstdlib>

namespace Brivox::LockOrder {

namespace {

struct SHold
{
    const void* lock;
    LockRank rank;
};

// The locks the thread holds, in the order taken. The document nests four ranks at most, and a
// recursive lock a few times more: a fixed room keeps the checker from allocating under locks.
struct SThreadRecord
{
    static constexpr int room = 32;
    SHold holds[room];
    int count = 0;
};

thread_local SThreadRecord record;

[[noreturn]] void Fail(const char* message, const char* operation)
{
    std::fprintf(stderr, "lock order violated: %s%s%s\n", message, operation ? " in " : "",
                 operation ? operation : "");
    std::fflush(stderr);
    std::abort();
}

bool HoldsFrom(LockRank rank)
{
    for (int i = 0; i < record.count; ++i) {
        if (record.holds[i].rank >= rank)
            return true;
    }
    return false;
}

bool Holds(const void* lock)
{
    for (int i = 0; i < record.count; ++i) {
        if (record.holds[i].lock == lock)
            return true;
    }
    return false;
}

} // namespace

void Acquiring(const void* lock, LockRank rank, bool recursive)
{
    if (!(recursive && Holds(lock)) && HoldsFrom(rank)) {
        char message[80];
        std::snprintf(message, sizeof message,
                      "a lock of rank %d taken while one of that rank or above is held",
                      static_cast<int>(rank));
        Fail(message, nullptr);
    }
    if (record.count == SThreadRecord::room)
        Fail("too many locks held at once", nullptr);
    record.holds[record.count++] = SHold{lock, rank};
}

void Released(const void* lock)
{
    for (int i = record.count - 1; i >= 0; --i) {
        if (record.holds[i].lock == lock) {
            for (int j = i + 1; j < record.count; ++j)
                record.holds[j - 1] = record.holds[j];
            --record.count;
            return;
        }
    }
    Fail("a lock released that this thread does not hold", nullptr);
}

void RequireNoneFrom(LockRank rank, const char* operation)
{
    if (HoldsFrom(rank)) {
        char message[64];
        std::snprintf(message, sizeof message, "called while a lock of rank %d or above is held",
                      static_cast<int>(rank));
        Fail(message, operation);
    }
}

void RequireNone(const char* operation)
{
    if (record.count > 0)
        Fail("called while a lock is held", operation);
}

bool HoldsAny()
{
    return record.count > 0;
}

void Require(bool condition, const char* message)
{
    if (!condition)
        Fail(message, nullptr);
}

} // namespace Brivox::LockOrder

#endif
