#include "test_decoder.h"

#include "formats/image_loader.h"
#include "foundation/exception.h"
#include "imaging/plane.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

namespace {

std::shared_ptr<Brivox::CFileData> File(const wchar_t* name, const std::string& content)
{
    auto data = std::make_shared<Brivox::CFileData>(name);
    data->GetBytes().assign(content.begin(), content.end());
    return data;
}

std::uint32_t PixelAt(const Brivox::CPlane& plane, int x, int y)
{
    const Brivox::Detail::PlaneBitsLock bits(plane);
    return *reinterpret_cast<const std::uint32_t*>(bits.Pixel(x, y));
}

// The later document tests rely on these readings of a file's line.
TEST(TestDecoder, ReadsTheLineOfATstFile)
{
    TestDecoder::Register();
    TestDecoder::Reset();
    Brivox::CImageLoader loader;
    loader.SetOneShot(true);
    loader.Open(File(L"p.tst", "3 4 80ff0000 alpha"));
    EXPECT_EQ(loader.GetSize().cx, 3);
    EXPECT_EQ(loader.GetSize().cy, 4);
    EXPECT_TRUE(loader.HasAlpha());
    EXPECT_TRUE(TestDecoder::WasOneShot(L"p.tst"));
    Brivox::CMemoryPlane32 plane({3, 4});
    loader.Load(plane, {0, 0});
    EXPECT_EQ(PixelAt(plane, 2, 3), 0x80FF0000u);

    // Six digits are opaque; a failing load leaves the bottom half as it was.
    loader.SetOneShot(false);
    loader.Open(File(L"q.tst", "2 4 00ff00 fail=load"));
    EXPECT_FALSE(loader.HasAlpha());
    Brivox::CMemoryPlane32 half({2, 4});
    {
        const Brivox::Detail::PlaneBitsLock bits(half);
        for (int y = 0; y < 4; ++y)
            std::fill_n(reinterpret_cast<std::uint32_t*>(bits.Pixel(0, y)), 2, 0u);
    }
    EXPECT_THROW(loader.Load(half, {0, 0}), Brivox::ImageLoadException);
    EXPECT_EQ(PixelAt(half, 1, 1), 0xFF00FF00u);
    EXPECT_EQ(PixelAt(half, 1, 2), 0u);

    for (const char* refused : {"2 2 00ff00 fail=open", "2 2 green", "2 2 00ff00 shiny"})
        EXPECT_THROW(loader.Open(File(L"r.tst", refused)), Brivox::ImageLoadException) << refused;
    EXPECT_THROW(loader.Open(File(L"r.png", "2 2 00ff00")), Brivox::ImageLoadException);
    EXPECT_EQ(TestDecoder::OpenCount(L"r.tst"), 3);
}

} // namespace
