#include "formats/file_data.h"

#include "foundation/exception.h"
#include "foundation/file_test_support.h"

#include <gtest/gtest.h>

using Brivox::CExistFileData;

class FileData : public FileTestSupport::TempFolderTest
{
};

TEST_F(FileData, ReadsTheWholeFileAtConstruction)
{
    const FileTestSupport::Bytes bytes = {0, 1, 0xFF, 'B', 'M'};
    FileTestSupport::WriteBytes(At(L"画像.bmp"), bytes);
    const CExistFileData data(At(L"画像.bmp"));
    EXPECT_EQ(At(L"画像.bmp"), data.GetName());
    EXPECT_EQ(bytes, FileTestSupport::Bytes(data.GetBytes().begin(), data.GetBytes().end()));

    FileTestSupport::WriteBytes(At(L"empty"), {});
    const CExistFileData empty(At(L"empty"));
    EXPECT_EQ(At(L"empty"), empty.GetName());
    EXPECT_TRUE(empty.GetBytes().empty());
}

TEST_F(FileData, MissingFileThrowsWithItsPath)
{
    try {
        CExistFileData data(At(L"missing.jpg"));
        FAIL();
    } catch (const Brivox::IOException& e) {
        EXPECT_EQ(FileTestSupport::Ansi(At(L"missing.jpg") + L" が開けませんでした"), e.what());
    }
}
