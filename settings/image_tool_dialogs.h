#pragma once
// The image tool dialogs: each sets the parameters of one image operation while the page on show
// previews it, and five of them also edit the automatic filter of the same operation. Every way out
// of a dialog ends its preview: OK keeps the result, every other way restores the page. The resize
// dialog only asks for a size.

#include "document/preview_document.h"
#include "foundation/geometry.h"
#include "foundation/string.h"
#include "settings/tool_dialogs.h"
#include "ui/radio_button_group.h"
#include "ui/resource_dialog.h"

#include <memory>
#include <optional>

namespace Brivox {
class CDib32;
class CFileDialog;
} // namespace Brivox

// What the image tool dialogs need of the main window beyond the other tool dialogs.
class IImageToolDialogOwner : public IToolDialogOwner
{
public:
    virtual IPreviewDocument& GetPreviewDocument() = 0;
    // The file dialog the levels export asks for its path with.
    virtual Brivox::CFileDialog& GetToolFileDialog() = 0;
};

// The track-bar position of a gamma value: floor(ln γ × 100 + 0.5). A γ of 1e-8 or less, or no
// number at all, stands as 1.
int GammaSliderPosition(double gamma);

// The common steps of the previewing dialogs: placement over the owner's client area, the preview
// begun at WM_INITDIALOG, OK and Cancel, and the previews in between. Every way out ends the
// preview: OK keeps the result, every other way restores the page.
class CImageToolDialogBase : public Brivox::CResourceDialogBase
{
public:
    // Cancels a preview still open when the dialog goes without closing properly.
    ~CImageToolDialogBase() override;

    bool HookMessage(Brivox::SMessage& message) override;

protected:
    // verticalDivisor: the dialog sits at 1/verticalDivisor of the room above and below it.
    CImageToolDialogBase(int templateId, IImageToolDialogOwner& owner, int verticalDivisor);

    // The controls filled in, after the placement and the start of the preview; the changes the
    // filling makes preview nothing.
    virtual void OnInitDialog() = 0;
    // Every message but WM_INITDIALOG, OK, Cancel and WM_CLOSE.
    virtual bool OnDialogMessage(Brivox::SMessage& message) = 0;
    virtual void OnOk() = 0;
    // Before the page is restored on the way out without OK.
    virtual void StoreOnCancel() {}
    // The dialog's one operation on the page, with the controls' values.
    virtual void ApplyPreview() = 0;

    IImageToolDialogOwner& Owner() const { return m_owner; }
    IPreviewDocument& Document() const { return m_owner.GetPreviewDocument(); }
    Brivox::CConfig& Settings() const { return m_owner.GetToolDialogSettings(); }
    Brivox::CCtrl Item(int id) const;
    // Whether the controls are filled and their changes preview.
    bool IsReady() const { return m_ready; }
    void SetReady(bool ready) { m_ready = ready; }

    // The page as it was at the start, the operation applied to it, the main window repainted.
    // Nothing once the preview has ended.
    void Preview();
    // OK: the result stays; Cancel: the page as it was. Both repaint.
    void EndPreview();
    void CancelPreview();
    void RepaintOwner() const;
    void Close() const;

    // The dialogs with "画像に反映させる": previews only while it is ticked, the page unchanged
    // while it is not, and OK then makes the result once.
    bool IsReflected() const;
    void PreviewIfReflected();
    void OnReflectClicked();
    // The clicks of "画像に反映させる" and "半透明にする", and the drawing of the graph item from
    // the plane when there is one; false for any other message.
    bool OnCheckOrGraphMessage(Brivox::SMessage& message, Brivox::CPlane32* graph);
    virtual void StoreOnOk() {}
    void OkWithReflect();

private:
    IImageToolDialogOwner& m_owner;
    int m_verticalDivisor;
    bool m_ready = false;
    std::unique_ptr<CPreviewScope> m_preview;
};

class CRotDialog : public CImageToolDialogBase
{
public:
    explicit CRotDialog(IImageToolDialogOwner& owner);

private:
    void OnInitDialog() override;
    bool OnDialogMessage(Brivox::SMessage& message) override;
    void OnOk() override;
    void ApplyPreview() override;
    void OnAngleChanged();
    void OnTrackMoved();

    double m_lastAngle = 0;
};

class CLevelRevDialog : public CImageToolDialogBase
{
public:
    CLevelRevDialog(IImageToolDialogOwner& owner, const Brivox::CRect& selection, bool filterMode);

private:
    void OnInitDialog() override;
    bool OnDialogMessage(Brivox::SMessage& message) override;
    void OnOk() override { OkWithReflect(); }
    void ApplyPreview() override;
    void StoreOnOk() override;
    void StoreOnCancel() override;
    void OnTrackMoved();
    void ExportCsv();

    Brivox::CRect m_selection;
    bool m_filterMode;
    std::shared_ptr<Brivox::CPlane32> m_histogram;
};

class CGammaRevDialog : public CImageToolDialogBase
{
public:
    CGammaRevDialog(IImageToolDialogOwner& owner, const Brivox::CRect& selection, bool filterMode);
    ~CGammaRevDialog() override;

private:
    void OnInitDialog() override;
    bool OnDialogMessage(Brivox::SMessage& message) override;
    void OnOk() override { OkWithReflect(); }
    void ApplyPreview() override;
    void StoreOnOk() override;
    void StoreOnCancel() override;
    void OnGammaChanged();
    void OnTrackMoved();
    // The γ in use: the edit's value, or 1 where that is 1e-8 or less or no number.
    double GetGamma() const;
    void DrawCurve();

    Brivox::CRect m_selection;
    bool m_filterMode;
    std::unique_ptr<Brivox::CDib32> m_curve;
};

class CBrightContrastDialog : public CImageToolDialogBase
{
public:
    CBrightContrastDialog(IImageToolDialogOwner& owner, const Brivox::CRect& selection, bool filterMode);

private:
    void OnInitDialog() override;
    bool OnDialogMessage(Brivox::SMessage& message) override;
    void OnOk() override;
    void ApplyPreview() override;

    Brivox::CRect m_selection;
    bool m_filterMode;
};

class CMosaicDialog : public CImageToolDialogBase
{
public:
    CMosaicDialog(IImageToolDialogOwner& owner, const Brivox::CRect& selection);

private:
    void OnInitDialog() override;
    bool OnDialogMessage(Brivox::SMessage& message) override;
    void OnOk() override;
    void ApplyPreview() override;
    void StoreOnCancel() override;
    Brivox::RadioButtonGroup KindGroup() const;

    Brivox::CRect m_selection;
};

class CAlphaDialog : public CImageToolDialogBase
{
public:
    CAlphaDialog(IImageToolDialogOwner& owner, const Brivox::CRect& selection, bool filterMode);

private:
    void OnInitDialog() override;
    bool OnDialogMessage(Brivox::SMessage& message) override;
    void OnOk() override;
    void ApplyPreview() override;
    void ChooseColour();

    Brivox::CRect m_selection;
    COLORREF m_colour = 0;
    bool m_filterMode;
};

class CGaussDialog : public CImageToolDialogBase
{
public:
    // gauss true: Gaussian blur; false: unsharp mask.
    CGaussDialog(IImageToolDialogOwner& owner, const Brivox::CRect& selection, bool filterMode, bool gauss);

private:
    void OnInitDialog() override;
    bool OnDialogMessage(Brivox::SMessage& message) override;
    void OnOk() override { OkWithReflect(); }
    void ApplyPreview() override;
    void StoreOnOk() override;
    void StoreOnCancel() override;
    void OnValueChanged();
    void OnTrackMoved();

    Brivox::CRect m_selection;
    bool m_filterMode;
    bool m_gauss;
    // "Gauss" or "Unsharp", the middle of the dialog's settings keys.
    Brivox::String m_kindName;
};

// The new pixel size of the page; no preview. Placed over the window it is run over.
class CStretchDialog : public Brivox::CResourceDialogBase
{
public:
    CStretchDialog(const Brivox::CSize& currentSize, bool keepAspect);

    bool HookMessage(Brivox::SMessage& message) override;

    // The size confirmed with OK, each side at least 1; none after Cancel.
    const std::optional<Brivox::CSize>& GetResult() const { return m_result; }
    bool GetKeepAspect() const { return m_keepAspect; }

private:
    // The other side of the new size kept in the current proportion, when keep aspect is on.
    void FollowAspect(int changedId);
    void OnOk();

    Brivox::CSize m_currentSize;
    bool m_keepAspect;
    std::optional<Brivox::CSize> m_result;
};
