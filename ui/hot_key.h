#pragma once
// The bindings of hot keys to command numbers, the key-configuration file that keeps the user's
// differences from the default bindings, and the hooker that turns a window's key and mouse
// messages into commands.

#include "ui/key_names.h"
#include "ui/msg_hook.h"

#include <map>
#include <memory>
#include <mutex>
#include <set>

namespace Brivox {

class CKeyConfig;
class CKeyValueFile;

// Each hot key bound to at most one command, and each command's keys in hot-key order. Every
// operation holds one recursive lock for its whole run: a command carried out while a hot key is
// being dispatched may read and change the same bindings on the same thread.
class HotKeySetting
{
public:
    HotKeySetting() = default;
    HotKeySetting(const HotKeySetting&) = delete;
    HotKeySetting& operator=(const HotKeySetting&) = delete;

    // Moves the hot key to the command when another command had it.
    void Bind(int command, int key, int modifiers);
    void Unbind(int key, int modifiers);
    void Clear();
    // Key texts joined by ", ", bound in list order; pieces that are no key text are skipped.
    void BindKeyList(int command, const String& keys);
    // Nothing for an empty text.
    void BindKeyListIfAny(int command, const String& keys);

    // -1 when the hot key is bound to no command.
    int FindCommand(int key, int modifiers) const;
    // The command's key texts joined by ", "; empty when it has no key.
    String GetKeysText(int command) const;

    // Writes "[ver]" = 2 and the bindings that differ from the defaults; false when the file could
    // not be written.
    bool SaveDiff(const String& path, const HotKeySetting& defaults) const;
    // The defaults, then the differences the file holds, in its current or its older form. A
    // line is used only when its command number is a whole decimal number and, when not negative,
    // a command of the table, so a damaged or foreign file binds no key to an unknown command.
    // A missing or unreadable file, or one of another version, leaves the defaults.
    void LoadDiff(const String& path, const HotKeySetting& defaults, const CKeyConfig& commands);
    // The older form: command numbers as keys and key lists as values, on top of the bindings
    // already there.
    void LoadOldFormat(const CKeyValueFile& file, const CKeyConfig& commands);

protected:
    using Lock = std::lock_guard<std::recursive_mutex>;
    std::recursive_mutex& GetLock() const { return m_lock; }

private:
    struct SBindings
    {
        std::map<SHotKey, int> keys;
        // A command whose last key moved away keeps its empty set.
        std::map<int, std::set<SHotKey>> commands;
    };

    SBindings Copy() const;
    void UnbindKeyList(const String& keys);

    SBindings m_bindings;
    mutable std::recursive_mutex m_lock;
};

// Bindings that watch a window's messages: a key press or a mouse action bound to a command is
// reported to the owner, and the message then counts as handled.
class CHotKey : public IMsgHooker, public HotKeySetting
{
public:
    class IOwner
    {
    public:
        virtual ~IOwner() = default;
        // Called on the window's thread while the bindings' lock is held.
        virtual void OnHotKey(CHotKey& hotKey, int command) = 0;
    };

    // The owner outlives the hooker; the handle does not own it.
    explicit CHotKey(std::shared_ptr<IOwner> owner);

    bool HookMessage(SMessage& message) override;

private:
    std::shared_ptr<IOwner> m_owner;
};

} // namespace Brivox
