#pragma once
// The registrar's single association items: each writes or removes one association or verb and
// shows its own box when that fails, so one bad item never stops the run.

#include "foundation/string.h"

// The names the registrar writes under HKEY_CLASSES_ROOT.
inline const wchar_t* const ImageClassProgId = L"zo2-img-files";
inline const wchar_t* const BookmarkClassProgId = L"zo2-bkmk-files";
inline const wchar_t* const OpenVerb = L"open-by-zo2";
inline const wchar_t* const ErrorCaption = L"エラー";

// A box without owner, on top of every window, that the user has to answer.
void ShowErrorBox(const Brivox::String& text, const Brivox::String& caption);

// The command that opens a file with the viewer: its path and "%1", each between double quotes.
Brivox::String MakeOpenCommand(const Brivox::String& viewerPath);

// Associates the extension with the image class (on) or takes that association away (off). Sets
// associated only when an association was written.
void SetExtRelation(const Brivox::String& extension, bool on, bool& associated);
// Adds or removes the verb of the ProgID that owns the extension now; an extension without one
// gets no verb.
void SetExtRClickMenu(const Brivox::String& extension, bool on, const Brivox::String& menuText,
                      const Brivox::String& viewerPath);
// Adds or removes the verb of the class "Folder".
void SetFolderRClickMenu(bool on, const Brivox::String& menuText, const Brivox::String& viewerPath);
