#include "ui/msg_hook.h"

#include <algorithm>

namespace Brivox {

IMsgHooker::~IMsgHooker()
{
    for (;;) {
        std::shared_ptr<Detail::MsgHookList> list;
        {
            std::lock_guard<std::mutex> lock(m_listsLock);
            if (m_lists.empty())
                break;
            list = std::move(m_lists.front());
            m_lists.erase(m_lists.begin());
        }
        // The list may go with this reference, after Remove has let go of its lock.
        list->Remove(this);
    }
}

namespace Detail {

std::shared_ptr<MsgHookList> MsgHookList::Create()
{
    return std::make_shared<MsgHookList>(CreateToken{});
}

void MsgHookList::Add(IMsgHooker* hooker)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    m_entries.push_back({hooker, true});
    std::lock_guard<std::mutex> listsLock(hooker->m_listsLock);
    hooker->m_lists.insert(hooker->m_lists.begin(), shared_from_this());
}

void MsgHookList::Remove(IMsgHooker* hooker)
{
    // Declared before the lock, so that a list that loses its last reference here goes only after
    // the lock has been released.
    const std::shared_ptr<MsgHookList> self = shared_from_this();
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    for (Entry& entry : m_entries) {
        if (entry.hooker == hooker && entry.live) {
            entry.live = false;
            m_purgePending = true;
            break;
        }
    }
    {
        std::lock_guard<std::mutex> listsLock(hooker->m_listsLock);
        auto& lists = hooker->m_lists;
        auto at =
            std::find_if(lists.begin(), lists.end(), [this](const auto& list) { return list.get() == this; });
        if (at != lists.end())
            lists.erase(at);
    }
    Purge();
}

void MsgHookList::Purge()
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    // A running dispatch only marks entries; the outermost one purges when it ends.
    if (!m_purgePending || m_depth > 0)
        return;
    std::erase_if(m_entries, [](const Entry& entry) { return !entry.live; });
    m_purgePending = false;
}

bool MsgHookList::Dispatch(SMessage& message)
{
    const std::shared_ptr<MsgHookList> self = shared_from_this();
    std::unique_lock<std::recursive_mutex> lock(m_lock);
    message.list = this;
    ++m_depth;
    // Hookers that join during this message are called from the next one on.
    const std::size_t count = m_entries.size();
    bool handled = false;
    try {
        for (std::size_t i = 0; i < count; ++i) {
            // Read afresh each time: a hooker may have added (moving the entries) or removed one.
            if (m_entries[i].live && m_entries[i].hooker->HookMessage(message))
                handled = true;
        }
    } catch (...) {
        --m_depth;
        message.list = nullptr;
        throw;
    }
    --m_depth;
    message.list = nullptr;
    Purge();
    return handled;
}

} // namespace Detail

} // namespace Brivox
