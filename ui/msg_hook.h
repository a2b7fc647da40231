#pragma once
// The chain of hookers that receives a window's messages in place of one window procedure: the
// window object itself first, then the class that owns the window, then whatever else watches it.

#include "foundation/win32.h"

#include <memory>
#include <mutex>
#include <vector>

namespace Brivox {

namespace Detail {
class MsgHookList;
}

// One message on its way through a hook list.
struct SMessage
{
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    // Preset by the window procedure (0, or 1 for dialogs); a hooker that handles the message may
    // set it.
    LRESULT result;
    // The list being dispatched, only while the dispatch runs.
    Detail::MsgHookList* list;
};

// Anything that watches a window's messages. A hooker may join several lists and leaves all of
// them when it is destroyed, also from inside its own HookMessage.
class IMsgHooker
{
public:
    IMsgHooker() = default;
    IMsgHooker(const IMsgHooker&) = delete;
    IMsgHooker& operator=(const IMsgHooker&) = delete;
    virtual ~IMsgHooker();

    // True when the hooker handled the message; the later hookers see it all the same.
    virtual bool HookMessage(SMessage& message) = 0;

private:
    friend class Detail::MsgHookList;

    // The lists joined, newest first. Each reference keeps its list alive while this hooker is in
    // it.
    std::vector<std::shared_ptr<Detail::MsgHookList>> m_lists;
    std::mutex m_listsLock;
};

namespace Detail {

// The hookers of one window in joining order. The list lives while any hooker is in it (and while
// it dispatches): it goes with the last hooker that leaves.
class MsgHookList : public std::enable_shared_from_this<MsgHookList>
{
public:
    // A new list; it lasts beyond the returned reference only once a hooker has joined.
    static std::shared_ptr<MsgHookList> Create();

    // Only through Create, which make_shared needs a public constructor for.
    struct CreateToken
    {
    };
    explicit MsgHookList(CreateToken) {}

    MsgHookList(const MsgHookList&) = delete;
    MsgHookList& operator=(const MsgHookList&) = delete;

    // Appends the hooker; from the next dispatch on it is called.
    void Add(IMsgHooker* hooker);
    // The hooker is called no more, also for the message being dispatched; takes the list's lock,
    // so a dispatch on another thread ends first.
    void Remove(IMsgHooker* hooker);
    // Calls every live hooker in joining order, holding the list's lock throughout; true when one
    // of them answered true. A hooker's exception passes on.
    bool Dispatch(SMessage& message);

private:
    struct Entry
    {
        IMsgHooker* hooker;
        bool live;
    };

    // Erases the entries of hookers that left, when no dispatch runs.
    void Purge();

    std::vector<Entry> m_entries;
    bool m_purgePending = false;
    int m_depth = 0;
    // Recursive: a hooker may make its own window dispatch again (by sending it a message).
    std::recursive_mutex m_lock;
};

} // namespace Detail

} // namespace Brivox
