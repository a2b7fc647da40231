#include "registrar/association_items.h"

#include "foundation/encoding.h"
#include "foundation/message_box.h"
#include "foundation/shell.h"
#include "registrar/shell_association.h"

#include <exception>
#include <string>

using Brivox::String;

namespace {

// Adds or removes the verb under progId; a failure shows the box for the item's name.
void SetRClickMenu(const String& progId, bool on, const String& menuText, const String& viewerPath,
                   const String& itemName, const wchar_t* addFailure, const wchar_t* removeFailure)
{
    try {
        if (on) {
            Brivox::ShellClassInfo info;
            info.Verb = OpenVerb;
            info.MenuText = menuText;
            info.Command = MakeOpenCommand(viewerPath);
            Brivox::RegisterShellClass(progId, info);
        } else {
            Brivox::UnregisterShellVerb(progId, OpenVerb);
        }
    } catch (const std::exception&) {
        ShowErrorBox(itemName + (on ? addFailure : removeFailure), ErrorCaption);
    }
}

} // namespace

void ShowErrorBox(const String& text, const String& caption)
{
    const std::string ansiText = Brivox::GetDefaultEncoding().ToMultiByte(text);
    const std::string ansiCaption = Brivox::GetDefaultEncoding().ToMultiByte(caption);
    Brivox::ShowNarrowMessageBox(nullptr, ansiText.c_str(), ansiCaption.c_str(),
                                 MB_OK | MB_ICONINFORMATION | MB_SYSTEMMODAL | MB_SETFOREGROUND | MB_TOPMOST);
}

String MakeOpenCommand(const String& viewerPath)
{
    return L"\"" + viewerPath + L"\" \"%1\"";
}

void SetExtRelation(const String& extension, bool on, bool& associated)
{
    try {
        if (on) {
            Brivox::RegisterExtension(extension, ImageClassProgId, String());
            associated = true;
        } else {
            Brivox::UnregisterExtension(extension, ImageClassProgId);
        }
    } catch (const std::exception&) {
        ShowErrorBox(L"." + extension +
                         (on ? L" の関連付けに失敗しました。" : L" の関連づけの削除に失敗しました。"),
                     ErrorCaption);
    }
}

void SetExtRClickMenu(const String& extension, bool on, const String& menuText, const String& viewerPath)
{
    const String progId = Brivox::GetExtensionProgId(extension);
    if (progId.Length() == 0) {
        if (on)
            ShowErrorBox(
                L"." + extension +
                    L" が関連付けされていません。右クリックメニューの登録を行う場合、関連付けを行って"
                    L"おいてください。",
                ErrorCaption);
        return;
    }
    SetRClickMenu(progId, on, menuText, viewerPath, L"." + extension,
                  L" の右クリックメニュー登録に失敗しました。", L" の右クリックメニュー削除に失敗しました。");
}

void SetFolderRClickMenu(bool on, const String& menuText, const String& viewerPath)
{
    SetRClickMenu(L"Folder", on, menuText, viewerPath, L"フォルダの右クリックメニュー",
                  L" の登録に失敗しました。", L" の削除に失敗しました。");
}
