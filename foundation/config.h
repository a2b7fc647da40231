#pragma once

#include "foundation/config_binding.h"
#include "foundation/string.h"
#include "foundation/win32.h"

#include <functional>
#include <map>
#include <vector>

namespace Brivox {

// The text forms that the settings store, the key = value file and the dialogs share.
String ToConfigText(int value);
// Four decimals at most, '.' whatever the locale: 1 gives "1.0".
String ToConfigText(double value);
String ToConfigText(bool value);
String ToConfigText(const String& value);
// A literal would otherwise silently take the bool form.
String ToConfigText(const wchar_t* value) = delete;

// The part that the settings store and the key = value file share: value texts by key, in the
// ordinal order of the keys (every capital letter before every small one), and the file lines
// "key = value" CR LF.
class ConfigEntries
{
public:
    bool Contains(const String& key) const;
    // Inserts the key when it is missing; the text is stored unchanged.
    void SetRaw(const String& key, const String& text);
    // Every entry as a FormatLine, in key order; nothing is escaped here.
    String Serialize() const;
    // key, " = ", value and CR LF.
    static String FormatLine(const String& key, const String& value);

protected:
    ConfigEntries() = default;
    ~ConfigEntries() = default;

    // Null when the key is missing.
    const String* Find(const String& key) const;
    // CR LF, LF and CR each end a line.
    static std::vector<String> SplitLines(const String& text);
    // Under the named mutex of path, hands the file's text to parse. False, without throwing, when
    // the file is missing or cannot be read.
    static bool LoadLocked(const String& path, const std::function<void(const String& text)>& parse);

    std::map<String, String> entries_;
};

// The typed settings store. It knows no keys and keeps no defaults: every getter throws
// RuntimeException for a missing key (and for a text it cannot read as its kind), so the schema
// must have filled every key before anything reads one. Getters have the shape
// (store, key) -> value and setters (store, key, value), so a control binding can hold a pair.
class CConfig : public ConfigEntries
{
public:
    CConfig() = default;

    // Read with StringToInt: a text that is not a number gives its leading number or 0.
    int GetInt(const String& key) const;
    double GetDouble(const String& key) const;
    // Exactly "true" or "false".
    bool GetBool(const String& key) const;
    // "cx, cy"
    SIZE GetSize(const String& key) const;
    // "left, top, width, height"
    RECT GetRect(const String& key) const;
    // "red, green, blue"; each number's low byte is used.
    COLORREF GetRGB(const String& key) const;
    // The stored text unescaped.
    String GetString(const String& key) const;
    // The stored text as it stands in the file.
    String GetRaw(const String& key) const;

    void SetInt(const String& key, int value);
    void SetDouble(const String& key, double value);
    void SetBool(const String& key, bool value);
    void SetSize(const String& key, const SIZE& value);
    void SetRect(const String& key, const RECT& value);
    void SetRGB(const String& key, COLORREF value);
    // Stored escaped, so a value never breaks a line of the file.
    void SetString(const String& key, const String& value);

    // Bindings of a key to a dialog control through the typed getter and setter of each kind.
    // The key is copied; the store must outlive the binding.
    ConfigBinding<String> BindString(const String& key);
    // Raw: the stored text unchanged both ways. BindRawText is the same pair.
    ConfigBinding<String> BindRaw(const String& key);
    ConfigBinding<String> BindRawText(const String& key);
    ConfigBinding<int> BindInt(const String& key);
    ConfigBinding<double> BindDouble(const String& key);
    ConfigBinding<bool> BindBool(const String& key);
    ConfigBinding<SIZE> BindSize(const String& key);
    ConfigBinding<COLORREF> BindRGB(const String& key);

    void Remove(const String& key);
    // Moves the old key's text to the new key; nothing happens when the old key is missing.
    void Rename(const String& oldKey, const String& newKey);

    // Backslash, CR, LF and NUL become two-character escapes; Unescape undoes exactly these and
    // leaves every other backslash as it stands.
    static String Escape(const String& text);
    static String Unescape(const String& text);

    // Splits at the first " = ", neither side trimmed; false (and nothing set) without one.
    bool ParseLine(const String& line);
    // Adds the text's lines to the store; a later line for a key wins.
    void ParseText(const String& text);

    // Writes the whole file beside the settings file and then puts it in the file's place, all
    // under the file's named mutex, so that no process ever sees half a file. A file already there
    // that does not read as settings is first kept as name + ".bak". False on any failure; never
    // throws.
    bool Save(const String& path) const;
    // Reads the file over the store's entries. False, with the store unchanged, when the file is
    // missing or cannot be read; never throws.
    bool Load(const String& path);
};

} // namespace Brivox
