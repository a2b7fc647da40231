#include "formats/argb_loader.h"
#include "formats/bmp_loader.h"
#include "formats/jpeg_loader.h"
#include "formats/png_loader.h"
#include "image_fixtures.h"

#include "foundation/exception.h"
#include "foundation/file_test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace ImageFixtures;
using Brivox::String;
using FileTestSupport::Ansi;
using FileTestSupport::ReadBytes;
using FileTestSupport::ThrownText;
using FileTestSupport::Tree;

namespace {

// Storage whose pixels cannot be reached: a save fails after its file was opened (the BMP saver
// has written its header by then).
class UnreachableStorage : public Brivox::IPlaneImpl
{
public:
    bool IsValid() const override { return true; }
    void Create(Brivox::CSize, int) override {}
    void Destroy() override {}
    Brivox::CSize GetCapacity() const override { return {8, 8}; }
    bool IsMemoryBacked() const override { return true; }
    bool HasDC() const override { return false; }
    Brivox::SPlaneBits LockBits() override { throw Brivox::RuntimeException(L"画素に届きません"); }
    HDC GetDC() override { return nullptr; }
};

class UnreachablePlane : public Brivox::CPlane
{
public:
    explicit UnreachablePlane(int bitsPerPixel) : CPlane(std::make_unique<UnreachableStorage>(), bitsPerPixel)
    {
    }
};

struct SSaverCase
{
    const char* name;
    std::function<std::unique_ptr<Brivox::IImageSaver>()> make;
    const wchar_t* file;
    // The depth the saver encodes as it stands, without a converted copy.
    int depth;
    // Whether every failure reaches the caller as ImageSaveException with the path.
    bool wrapsFailures;
};

const SSaverCase savers[] = {
    {"bmp", [] { return std::make_unique<Brivox::CBmpSaver>(); }, L"a.bmp", 24, false},
    {"jpeg", [] { return std::make_unique<Brivox::CJpgSaver>(); }, L"a.jpg", 32, true},
    {"png", [] { return std::make_unique<Brivox::CPngSaver>(); }, L"a.png", 24, false},
    {"argb", [] { return std::make_unique<Brivox::CArgbSaver>(); }, L"a.argb", 32, true},
};

class ImageSaverFile : public FileTestSupport::TempFolderTest
{
protected:
    // A file that no saver writes, standing where the save goes.
    Bytes PutOriginal(const wchar_t* file)
    {
        Bytes original(5000);
        for (std::size_t i = 0; i < original.size(); ++i)
            original[i] = static_cast<unsigned char>(i * 7);
        FileTestSupport::WriteBytes(At(file), original);
        return original;
    }

    static std::string Expected(const SSaverCase& c, const String& path, const String& ownFailure)
    {
        return Ansi(c.wrapsFailures ? path + L" の画像保存に失敗しました" : ownFailure);
    }
};

} // namespace

TEST_F(ImageSaverFile, FailedSaveLeavesTheOriginalAndNoTemporaryFile)
{
    for (const SSaverCase& c : savers) {
        const Bytes original = PutOriginal(c.file);
        UnreachablePlane plane(c.depth);
        const auto saver = c.make();
        EXPECT_EQ(Expected(c, At(c.file), L"画素に届きません"), ThrownText([&] {
                      saver->Save(At(c.file), plane, {0, 0, 8, 8});
                  }))
            << c.name;
        EXPECT_EQ(original, ReadBytes(At(c.file))) << c.name;
        EXPECT_EQ(std::vector<std::wstring>{c.file}, Tree(root)) << c.name;
        FileTestSupport::RemoveAll(At(c.file).CStr());
    }
}

TEST_F(ImageSaverFile, SaveOverAnExistingFileReplacesItWhole)
{
    auto plane = MakePlane(16, 8);
    for (const SSaverCase& c : savers) {
        PutOriginal(c.file);
        c.make()->Save(At(c.file), *plane, {0, 0, 16, 8});
        c.make()->Save(At(L"fresh"), *plane, {0, 0, 16, 8});
        const Bytes fresh = ReadBytes(At(L"fresh"));
        EXPECT_LT(fresh.size(), 5000u) << c.name;
        EXPECT_EQ(fresh, ReadBytes(At(c.file))) << c.name;
        EXPECT_EQ((std::vector<std::wstring>{c.file, L"fresh"}), Tree(root)) << c.name;
        FileTestSupport::RemoveAll(At(c.file).CStr());
        FileTestSupport::RemoveAll(At(L"fresh").CStr());
    }
}

TEST_F(ImageSaverFile, ReadOnlyFileIsNotReplaced)
{
    auto plane = MakePlane(16, 8);
    for (const SSaverCase& c : savers) {
        const Bytes original = PutOriginal(c.file);
        FileTestSupport::MakeReadOnly(At(c.file));
        const auto saver = c.make();
        EXPECT_EQ(Expected(c, At(c.file), At(c.file) + L" のオープン・作成に失敗"), ThrownText([&] {
                      saver->Save(At(c.file), *plane, {0, 0, 16, 8});
                  }))
            << c.name;
        EXPECT_EQ(original, ReadBytes(At(c.file))) << c.name;
        EXPECT_TRUE(FileTestSupport::IsReadOnly(At(c.file))) << c.name;
        EXPECT_EQ(std::vector<std::wstring>{c.file}, Tree(root)) << c.name;
        FileTestSupport::RemoveAll(At(c.file).CStr());
    }
}
