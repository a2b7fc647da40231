#include "foundation/config.h"

#include "foundation/encoding.h"
#include "foundation/exception.h"
#include "foundation/file_system.h"
#include "foundation/process_exclusion.h"
#include "foundation/string_builder.h"
#include "foundation/text_file.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <exception>
#include <string>

namespace Brivox {

String ToConfigText(int value)
{
    return IntToString(value);
}

String ToConfigText(double value)
{
    return DoubleToString(value);
}

String ToConfigText(bool value)
{
    return value ? L"true" : L"false";
}

String ToConfigText(const String& value)
{
    return value;
}

bool ConfigEntries::Contains(const String& key) const
{
    return entries_.find(key) != entries_.end();
}

void ConfigEntries::SetRaw(const String& key, const String& text)
{
    entries_.insert_or_assign(key, text);
}

String ConfigEntries::Serialize() const
{
    StringBuilder builder;
    for (const auto& [key, text] : entries_)
        builder.Append(FormatLine(key, text));
    return builder.ToString();
}

String ConfigEntries::FormatLine(const String& key, const String& value)
{
    return key + L" = " + value + L"\r\n";
}

const String* ConfigEntries::Find(const String& key) const
{
    const auto found = entries_.find(key);
    return found == entries_.end() ? nullptr : &found->second;
}

std::vector<String> ConfigEntries::SplitLines(const String& text)
{
    return text.Split(MakeStringList(L"\r\n", L"\n", L"\r"));
}

bool ConfigEntries::LoadLocked(const String& path, const std::function<void(const String& text)>& parse)
{
    try {
        CProcessExclusion exclusion(path);
        ExclusionLock lock(exclusion);
        if (!FileExists(path))
            return false;
        parse(ReadTextFile(path));
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

namespace {

[[noreturn]] void ThrowReadFailure(const String& key, const wchar_t* kind)
{
    throw RuntimeException(String(L"コンフィグデータ '") + key + L"' " + kind + L"の読み込みに失敗しました");
}

// The numbers of a "%d, %d, ..." text: the comma right after each number, any white space after
// it, anything after the last number ignored.
template <std::size_t Count> bool ScanNumbers(const String& text, std::array<int, Count>& numbers)
{
    static_assert(Count >= 2 && Count <= 4);
    const std::string ansi = GetDefaultEncoding().ToMultiByte(text);
    int n[4] = {};
    const char* const formats[] = {"%d, %d", "%d, %d, %d", "%d, %d, %d, %d"};
    const int scanned = std::sscanf(ansi.c_str(), formats[Count - 2], &n[0], &n[1], &n[2], &n[3]);
    std::copy(n, n + Count, numbers.begin());
    return scanned == static_cast<int>(Count);
}

// The character that a backslash and code stand for, when they form one of the four escapes.
bool UnescapedCharacter(wchar_t code, wchar_t& ch)
{
    switch (code) {
    case L'\\':
        ch = L'\\';
        return true;
    case L'r':
        ch = L'\r';
        return true;
    case L'n':
        ch = L'\n';
        return true;
    case L'0':
        ch = L'\0';
        return true;
    default:
        return false;
    }
}

} // namespace

String CConfig::GetRaw(const String& key) const
{
    const String* text = Find(key);
    if (!text)
        ThrowReadFailure(key, L"");
    return *text;
}

int CConfig::GetInt(const String& key) const
{
    const String* text = Find(key);
    if (!text || text->Length() == 0)
        ThrowReadFailure(key, L"(数値)");
    return StringToInt(*text);
}

double CConfig::GetDouble(const String& key) const
{
    const String* text = Find(key);
    if (!text || text->Length() == 0)
        ThrowReadFailure(key, L"(浮動小数値)");
    return StringToDouble(*text);
}

bool CConfig::GetBool(const String& key) const
{
    const String* text = Find(key);
    if (text && *text == L"true")
        return true;
    if (text && *text == L"false")
        return false;
    ThrowReadFailure(key, L"(真偽値)");
}

SIZE CConfig::GetSize(const String& key) const
{
    std::array<int, 2> n;
    if (!ScanNumbers(GetRaw(key), n))
        ThrowReadFailure(key, L"(縦横値)");
    return SIZE{n[0], n[1]};
}

RECT CConfig::GetRect(const String& key) const
{
    std::array<int, 4> n;
    if (!ScanNumbers(GetRaw(key), n))
        ThrowReadFailure(key, L"(矩形座標値)");
    return RECT{n[0], n[1], n[0] + n[2], n[1] + n[3]};
}

COLORREF CConfig::GetRGB(const String& key) const
{
    std::array<int, 3> n;
    if (!ScanNumbers(GetRaw(key), n))
        ThrowReadFailure(key, L"(RGB値)");
    return RGB(n[0] & 0xFF, n[1] & 0xFF, n[2] & 0xFF);
}

String CConfig::GetString(const String& key) const
{
    const String* text = Find(key);
    if (!text)
        ThrowReadFailure(key, L"(文字列)");
    return Unescape(*text);
}

void CConfig::SetInt(const String& key, int value)
{
    SetRaw(key, ToConfigText(value));
}

void CConfig::SetDouble(const String& key, double value)
{
    SetRaw(key, ToConfigText(value));
}

void CConfig::SetBool(const String& key, bool value)
{
    SetRaw(key, ToConfigText(value));
}

void CConfig::SetSize(const String& key, const SIZE& value)
{
    SetRaw(key, FormatString(L"%d, %d", static_cast<int>(value.cx), static_cast<int>(value.cy)));
}

void CConfig::SetRect(const String& key, const RECT& value)
{
    SetRaw(key, FormatString(L"%d, %d, %d, %d", static_cast<int>(value.left), static_cast<int>(value.top),
                             static_cast<int>(value.right - value.left),
                             static_cast<int>(value.bottom - value.top)));
}

void CConfig::SetRGB(const String& key, COLORREF value)
{
    SetRaw(key, FormatString(L"%d, %d, %d", GetRValue(value), GetGValue(value), GetBValue(value)));
}

void CConfig::SetString(const String& key, const String& value)
{
    SetRaw(key, Escape(value));
}

ConfigBinding<String> CConfig::BindString(const String& key)
{
    return {this, &CConfig::SetString, &CConfig::GetString, key};
}

ConfigBinding<String> CConfig::BindRaw(const String& key)
{
    return {this, &CConfig::SetRaw, &CConfig::GetRaw, key};
}

ConfigBinding<String> CConfig::BindRawText(const String& key)
{
    return BindRaw(key);
}

ConfigBinding<int> CConfig::BindInt(const String& key)
{
    return {this, &CConfig::SetInt, &CConfig::GetInt, key};
}

ConfigBinding<double> CConfig::BindDouble(const String& key)
{
    return {this, &CConfig::SetDouble, &CConfig::GetDouble, key};
}

ConfigBinding<bool> CConfig::BindBool(const String& key)
{
    return {this, &CConfig::SetBool, &CConfig::GetBool, key};
}

ConfigBinding<SIZE> CConfig::BindSize(const String& key)
{
    return {this, &CConfig::SetSize, &CConfig::GetSize, key};
}

ConfigBinding<COLORREF> CConfig::BindRGB(const String& key)
{
    return {this, &CConfig::SetRGB, &CConfig::GetRGB, key};
}

void CConfig::Remove(const String& key)
{
    entries_.erase(key);
}

void CConfig::Rename(const String& oldKey, const String& newKey)
{
    const auto found = entries_.find(oldKey);
    if (found == entries_.end())
        return;
    const String text = found->second;
    entries_.erase(found);
    SetRaw(newKey, text);
}

String CConfig::Escape(const String& text)
{
    StringBuilder builder;
    for (int i = 0; i < text.Length(); ++i) {
        switch (const wchar_t ch = text[i]) {
        case L'\\':
            builder.Append(L"\\\\");
            break;
        case L'\r':
            builder.Append(L"\\r");
            break;
        case L'\n':
            builder.Append(L"\\n");
            break;
        case L'\0':
            builder.Append(L"\\0");
            break;
        default:
            builder.Append(ch);
            break;
        }
    }
    return builder.ToString();
}

String CConfig::Unescape(const String& text)
{
    StringBuilder builder;
    for (int i = 0; i < text.Length(); ++i) {
        wchar_t ch = text[i];
        // Any other escape, and a backslash at the very end, stays as it stands.
        if (ch == L'\\' && i + 1 < text.Length() && UnescapedCharacter(text[i + 1], ch))
            ++i;
        builder.Append(ch);
    }
    return builder.ToString();
}

bool CConfig::ParseLine(const String& line)
{
    const String separator(L" = ");
    const int at = line.Find(separator, 0, line.Length(), 0);
    if (at < 0)
        return false;
    SetRaw(line.Substring(0, at), line.Substring(at + separator.Length()));
    return true;
}

void CConfig::ParseText(const String& text)
{
    for (const String& line : SplitLines(text))
        ParseLine(line);
}

namespace {

// Whether the file at path, which exists, holds settings that a Load would take: a text that
// reads and is empty or gives at least one entry.
bool ReadsAsSettings(const String& path)
{
    try {
        const String text = ReadTextFile(path);
        CConfig probe;
        probe.ParseText(text);
        // Every entry serialises to a line of its own.
        return text.Length() == 0 || probe.Serialize().Length() > 0;
    } catch (const std::exception&) {
        return false;
    }
}

// Deletes what a failed save left under the temporary name; a folder of that name is not its own.
void DiscardTemporary(const String& temporary)
{
    try {
        if (IsFile(temporary))
            DeleteTree(temporary, false);
    } catch (const std::exception&) {
        // Nothing more can be done; the next save writes over it.
    }
}

} // namespace

bool CConfig::Save(const String& path) const
{
    try {
        CProcessExclusion exclusion(path);
        ExclusionLock lock(exclusion);
        const String temporary = path + L".tmp";
        try {
            WriteTextFile(temporary, Serialize());
            // A file that the user would lose (damaged, or not settings at all) is kept aside
            // first; when that fails, the file stays and the save fails.
            if (FileExists(path) && !ReadsAsSettings(path))
                CopyTree(path, path + L".bak", true);
            if (MoveFileReplacing(temporary, path))
                return true;
        } catch (const std::exception&) {
            // Every failure ends alike, below.
        }
        // Still under the lock: once it is released, another process may write that name.
        DiscardTemporary(temporary);
        return false;
    } catch (const std::exception&) {
        return false;
    }
}

bool CConfig::Load(const String& path)
{
    return LoadLocked(path, [this](const String& text) { ParseText(text); });
}

} // namespace Brivox
