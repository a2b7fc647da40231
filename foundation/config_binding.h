#pragma once

#include "foundation/string.h"

#include <functional>
#include <type_traits>

namespace Brivox {

class CConfig;

// Ties one settings key to a dialog control: the store, its typed setter and getter for the key,
// and the key. The store's makers choose the pair (and so the value type); a binding is made,
// used once and dropped.
template <typename Value> struct ConfigBinding
{
    using Setter = std::function<void(CConfig* config, const String& key, const Value& value)>;
    using Getter = std::function<Value(CConfig* config, const String& key)>;

    CConfig* config;
    Setter setter;
    Getter getter;
    String key;

    Value Get() const { return getter(config, key); }
    void Set(const Value& value) const { setter(config, key, value); }

    // The text that a binding of text delivers: raw or unescaped, as its maker chose. A missing
    // key makes the getter throw the store's exception, which passes through.
    String GetString() const requires std::is_same_v<Value, String> { return Get(); }
};

} // namespace Brivox
