#include "foundation/shell.h"

#include "foundation/reg_key.h"
#include "foundation/win32.h"

#include <shlobj.h>

#include <exception>

namespace Brivox {

String GetExtensionProgId(const String& extension)
{
    try {
        CRegKey key;
        key.Open(HKEY_CLASSES_ROOT, L"." + extension, false);
        return key.QueryString(L"");
    } catch (const std::exception&) {
        return String();
    }
}

void NotifyAssocChanged()
{
    ::SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

} // namespace Brivox
