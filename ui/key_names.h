#pragma once
// The keys and mouse actions that can be bound to commands: their fixed indexes, the virtual-key
// codes that lead to them and the names under which key texts and the key-configuration file
// write them.

#include "foundation/string.h"

#include <map>
#include <vector>

namespace Brivox {

// A key index (0 to 95, -1 for no key) with modifier flags.
struct SHotKey
{
    enum : int
    {
        Ctrl = 1,
        Alt = 2,
        Shift = 4,
        Win = 8,
    };
    static constexpr int KeyCount = 96;
    // Indexes from here on are mouse actions, reached only from mouse messages.
    static constexpr int FirstMouseAction = 82;

    int key;
    int modifiers;

    friend bool operator==(const SHotKey& a, const SHotKey& b)
    {
        return a.key == b.key && a.modifiers == b.modifiers;
    }
    // By key index, then by modifier flags: the order of keys in every list.
    friend bool operator<(const SHotKey& a, const SHotKey& b)
    {
        return a.key != b.key ? a.key < b.key : a.modifiers < b.modifiers;
    }
};

// The one process-wide table, built on its first use (also when two threads make it together)
// and read-only afterwards.
class KeyNameTable
{
public:
    static const KeyNameTable& Instance();

    KeyNameTable(const KeyNameTable&) = delete;
    KeyNameTable& operator=(const KeyNameTable&) = delete;

    // Empty for an index without a name.
    String GetName(int index) const;
    // Null for an index without a name.
    const String* FindName(int index) const;
    // -1 for a text that is no key name (names compare exactly, case and width included).
    int FindIndex(const String& name) const;
    // -1 for a code that leads to no key.
    int FindVirtualKey(int virtualKey) const;

private:
    KeyNameTable();

    std::map<int, int> m_virtualKeys;
    std::vector<String> m_names;
    std::map<String, int> m_indexes;
};

// "Ctrl+", "Alt+", "Shift+", "Win+" in this order, then the key's name; an index without a name
// gives the prefixes alone.
String FormatHotKey(int key, int modifiers);
// Key -1 with no modifiers when the text is not a key text. Each prefix is recognised once and
// only in the order FormatHotKey writes it.
SHotKey ParseHotKey(const String& text);
int VirtualKeyToIndex(int virtualKey);
// Ctrl, Alt, Shift and Win as the calling thread's keyboard state has them down.
int GetModifierFlags();

} // namespace Brivox
