#include "formats/archiver.h"
#include "formats/zip_archiver.h"

#include "formats_test_support.h"
#include "foundation/exception.h"
#include "foundation/file_test_support.h"
#include "zip_fixture.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using Brivox::IArchiver;
using Brivox::String;
using FileTestSupport::Ansi;
using FormatsTestSupport::ThrownText;

namespace {

// What one fake format lists and answers, and how often it was asked to open.
struct FakeFormat
{
    std::vector<std::wstring> extensions;
    bool opens = true;
    bool failsToCreate = false;
    bool throwsOnOpen = false;
    int openCalls = 0;
};

class FakeReader : public IArchiver
{
public:
    explicit FakeReader(FakeFormat& format) : m_format(format) {}

    void GetExtensions(std::vector<String>& extensions) override
    {
        for (const std::wstring& extension : m_format.extensions)
            extensions.push_back(String(extension));
    }
    bool Open(std::vector<SEntry>& entries) override
    {
        ++m_format.openCalls;
        if (m_format.throwsOnOpen)
            throw Brivox::RuntimeException(L"reader failed");
        entries.assign(1, SEntry{});
        return m_format.opens;
    }
    void ExtractToFile(unsigned, const String&) override {}
    void ExtractToMemory(unsigned, Brivox::FileBytes&) override {}
    int GetExtractMode() override { return ExtractModePerEntryMemory; }

    FakeFormat& format() { return m_format; }

private:
    FakeFormat& m_format;
};

class FakeFactory : public Brivox::IFactory<IArchiver>
{
public:
    explicit FakeFactory(FakeFormat& format) : m_format(format) {}

    std::shared_ptr<IArchiver> Create() override
    {
        if (m_format.failsToCreate)
            throw Brivox::RuntimeException(L"no back end");
        return std::make_shared<FakeReader>(m_format);
    }

private:
    FakeFormat& m_format;
};

class ArchiverRegistry : public FileTestSupport::TempFolderTest
{
protected:
    void TearDown() override
    {
        Brivox::GetArchiverFactories().Clear();
        TempFolderTest::TearDown();
    }

    void Register(std::vector<FakeFormat*> formats)
    {
        Brivox::FactoryList<IArchiver> list;
        for (FakeFormat* format : formats)
            list.push_back({0, std::make_shared<FakeFactory>(*format)});
        Brivox::GetArchiverFactories().Replace(list);
    }

    static FakeFormat* Opened(const String& path)
    {
        return &dynamic_cast<FakeReader&>(*Brivox::OpenArchiveWithFactories(path)).format();
    }
};

} // namespace

TEST_F(ArchiverRegistry, EmptyRegistryKnowsNoExtensionAndOpensNothing)
{
    EXPECT_TRUE(Brivox::GetArchiveExtensions().empty());
    EXPECT_EQ(ThrownText([] { Brivox::OpenArchiveWithFactories(L"C:\\b\\a.zip"); }),
              Ansi(L"C:\\b\\a.zip の書庫読み込みに失敗しました"));
}

TEST_F(ArchiverRegistry, ExtensionsAreLowerCaseSortedWithComicBookNames)
{
    FakeFormat zipAnd7z{{L"zip", L"7z"}};
    FakeFormat upper{{L"ZIP"}};
    FakeFormat broken{{L"lzh"}};
    broken.failsToCreate = true;
    Register({&zipAnd7z, &upper, &broken});
    EXPECT_EQ((std::vector<String>{L"7z", L"cbz", L"zip"}), Brivox::GetArchiveExtensions());

    FakeFormat rar{{L"Rar"}};
    Register({&rar, &zipAnd7z});
    EXPECT_EQ((std::vector<String>{L"7z", L"cbr", L"cbz", L"rar", L"zip"}), Brivox::GetArchiveExtensions());
}

TEST_F(ArchiverRegistry, FirstReaderThatListsTheExtensionAndOpensTheFileWins)
{
    FakeFormat rar{{L"rar"}};
    FakeFormat refusing{{L"zip"}};
    refusing.opens = false;
    FakeFormat zip{{L"Zip"}};
    FakeFormat laterZip{{L"zip"}};
    Register({&rar, &refusing, &zip, &laterZip});

    EXPECT_EQ(&zip, Opened(L"C:\\b\\a.ZIP"));
    EXPECT_EQ(&zip, Opened(L"C:\\b\\comic.cbz"));
    EXPECT_EQ(&rar, Opened(L"C:\\b\\comic.cbr"));
    EXPECT_EQ(1, rar.openCalls);
    EXPECT_EQ(2, refusing.openCalls);
    EXPECT_EQ(0, laterZip.openCalls);

    const std::string failed = ThrownText([] { Brivox::OpenArchiveWithFactories(L"C:\\b\\noextension"); });
    EXPECT_EQ(failed, Ansi(L"C:\\b\\noextension の書庫読み込みに失敗しました"));
    EXPECT_EQ(ThrownText([] { Brivox::OpenArchiveWithFactories(L"C:\\b\\a.lzh"); }),
              Ansi(L"C:\\b\\a.lzh の書庫読み込みに失敗しました"));

    // A reader that lists "cbz" itself is tried as well, in its place.
    FakeFormat comics{{L"cbz"}};
    Register({&comics, &zip});
    EXPECT_EQ(&comics, Opened(L"C:\\b\\comic.cbz"));
}

TEST_F(ArchiverRegistry, ReaderExceptionsPassThrough)
{
    FakeFormat throwing{{L"zip"}};
    throwing.throwsOnOpen = true;
    FakeFormat zip{{L"zip"}};
    Register({&throwing, &zip});
    EXPECT_EQ(ThrownText([] { Brivox::OpenArchiveWithFactories(L"C:\\a.zip"); }), "reader failed");
    EXPECT_EQ(0, zip.openCalls);
}

// A rebuilt registry leaves readers made from the old one working: the reader keeps its factory.
TEST_F(ArchiverRegistry, OpenedReaderKeepsItsFactoryAcrossARebuild)
{
    FakeFormat zip{{L"zip"}};
    auto factory = std::make_shared<FakeFactory>(zip);
    const std::weak_ptr<FakeFactory> watch = factory;
    Brivox::GetArchiverFactories().Replace({{0, std::move(factory)}});

    std::shared_ptr<IArchiver> reader = Brivox::OpenArchiveWithFactories(L"C:\\a.zip");
    Brivox::GetArchiverFactories().Clear();
    EXPECT_FALSE(watch.expired());
    EXPECT_EQ(String(L"C:\\a.zip"), reader->GetArchivePath());
    EXPECT_EQ(1u, reader->GetEntryCount());
    reader.reset();
    EXPECT_TRUE(watch.expired());
}

TEST_F(ArchiverRegistry, ComicBookZipOpensWithTheBuiltInReader)
{
    Brivox::GetArchiverFactories().Replace(
        {{0, std::make_shared<Brivox::DefaultFactory<Brivox::CZipArchiver, IArchiver>>()}});
    EXPECT_EQ((std::vector<String>{L"cbz", L"zip"}), Brivox::GetArchiveExtensions());

    ZipFixture::Entry page;
    page.name = "001.jpg";
    page.data = "page one";
    const std::string bytes = ZipFixture::Build({page});
    FileTestSupport::WriteBytes(At(L"book.CBZ"), FileTestSupport::Bytes(bytes.begin(), bytes.end()));

    const std::shared_ptr<IArchiver> reader = Brivox::OpenArchiveWithFactories(At(L"book.CBZ"));
    ASSERT_EQ(1u, reader->GetEntryCount());
    EXPECT_EQ(String(L"001.jpg"), reader->GetEntry(0).name);
    Brivox::FileBytes data;
    reader->ExtractToMemory(0, data);
    EXPECT_EQ("page one", std::string(data.begin(), data.end()));
}
