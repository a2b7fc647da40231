#pragma once
// A format registry: the factories of one product interface (image loaders, archive readers) in
// the order in which they are tried. A rebuild makes a new list and swaps it in under a lock; a
// reader takes the list as it stands and keeps it, with its factories, for as long as it needs it,
// so a rebuild never changes a list that another thread is walking.

#include "foundation/config.h"
#include "foundation/object_pool.h"
#include "foundation/string.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <utility>
#include <vector>

namespace Brivox {

template <class T> struct SFactoryEntry
{
    int priority = 0;
    std::shared_ptr<IFactory<T>> factory;
};

template <class T> using FactoryList = std::vector<SFactoryEntry<T>>;

template <class T> class CFactoryRegistry
{
public:
    CFactoryRegistry() : entries_(std::make_shared<const FactoryList<T>>()) {}
    CFactoryRegistry(const CFactoryRegistry&) = delete;
    CFactoryRegistry& operator=(const CFactoryRegistry&) = delete;

    // The list as it stands now; later rebuilds do not change it.
    std::shared_ptr<const FactoryList<T>> Snapshot() const
    {
        std::lock_guard<std::mutex> lock(lock_);
        return entries_;
    }

    void Replace(FactoryList<T> entries)
    {
        auto fresh = std::make_shared<const FactoryList<T>>(std::move(entries));
        std::lock_guard<std::mutex> lock(lock_);
        entries_.swap(fresh);
        // The old list goes when its last reader lets go, outside the lock here.
    }

    void Clear() { Replace({}); }

private:
    mutable std::mutex lock_;
    std::shared_ptr<const FactoryList<T>> entries_;
};

// A new product from the factory of entry `index`.
template <class T> std::shared_ptr<T> CreateFromRegistry(const FactoryList<T>& registry, std::size_t index)
{
    return registry.at(index).factory->Create();
}

// The priority rule of both registries: the formats, given in registration order with their
// priorities, ordered by ascending priority (ties keep registration order); formats whose
// priority lies above the cut-off are left out, those equal to it stay.
template <class T> FactoryList<T> OrderByPriority(FactoryList<T> formats, int cutOff)
{
    std::stable_sort(
        formats.begin(), formats.end(),
        [](const SFactoryEntry<T>& a, const SFactoryEntry<T>& b) { return a.priority < b.priority; });
    formats.erase(std::find_if(formats.begin(), formats.end(),
                               [cutOff](const SFactoryEntry<T>& entry) { return entry.priority > cutOff; }),
                  formats.end());
    return formats;
}

// One registered format with the settings key of its priority.
template <class T> struct SPriorityKey
{
    String key;
    std::shared_ptr<IFactory<T>> factory;
};

// The registry's new list from the settings: each format's priority read from its key (formats in
// registration order), ordered against the cut-off read from its own key. A missing key throws the
// settings store's exception.
template <class T>
FactoryList<T> OrderFromSettings(const CConfig& config, const std::vector<SPriorityKey<T>>& formats,
                                 const String& cutOffKey)
{
    FactoryList<T> list;
    for (const SPriorityKey<T>& format : formats)
        list.push_back({config.GetInt(format.key), format.factory});
    return OrderByPriority(std::move(list), config.GetInt(cutOffKey));
}

} // namespace Brivox
