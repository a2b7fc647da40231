#include "foundation/key_value_file.h"

#include "foundation/exception.h"
#include "foundation/process_exclusion.h"
#include "foundation/string_builder.h"
#include "foundation/text_file.h"

#include <exception>

namespace Brivox {

String EscapeConfigValue(const String& text)
{
    return CConfig::Escape(text);
}

bool IsTrueText(const String& text)
{
    return text == L"true";
}

int CKeyValueFile::Value::GetInt() const
{
    return StringToInt(ToString());
}

String CKeyValueFile::Value::ToString() const
{
    return store_.Get(key_);
}

String CKeyValueFile::Value::ToUnescapedString() const
{
    return CConfig::Unescape(ToString());
}

bool CKeyValueFile::Value::ToBool() const
{
    return IsTrueText(ToString());
}

void CKeyValueFile::Value::SetInt(int value)
{
    store_.SetRaw(key_, ToConfigText(value));
}

void CKeyValueFile::Value::SetBool(bool value)
{
    store_.SetRaw(key_, ToConfigText(value));
}

void CKeyValueFile::Value::SetString(const String& value)
{
    store_.SetRaw(key_, value);
}

void CKeyValueFile::Value::SetEscaped(const String& value)
{
    store_.SetRaw(key_, EscapeConfigValue(value));
}

void CKeyValueFile::Value::SetFromBinding(const ConfigBinding<String>& binding)
{
    SetString(binding.GetString());
}

String CKeyValueFile::Get(const String& key) const
{
    const String* text = Find(key);
    if (!text)
        throw RuntimeException(String(L"コンフィグデータ '") + key + L"' の取得に失敗しました");
    return *text;
}

void CKeyValueFile::ParseText(const String& text)
{
    const std::vector<String> separator = MakeStringList(L" =");
    for (const String& line : SplitLines(text)) {
        const std::vector<String> pieces = line.Split(separator, 2, false);
        if (pieces.size() == 2)
            SetRaw(pieces[0], pieces[1].TrimLeft());
    }
}

std::vector<std::pair<String, String>> CKeyValueFile::ToVector() const
{
    return {entries_.begin(), entries_.end()};
}

bool CKeyValueFile::Save(const String& path) const
{
    try {
        CProcessExclusion exclusion(path);
        ExclusionLock lock(exclusion);
        WriteTextFile(path, Serialize());
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool CKeyValueFile::Load(const String& path)
{
    return LoadLocked(path, [this](const String& text) { ParseText(text); });
}

} // namespace Brivox
