#include "ui/hot_key.h"

#include "foundation/key_value_file.h"
#include "foundation/string_builder.h"
#include "ui/key_config.h"

#include <climits>
#include <optional>

namespace Brivox {

namespace {

const wchar_t* const VersionKey = L"[ver]";
const int FileVersion = 2;

std::vector<String> SplitKeyList(const String& keys)
{
    return keys.Split(MakeStringList(L", "));
}

// An optional minus sign and decimal digits, nothing else; numbers beyond int keep their sign.
std::optional<int> ParseWholeNumber(const String& text)
{
    int position = text.Length() > 0 && text[0] == L'-' ? 1 : 0;
    const bool negative = position == 1;
    if (position == text.Length())
        return std::nullopt;
    long long value = 0;
    for (; position < text.Length(); ++position) {
        const wchar_t ch = text[position];
        if (ch < L'0' || ch > L'9')
            return std::nullopt;
        if (value <= INT_MAX)
            value = value * 10 + (ch - L'0');
    }
    if (value > INT_MAX)
        return negative ? INT_MIN : INT_MAX;
    return static_cast<int>(negative ? -value : value);
}

} // namespace

void HotKeySetting::Bind(int command, int key, int modifiers)
{
    Lock lock(m_lock);
    const SHotKey hotKey{key, modifiers};
    const auto bound = m_bindings.keys.find(hotKey);
    if (bound != m_bindings.keys.end())
        m_bindings.commands[bound->second].erase(hotKey);
    m_bindings.keys[hotKey] = command;
    m_bindings.commands[command].insert(hotKey);
}

void HotKeySetting::Unbind(int key, int modifiers)
{
    Lock lock(m_lock);
    const auto bound = m_bindings.keys.find(SHotKey{key, modifiers});
    if (bound == m_bindings.keys.end())
        return;
    m_bindings.commands[bound->second].erase(bound->first);
    m_bindings.keys.erase(bound);
}

void HotKeySetting::Clear()
{
    Lock lock(m_lock);
    m_bindings = SBindings();
}

void HotKeySetting::BindKeyList(int command, const String& keys)
{
    Lock lock(m_lock);
    for (const String& piece : SplitKeyList(keys)) {
        const SHotKey hotKey = ParseHotKey(piece);
        if (hotKey.key != -1)
            Bind(command, hotKey.key, hotKey.modifiers);
    }
}

void HotKeySetting::BindKeyListIfAny(int command, const String& keys)
{
    if (keys.Length() > 0)
        BindKeyList(command, keys);
}

void HotKeySetting::UnbindKeyList(const String& keys)
{
    for (const String& piece : SplitKeyList(keys)) {
        const SHotKey hotKey = ParseHotKey(piece);
        if (hotKey.key != -1)
            Unbind(hotKey.key, hotKey.modifiers);
    }
}

int HotKeySetting::FindCommand(int key, int modifiers) const
{
    Lock lock(m_lock);
    const auto bound = m_bindings.keys.find(SHotKey{key, modifiers});
    return bound == m_bindings.keys.end() ? -1 : bound->second;
}

String HotKeySetting::GetKeysText(int command) const
{
    Lock lock(m_lock);
    std::vector<String> texts;
    const auto keys = m_bindings.commands.find(command);
    if (keys != m_bindings.commands.end())
        for (const SHotKey& hotKey : keys->second)
            texts.push_back(FormatHotKey(hotKey.key, hotKey.modifiers));
    return JoinStrings(L", ", texts);
}

HotKeySetting::SBindings HotKeySetting::Copy() const
{
    Lock lock(m_lock);
    return m_bindings;
}

bool HotKeySetting::SaveDiff(const String& path, const HotKeySetting& defaults) const
{
    // Copied first: holding both locks at once could deadlock against a save the other way round.
    const SBindings standard = defaults.Copy();
    Lock lock(m_lock);
    CKeyValueFile file;
    file[VersionKey].SetInt(FileVersion);
    for (const auto& [hotKey, command] : m_bindings.keys) {
        const auto byDefault = standard.keys.find(hotKey);
        if (byDefault == standard.keys.end() || byDefault->second != command)
            file[FormatHotKey(hotKey.key, hotKey.modifiers)].SetInt(command);
    }
    for (const auto& [hotKey, command] : standard.keys)
        if (m_bindings.keys.find(hotKey) == m_bindings.keys.end())
            file[FormatHotKey(hotKey.key, hotKey.modifiers)].SetInt(-1);
    return file.Save(path);
}

void HotKeySetting::LoadDiff(const String& path, const HotKeySetting& defaults, const CKeyConfig& commands)
{
    SBindings standard = defaults.Copy();
    Lock lock(m_lock);
    m_bindings = std::move(standard);
    CKeyValueFile file;
    if (!file.Load(path))
        return;
    if (!file.Contains(VersionKey)) {
        LoadOldFormat(file, commands);
        return;
    }
    if (StringToInt(file.Get(VersionKey)) != FileVersion)
        return;
    for (const auto& [keys, value] : file.ToVector()) {
        if (keys == VersionKey || keys.Length() == 0)
            continue;
        const std::optional<int> command = ParseWholeNumber(value);
        if (!command)
            continue;
        if (*command < 0)
            UnbindKeyList(keys);
        else if (commands.IsCommand(*command))
            BindKeyList(*command, keys);
    }
}

void HotKeySetting::LoadOldFormat(const CKeyValueFile& file, const CKeyConfig& commands)
{
    Lock lock(m_lock);
    for (const auto& [number, keys] : file.ToVector()) {
        const std::optional<int> command = ParseWholeNumber(number);
        if (command && commands.IsCommand(*command))
            BindKeyListIfAny(*command, keys);
    }
}

CHotKey::CHotKey(std::shared_ptr<IOwner> owner) : m_owner(std::move(owner)) {}

namespace {

// The key index a message stands for; -1 when it is no hot key.
int KeyOfMessage(const SMessage& message)
{
    switch (message.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        return VirtualKeyToIndex(static_cast<int>(message.wParam));
    case WM_LBUTTONUP:
        return (message.wParam & MK_RBUTTON) ? 94 : 82;
    case WM_LBUTTONDBLCLK:
        return 83;
    case WM_RBUTTONUP:
        return (message.wParam & MK_LBUTTON) ? 95 : 84;
    case WM_RBUTTONDBLCLK:
        return 85;
    case WM_MBUTTONUP:
        return 86;
    case WM_MBUTTONDBLCLK:
        return 87;
    case WM_MOUSEWHEEL: {
        // Each message of a notch or more is one hit; smaller deltas are dropped, not summed.
        const int delta = GET_WHEEL_DELTA_WPARAM(message.wParam);
        if (delta >= WHEEL_DELTA)
            return 88;
        if (delta <= -WHEEL_DELTA)
            return 89;
        return -1;
    }
    case WM_XBUTTONUP:
    case WM_XBUTTONDBLCLK: {
        const bool doubleClick = message.message == WM_XBUTTONDBLCLK;
        switch (GET_XBUTTON_WPARAM(message.wParam)) {
        case XBUTTON1:
            return doubleClick ? 91 : 90;
        case XBUTTON2:
            return doubleClick ? 93 : 92;
        }
        return -1;
    }
    }
    return -1;
}

} // namespace

bool CHotKey::HookMessage(SMessage& message)
{
    const int key = KeyOfMessage(message);
    if (key == -1)
        return false;
    {
        Lock lock(GetLock());
        const int command = FindCommand(key, GetModifierFlags());
        if (command == -1)
            return false;
        m_owner->OnHotKey(*this, command);
    }
    // A key with Alt taken as a command must not go on to the menu by its character, as an
    // accelerator's would not (a beep, or the full-screen menu bar taking the foreground): the
    // character message the loop has already made of it is dropped.
    if (message.message == WM_SYSKEYDOWN) {
        MSG character;
        ::PeekMessageW(&character, message.hwnd, WM_SYSCHAR, WM_SYSDEADCHAR, PM_REMOVE);
    }
    return true;
}

} // namespace Brivox
