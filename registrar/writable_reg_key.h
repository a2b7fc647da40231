#pragma once

#include "foundation/reg_key.h"

namespace Brivox {

// The registry key with the write operations that only the registrar has, so that the viewer
// links no code that changes the registry.
class CWritableRegKey : public CRegKey
{
public:
    // Creates or opens root\path with every right and holds it, closing the key held before.
    // True when the key is new. Throws RuntimeException naming the path.
    bool Create(HKEY root, const String& path);
    // Creates or opens name below the held key and holds that one instead. True when the key is
    // new. Throws RuntimeException naming the sub-key; the held key then stays.
    bool CreateSubKey(const String& name);
    // A REG_SZ value of the held key; an empty name sets the default value. Throws
    // RuntimeException naming the value.
    void SetString(const String& name, const String& value);
    // Deletes root\path when the system does; a missing key, or one that still holds sub-keys,
    // stays and nothing is reported.
    static void DeleteKey(HKEY root, const String& path);
};

} // namespace Brivox
