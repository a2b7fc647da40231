#pragma once
// The document as the image tool dialogs see it: the preview protocol, the operations they preview
// and the levels measurements. The dialogs know nothing more of the document, so tests can give
// them a recording stand-in.

#include "foundation/geometry.h"
#include "foundation/string.h"
#include "foundation/win32.h"
#include "imaging/plane.h"

#include <memory>

class IPreviewDocument
{
public:
    IPreviewDocument() = default;
    IPreviewDocument(const IPreviewDocument&) = delete;
    IPreviewDocument& operator=(const IPreviewDocument&) = delete;
    virtual ~IPreviewDocument() = default;

    // Begin keeps a copy of the page; Restore puts it back; End keeps what the page shows and
    // Cancel restores it, both ending the preview.
    virtual void BeginPreview() = 0;
    virtual void RestorePreview() = 0;
    virtual void EndPreview() = 0;
    virtual void CancelPreview() = 0;

    virtual void RotateByAngle(double angle) = 0;
    virtual void RotateByAnglePreview(double angle) = 0;
    virtual void ApplyLevels(const Brivox::CRect& selection, int low, int high) = 0;
    virtual void ApplyGamma(const Brivox::CRect& selection, double gamma) = 0;
    virtual void ApplyBrightContrast(const Brivox::CRect& selection, int brightness, int contrast) = 0;
    virtual void ApplyMosaic(const Brivox::CRect& selection, int blockSize, int kind) = 0;
    virtual void ApplyAlpha(const Brivox::CRect& selection, COLORREF colour, bool onlyWithAlpha) = 0;
    virtual void ApplyGauss(const Brivox::CRect& selection, double radius) = 0;
    virtual void ApplyUnsharp(const Brivox::CRect& selection, double value) = 0;

    virtual std::shared_ptr<Brivox::CPlane32> GetLevelHistogram(const Brivox::CRect& selection,
                                                                const Brivox::CSize& graphSize, double& mean,
                                                                double& deviation) = 0;
    virtual void WriteLevelCsv(const Brivox::CRect& selection, const Brivox::String& path) = 0;
    virtual Brivox::String GetCurrentPathOrDefault() const = 0;
};

// A tool dialog's preview: begun with the scope, cancelled with it unless ended first.
class CPreviewScope
{
public:
    explicit CPreviewScope(IPreviewDocument& document) : m_document(&document) { m_document->BeginPreview(); }
    ~CPreviewScope()
    {
        if (!m_document)
            return;
        try {
            m_document->CancelPreview();
        } catch (...) {
            // A destructor may not throw; the page keeps whatever the failed restore left.
        }
    }
    CPreviewScope(const CPreviewScope&) = delete;
    CPreviewScope& operator=(const CPreviewScope&) = delete;

    // Keeps the previewed result.
    void End()
    {
        IPreviewDocument* document = m_document;
        m_document = nullptr;
        document->EndPreview();
    }
    // Discards it now.
    void Cancel()
    {
        IPreviewDocument* document = m_document;
        m_document = nullptr;
        document->CancelPreview();
    }

private:
    IPreviewDocument* m_document;
};
