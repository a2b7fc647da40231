#pragma once
// The part that the JPEG and PNG decoders share: a library reader that reads the header at Open
// and decodes all rows in one call. Normal mode decodes at Open into an own plane that each Load
// copies; one-shot mode decodes at the one Load straight into the target.

#include "formats/image_loader.h"
#include "imaging/plane.h"

#include <exception>
#include <memory>

namespace Brivox::Detail {

template <class Reader> class CLibraryLoader : public IImageLoader
{
public:
    bool Open(const std::shared_ptr<CFileData>& data, bool oneShot) override
    {
        data_ = data;
        plane_.reset();
        try {
            const auto& bytes = data_->GetBytes();
            if (!reader_.ReadHeader(bytes.data(), bytes.size()))
                return false;
            if (!oneShot) {
                plane_ = std::make_unique<CMemoryPlane32>(GetSize());
                const PlaneBitsLock bits(*plane_);
                reader_.Decode(bits.Top(), bits.Stride());
            }
            return true;
        } catch (const std::exception&) {
            // A damaged file is not this decoder's: the next one may still read it.
            plane_.reset();
            return false;
        }
    }

    CSize GetSize() override { return {reader_.GetWidth(), reader_.GetHeight()}; }

    void Load(CPlane& target, CPoint point, bool oneShot) override
    {
        if (!oneShot) {
            if (!plane_)
                ThrowImageLoadError();
            target.Blit(*plane_, point, {0, 0, plane_->GetWidth(), plane_->GetHeight()});
            return;
        }
        try {
            DecodeIntoPlane(target, point, OutputSize(), [this](std::uint8_t* top, std::ptrdiff_t stride) {
                reader_.Decode(top, stride);
            });
        } catch (const std::exception&) {
            ThrowImageLoadError();
        }
    }

protected:
    // The size a one-shot Load draws.
    virtual CSize OutputSize() { return GetSize(); }

    Reader reader_;

private:
    // Normal mode: the decoded image.
    std::unique_ptr<CMemoryPlane32> plane_;
    // The bytes the reader points into, read by a one-shot Load long after Open.
    std::shared_ptr<CFileData> data_;
};

} // namespace Brivox::Detail
