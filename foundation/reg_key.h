#pragma once

#include "foundation/string.h"
#include "foundation/win32.h"

namespace Brivox {

// One open registry key, read through the narrow functions (names in the ANSI code page).
class CRegKey
{
public:
    CRegKey() noexcept : key_(nullptr) {}
    ~CRegKey();
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;

    // Closes the key held before, also when this Open fails. Throws RuntimeException naming the
    // sub-key when it cannot be opened with the asked rights.
    void Open(HKEY root, const String& subKey, bool writable);
    // A value of up to 255 bytes and its NUL, of any type, read as text up to its first NUL; an
    // empty name reads the key's default value. Throws RuntimeException naming the value when it
    // is missing or longer.
    String QueryString(const String& valueName) const;
    void Close();

protected:
    HKEY GetHandle() const { return key_; }
    // Takes ownership of an open key, closing the one held before.
    void Attach(HKEY key);

private:
    HKEY key_;
};

// Whether the key can be opened at all (no rights asked); never throws.
bool RegKeyExists(HKEY root, const String& subKey);

} // namespace Brivox
