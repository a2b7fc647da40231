#pragma once

#include "foundation/config.h"
#include "foundation/config_binding.h"

#include <utility>
#include <vector>

namespace Brivox {

// The settings store's escaping (CConfig::Escape), for string values put into other files.
String EscapeConfigValue(const String& text);
// Exactly "true": capitals or blanks around it count as false.
bool IsTrueText(const String& text);

// A plain store of texts by key, written as "key = value" lines: the key-configuration file and
// the hand-off file to the association registrar. No typed getters and no escaping of its own;
// a missing key always throws.
class CKeyValueFile : public ConfigEntries
{
public:
    // One key of one store, for a statement or a block: typed setters over SetRaw and the
    // readers of the registrar. Every reader throws Get's exception for a missing key.
    class Value
    {
    public:
        Value(CKeyValueFile& store, const String& key) : store_(store), key_(key) {}

        // A text that is not a number gives its leading number or 0.
        int GetInt() const;
        String ToString() const;
        String ToUnescapedString() const;
        bool ToBool() const;

        void SetInt(int value);
        void SetBool(bool value);
        // Stored unchanged.
        void SetString(const String& value);
        void SetEscaped(const String& value);
        // The text that a settings binding delivers, stored unchanged.
        void SetFromBinding(const ConfigBinding<String>& binding);

    private:
        CKeyValueFile& store_;
        String key_;
    };

    CKeyValueFile() = default;

    Value operator[](const String& key) { return Value(*this, key); }

    // The stored text; throws RuntimeException for a missing key.
    String Get(const String& key) const;
    // Each line splits at its first " =": the key untrimmed, the value without its leading white
    // space. Lines without " =" are ignored; a later line for a key wins.
    void ParseText(const String& text);
    std::vector<std::pair<String, String>> ToVector() const;

    // Written in place under the file's named mutex. False on any failure; never throws.
    bool Save(const String& path) const;
    // UTF-16 with its mark or the ANSI code page. False, with the store unchanged, when the file
    // is missing or cannot be read; never throws.
    bool Load(const String& path);
};

} // namespace Brivox
