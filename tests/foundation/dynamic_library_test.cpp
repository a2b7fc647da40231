#include "foundation/dynamic_library.h"

#include "file_test_support.h"
#include "foundation/exception.h"

using namespace FileTestSupport;
using Brivox::CDynamicLibrary;

namespace {

// Built by the test build and placed next to the test program.
const wchar_t* const testLibrary = L"kanoru_test_library.dll";

bool IsLoaded(const char* name)
{
    return ::GetModuleHandleA(name) != nullptr;
}

} // namespace

TEST(CDynamicLibrary, LoadsAndCallsAnExport)
{
    CDynamicLibrary library(testLibrary, true);
    auto add = library.GetProc<int (*)(int, int)>(L"TestAdd");
    ASSERT_NE(add, nullptr);
    EXPECT_EQ(add(2, 3), 5);
    EXPECT_EQ(library.TryGetProc(L"TestAdd"), reinterpret_cast<void*>(add));
}

TEST(CDynamicLibrary, MissingExportThrowsWithBothNames)
{
    CDynamicLibrary library(testLibrary, true);
    EXPECT_EQ(library.TryGetProc(L"NoSuchExport"), nullptr);
    try {
        library.GetProc(L"NoSuchExport");
        ADD_FAILURE() << "no exception";
    } catch (const Brivox::EntryPointNotFoundException& e) {
        EXPECT_EQ(std::string(e.what()),
                  Ansi(Brivox::String(testLibrary) + L"から 'NoSuchExport' の取得に失敗") + " : " +
                      SystemText(ERROR_PROC_NOT_FOUND));
    }
    // The library stays usable after a failed lookup.
    EXPECT_NE(library.TryGetProc(L"TestAdd"), nullptr);
}

TEST(CDynamicLibrary, MissingLibraryThrows)
{
    const wchar_t* const missing = L"kanoru_no_such_library.dll";
    for (bool load : {true, false}) {
        try {
            CDynamicLibrary library(missing, load);
            ADD_FAILURE() << "no exception";
        } catch (const Brivox::DllNotFoundException& e) {
            EXPECT_EQ(std::string(e.what()), Ansi(Brivox::String(missing) + L"のロードに失敗") + " : " +
                                                 SystemText(ERROR_MOD_NOT_FOUND));
        }
    }
    // Both are Win32Exceptions, so callers can catch the family at once.
    EXPECT_THROW(CDynamicLibrary(missing, true), Brivox::Win32Exception);
}

TEST(CDynamicLibrary, StaysLoadedUntilTheLastOwnerGoes)
{
    const char* name = "kanoru_test_library.dll";
    ASSERT_FALSE(IsLoaded(name));
    auto first = std::make_unique<CDynamicLibrary>(testLibrary, true);
    {
        CDynamicLibrary second(testLibrary, true);
        first.reset();
        EXPECT_TRUE(IsLoaded(name));
        // Made without loading: it borrows the module and never frees it.
        {
            CDynamicLibrary borrowed(testLibrary, false);
        }
        EXPECT_TRUE(IsLoaded(name));
    }
    EXPECT_FALSE(IsLoaded(name));
}

TEST(ErrorModeGuard, NestedGuardsRestoreInReverseOrder)
{
    const UINT before = ::GetErrorMode();
    {
        Brivox::ErrorModeGuard outer(SEM_FAILCRITICALERRORS);
        EXPECT_EQ(::GetErrorMode(), static_cast<UINT>(SEM_FAILCRITICALERRORS));
        {
            Brivox::ErrorModeGuard inner(SEM_NOOPENFILEERRORBOX);
            EXPECT_EQ(::GetErrorMode(), static_cast<UINT>(SEM_NOOPENFILEERRORBOX));
        }
        EXPECT_EQ(::GetErrorMode(), static_cast<UINT>(SEM_FAILCRITICALERRORS));
    }
    EXPECT_EQ(::GetErrorMode(), before);
}
