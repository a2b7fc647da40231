#include "ui/dialog_tooltip.h"

#include "foundation/encoding.h"
#include "ui/window.h"

#include <commctrl.h>

namespace Brivox {

namespace {

constexpr int MaxTipWidth = 384;
constexpr int TipShowMilliseconds = 30000;

} // namespace

CDialogTooltip& CDialogTooltip::Attach(CWindow& dialog)
{
    auto tooltip = std::make_unique<CDialogTooltip>(Token{}, dialog);
    CDialogTooltip& attached = *tooltip;
    attached.m_self = std::move(tooltip);
    return attached;
}

CDialogTooltip::CDialogTooltip(Token, CWindow& dialog) : m_dialog(dialog.GetHandle())
{
    ::InitCommonControls();
    m_tip = ::CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_dialog, nullptr,
                              ::GetModuleHandleA(nullptr), nullptr);
    if (m_tip) {
        ::PostMessageA(m_tip, TTM_SETMAXTIPWIDTH, 0, MaxTipWidth);
        ::PostMessageA(m_tip, TTM_SETDELAYTIME, TTDT_AUTOPOP, TipShowMilliseconds);
    }
    dialog.GetHookList()->Add(this);
}

CDialogTooltip::~CDialogTooltip()
{
    // The system may have destroyed the owned tip window with its dialog already.
    if (::IsWindow(m_tip))
        ::DestroyWindow(m_tip);
}

void CDialogTooltip::AddTool(int itemId, const String& text)
{
    std::string& stored = m_texts.emplace_back(GetDefaultEncoding().ToMultiByte(text));
    const HWND control = ::GetDlgItem(m_dialog, itemId);
    if (!m_tip || !control)
        return;
    TOOLINFOA tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    // A tip over an edit box is centred below it, where it hides none of the typing.
    if (CWnd(control).GetClassName() == L"Edit")
        tool.uFlags |= TTF_CENTERTIP;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = stored.data();
    ::SendMessageA(m_tip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

bool CDialogTooltip::HookMessage(SMessage& message)
{
    if (message.message == WM_DESTROY && message.hwnd == m_dialog) {
        // Deletes this object; nothing of it is touched afterwards.
        std::unique_ptr<CDialogTooltip> self = std::move(m_self);
    }
    return false;
}

} // namespace Brivox
