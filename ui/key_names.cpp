#include "ui/key_names.h"

#include "foundation/win32.h"

namespace Brivox {

namespace {

struct SKeyRow
{
    int virtualKey;
    const wchar_t* name;
};

// Indexes 48 to 81 in order; 0 to 47 (letters, digits, function keys) follow from their codes.
const SKeyRow NamedKeys[] = {
    {VK_ESCAPE, L"Esc"},     {VK_PAUSE, L"Pause"},  {VK_BACK, L"BackSpace"}, {VK_OEM_MINUS, L"-"},
    {VK_OEM_PLUS, L"+"},     {VK_TAB, L"Tab"},      {VK_RETURN, L"Enter"},   {VK_INSERT, L"Insert"},
    {VK_DELETE, L"Delete"},  {VK_HOME, L"Home"},    {VK_END, L"End"},        {VK_PRIOR, L"PageUp"},
    {VK_NEXT, L"PageDown"},  {VK_OEM_COMMA, L","},  {VK_OEM_PERIOD, L"."},   {VK_SPACE, L"Space"},
    {VK_UP, L"\u2191"},      {VK_LEFT, L"\u2190"},  {VK_DOWN, L"\u2193"},    {VK_RIGHT, L"\u2192"},
    {VK_NUMPAD0, L"Num0"},   {VK_NUMPAD1, L"Num1"}, {VK_NUMPAD2, L"Num2"},   {VK_NUMPAD3, L"Num3"},
    {VK_NUMPAD4, L"Num4"},   {VK_NUMPAD5, L"Num5"}, {VK_NUMPAD6, L"Num6"},   {VK_NUMPAD7, L"Num7"},
    {VK_NUMPAD8, L"Num8"},   {VK_NUMPAD9, L"Num9"}, {VK_ADD, L"Num +"},      {VK_SUBTRACT, L"Num -"},
    {VK_MULTIPLY, L"Num *"}, {VK_DIVIDE, L"Num /"},
};

// Indexes 82 to 95.
const wchar_t* const MouseActions[] = {
    L"左クリック",           L"左ダブルクリック",       L"右クリック",       L"右ダブルクリック",
    L"ホイールクリック",     L"ホイールダブルクリック", L"ホイール(上)",     L"ホイール(下)",
    L"４ボタンクリック",     L"４ボタンダブルクリック", L"５ボタンクリック", L"５ボタンダブルクリック",
    L"右押しつつ左クリック", L"左押しつつ右クリック",
};

struct SPrefix
{
    const wchar_t* text;
    int flag;
};

const SPrefix Prefixes[] = {
    {L"Ctrl+", SHotKey::Ctrl},
    {L"Alt+", SHotKey::Alt},
    {L"Shift+", SHotKey::Shift},
    {L"Win+", SHotKey::Win},
};

bool IsDown(int virtualKey)
{
    return (::GetKeyState(virtualKey) & 0x8000) != 0;
}

} // namespace

KeyNameTable::KeyNameTable()
{
    auto add = [this](int virtualKey, const String& name) {
        const int index = static_cast<int>(m_names.size());
        if (virtualKey >= 0)
            m_virtualKeys[virtualKey] = index;
        m_names.push_back(name);
        m_indexes[name] = index;
    };
    for (wchar_t letter = L'A'; letter <= L'Z'; ++letter)
        add(letter, String(letter, 1));
    for (wchar_t digit = L'1'; digit <= L'9'; ++digit)
        add(digit, String(digit, 1));
    add(L'0', L"0");
    for (int f = 1; f <= 12; ++f)
        add(VK_F1 + f - 1, FormatString(L"F%d", f));
    for (const SKeyRow& row : NamedKeys)
        add(row.virtualKey, row.name);
    for (const wchar_t* name : MouseActions)
        add(-1, name);
}

const KeyNameTable& KeyNameTable::Instance()
{
    // A function-local static: its construction is guarded against two first callers.
    static const KeyNameTable table;
    return table;
}

String KeyNameTable::GetName(int index) const
{
    const String* name = FindName(index);
    return name ? *name : String();
}

const String* KeyNameTable::FindName(int index) const
{
    if (index < 0 || index >= static_cast<int>(m_names.size()))
        return nullptr;
    return &m_names[static_cast<std::size_t>(index)];
}

int KeyNameTable::FindIndex(const String& name) const
{
    const auto found = m_indexes.find(name);
    return found == m_indexes.end() ? -1 : found->second;
}

int KeyNameTable::FindVirtualKey(int virtualKey) const
{
    const auto found = m_virtualKeys.find(virtualKey);
    return found == m_virtualKeys.end() ? -1 : found->second;
}

String FormatHotKey(int key, int modifiers)
{
    String text;
    for (const SPrefix& prefix : Prefixes)
        if (modifiers & prefix.flag)
            text += prefix.text;
    return text + KeyNameTable::Instance().GetName(key);
}

SHotKey ParseHotKey(const String& text)
{
    int position = 0;
    int modifiers = 0;
    for (const SPrefix& prefix : Prefixes) {
        const String word = prefix.text;
        if (text.Length() - position >= word.Length() &&
            text.Compare(position, word, 0, word.Length(), 0) == 0) {
            modifiers |= prefix.flag;
            position += word.Length();
        }
    }
    const int key = KeyNameTable::Instance().FindIndex(text.Substring(position));
    if (key < 0)
        return {-1, 0};
    return {key, modifiers};
}

int VirtualKeyToIndex(int virtualKey)
{
    return KeyNameTable::Instance().FindVirtualKey(virtualKey);
}

int GetModifierFlags()
{
    int flags = 0;
    if (IsDown(VK_CONTROL))
        flags |= SHotKey::Ctrl;
    if (IsDown(VK_MENU))
        flags |= SHotKey::Alt;
    if (IsDown(VK_SHIFT))
        flags |= SHotKey::Shift;
    if (IsDown(VK_LWIN) || IsDown(VK_RWIN))
        flags |= SHotKey::Win;
    return flags;
}

} // namespace Brivox
