#pragma once
// Shell folders, file associations and shell verbs, the program associated with an extension,
// deletion to the recycle bin and the administrator test.

#include "foundation/string.h"
#include "foundation/win32.h"

#include <shtypes.h>

#include <vector>

namespace Brivox {

// The file-system path of an item identifier list; empty when it has none.
String GetPathFromIDList(LPCITEMIDLIST list);
// The path of a special folder (a CSIDL value), ending with '\'. Throws RuntimeException with the
// folder name followed by "フォルダの取得に失敗しました".
String GetSpecialFolder(int folder, const String& folderName);
// The user's "SendTo" folder, ending with '\'.
String GetSendToFolder();

// The ProgID that HKEY_CLASSES_ROOT gives the extension (without its dot); empty when none can be
// read.
String GetExtensionProgId(const String& extension);
// Whether the extension's ProgID is exactly this one; false when none can be read.
bool IsExtensionProgId(const String& extension, const String& progId);
// Whether the ProgID has the shell verb.
bool ShellVerbExists(const String& progId, const String& verb);
// Tells the shell that associations changed.
void NotifyAssocChanged();
// The program that the shell opens files of the extension (without its dot) with. Throws
// Win32Exception "." + extension + " に関連付けされたアプリケーションの取得に失敗" when the shell
// names none, RuntimeException "…の取得に失敗しました" when the program it names is no file.
String FindAssociatedApplication(const String& extension);

// Deletes the files and folders to the recycle bin in one shell operation, asking the user first
// when confirm is set. Throws IOException, one line path + "の削除に失敗しました" for each path that
// was missing or is still there, when the shell reports a failure or a cancel.
void DeleteToRecycleBin(const std::vector<String>& paths, bool confirm, HWND owner = nullptr);
void DeleteToRecycleBin(const String& path, bool confirm, HWND owner = nullptr);

// Whether the user has administrator rights; the default when the system cannot say.
bool IsUserAdmin(bool defaultValue);

} // namespace Brivox
