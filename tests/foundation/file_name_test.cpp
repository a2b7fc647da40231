#include "foundation/exception.h"
#include "foundation/file_name.h"
#include "foundation/win32.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Brivox::CFileName;
using Brivox::String;

std::wstring W(const String& s)
{
    return std::wstring(s.CStr(), s.Length());
}

struct ResolveCase
{
    const wchar_t* name;
    const wchar_t* base;
    const wchar_t* expected;
};

// Sets an environment variable for the life of the object.
class ScopedVariable
{
public:
    ScopedVariable(const wchar_t* name, const String& value) : name_(name)
    {
        ::SetEnvironmentVariableW(name, value.CStr());
    }
    ~ScopedVariable() { ::SetEnvironmentVariableW(name_, nullptr); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const wchar_t* name_;
};

using CurrentFolderKeeper = Brivox::CurrentDirectoryKeeper;

} // namespace

TEST(CFileName, ResolvesAgainstTheBaseFolder)
{
    const ResolveCase cases[] = {
        {L"x.txt", L"C:\\base", L"C:\\base\\x.txt"},
        {L"sub/x.txt", L"C:\\base", L"C:\\base\\sub\\x.txt"},
        {L".\\x.txt", L"C:\\base", L"C:\\base\\x.txt"},
        {L"..\\x.txt", L"C:\\base", L"C:\\x.txt"},
        {L"..\\..\\x.txt", L"C:\\base", L"C:\\x.txt"},
        {L"a/b/../../c", L"C:\\base\\", L"C:\\base\\c"},
        {L"D:\\y.txt", L"C:\\base", L"D:\\y.txt"},
        {L"D:/y/z.txt", L"C:\\base", L"D:\\y\\z.txt"},
        {L"\\\\srv\\share/a", L"C:\\base", L"\\\\srv\\share\\a"},
        {L"C:", L"C:\\base", L"C:\\base\\C:"},
        {L"ab", L"C:\\base", L"C:\\base\\ab"},
        {L"a\\\\b", L"C:\\base", L"C:\\base\\a\\\\b"},
        {L"dir\\..", L"C:\\base", L"C:\\base\\dir\\.."},
        {L"..\\y", L"x", L"..\\y"},
        {L"a/b", L"", L"a\\b"},
        // Dots belong to a name unless they make up the whole segment.
        {L"a.\\b", L"C:\\base", L"C:\\base\\a.\\b"},
        {L"x..\\y", L"C:\\base", L"C:\\base\\x..\\y"},
        {L".a\\..b\\c", L"C:\\base", L"C:\\base\\.a\\..b\\c"},
        {L"a\\b.\\..\\c", L"C:\\base", L"C:\\base\\a\\c"},
        // A rooted name starts at the root of the base's drive or share.
        {L"\\a", L"C:\\base", L"C:\\a"},
        {L"/a/b", L"C:\\base\\sub", L"C:\\a\\b"},
        {L"\\..\\a", L"C:\\base", L"C:\\a"},
        {L"\\a", L"\\\\srv\\share\\dir", L"\\\\srv\\share\\a"},
        // ".." stops at a share's root as at a drive's.
        {L"..\\..\\..\\x", L"\\\\srv\\share\\dir", L"\\\\srv\\share\\x"},
    };
    for (const ResolveCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "name " << c.name << ", base " << c.base);
        EXPECT_EQ(W(CFileName(c.name, c.base)), c.expected);
    }
}

TEST(CFileName, ExpandsEnvironmentReferences)
{
    // Longer than the first buffer: the expansion must ask again with the size the system needs.
    const String longFolder = L"C:\\" + String(L'd', 597);
    ScopedVariable folder(L"KANORU_TEST_FOLDER", longFolder);
    ScopedVariable name(L"KANORU_TEST_NAME", L"名前");

    EXPECT_EQ(W(CFileName(L"%KANORU_TEST_FOLDER%\\x.txt", L"D:\\base")), W(longFolder + L"\\x.txt"));
    EXPECT_EQ(W(CFileName(L"sub/%KANORU_TEST_NAME%.txt")), L"sub\\名前.txt");
    EXPECT_EQ(W(CFileName(L"%KANORU_TEST_NOT_SET%/x", L"D:\\base")), L"D:\\base\\%KANORU_TEST_NOT_SET%\\x");
}

TEST(CFileName, CurrentFolderIsReadAtEachCall)
{
    CurrentFolderKeeper keeper;
    wchar_t windows[MAX_PATH];
    wchar_t system[MAX_PATH];
    ASSERT_GT(::GetWindowsDirectoryW(windows, MAX_PATH), 0u);
    ASSERT_GT(::GetSystemDirectoryW(system, MAX_PATH), 0u);

    for (const wchar_t* folder : {windows, system}) {
        ASSERT_TRUE(Brivox::SetCurrentDirectoryString(folder));
        const std::wstring expected = std::wstring(folder) + L"\\";
        EXPECT_EQ(W(CFileName::CurrentDirectory()), expected);
        EXPECT_EQ(W(CFileName::FromCurrentDirectory(L"a\\..\\x.txt")), expected + L"x.txt");
    }
}

TEST(CFileName, ExecutableDirectoryHoldsTheRunningProgram)
{
    wchar_t path[MAX_PATH];
    ASSERT_GT(::GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
    const String folder = CFileName::ExecutableDirectory();
    EXPECT_EQ(W(folder + CFileName::GetFileName(path)), path);
    EXPECT_EQ(W(CFileName::FromExecutableDirectory(L"Kanoru.cfg")), W(folder + L"Kanoru.cfg"));
}

TEST(CFileName, PathOperations)
{
    struct Case
    {
        String (*operation)(const String&);
        const char* name;
        const wchar_t* path;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {CFileName::GetDirectory, "GetDirectory", L"C:\\a\\b.txt", L"C:\\a\\"},
        {CFileName::GetDirectory, "GetDirectory", L"b.txt", L""},
        {CFileName::GetDirectory, "GetDirectory", L"C:/a/b.txt", L"C:/a/"},
        {CFileName::GetFileName, "GetFileName", L"C:\\a\\", L""},
        {CFileName::GetFileName, "GetFileName", L"C:\\a\\b.txt", L"b.txt"},
        {CFileName::GetFileName, "GetFileName", L"b.txt", L"b.txt"},
        {CFileName::GetExtension, "GetExtension", L"a.b.txt", L"txt"},
        {CFileName::GetExtension, "GetExtension", L"C:\\x.y\\file", L""},
        {CFileName::GetExtension, "GetExtension", L"file.", L""},
        {CFileName::GetExtension, "GetExtension", L".cfg", L"cfg"},
        {CFileName::GetLowerExtension, "GetLowerExtension", L"C:\\A.JPG", L"jpg"},
        {CFileName::GetFileNameWithoutExtension, "GetFileNameWithoutExtension", L"C:\\a\\b.tar.gz", L"b.tar"},
        {CFileName::GetFileNameWithoutExtension, "GetFileNameWithoutExtension", L"C:\\a\\.cfg", L""},
        {CFileName::GetFileNameWithoutExtension, "GetFileNameWithoutExtension", L"C:\\a.b\\c", L"c"},
        {CFileName::TrimTrailingSeparator, "TrimTrailingSeparator", L"C:\\a\\", L"C:\\a"},
        {CFileName::TrimTrailingSeparator, "TrimTrailingSeparator", L"C:\\", L"C:\\"},
        {CFileName::TrimTrailingSeparator, "TrimTrailingSeparator", L"\\", L""},
        {CFileName::RemoveTrailingSeparator, "RemoveTrailingSeparator", L"C:\\", L"C:"},
        {CFileName::AppendSeparator, "AppendSeparator", L"C:\\a", L"C:\\a\\"},
        {CFileName::AppendSeparator, "AppendSeparator", L"C:/a/", L"C:/a/"},
        {CFileName::AppendSeparator, "AppendSeparator", L"", L""},
        {CFileName::ToBackslashes, "ToBackslashes", L"a/b\\c/", L"a\\b\\c\\"},
        {CFileName::GetParent, "GetParent", L"C:\\a\\b\\", L"C:\\a\\"},
        {CFileName::GetParent, "GetParent", L"C:\\a", L"C:\\"},
        {CFileName::GetParent, "GetParent", L"C:\\", L""},
        {CFileName::GetParent, "GetParent", L"a", L""},
        {CFileName::GetParentFolderName, "GetParentFolderName", L"C:\\a\\b\\c.txt", L"b"},
        {CFileName::GetParentFolderName, "GetParentFolderName", L"C:\\c.txt", L""},
        {CFileName::GetParentFolderName, "GetParentFolderName", L"\\\\srv\\share\\x", L"share"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << " of " << c.path);
        EXPECT_EQ(W(c.operation(c.path)), c.expected);
    }
}

TEST(CFileName, ChangeExtension)
{
    const ResolveCase cases[] = {
        // name: the path, base: the new extension
        {L"C:\\a\\b.txt", L"png", L"C:\\a\\b.png"},
        {L"C:\\a\\b.txt", L"", L"C:\\a\\b"},
        {L"C:\\a\\b", L"png", L"C:\\a\\b.png"},
        {L"C:\\a\\b", L"", L"C:\\a\\b"},
        {L".cfg", L"x", L".cfg.x"},
        {L"file.", L"x", L"file.x"},
        {L"C:\\a.d\\b", L"png", L"C:\\a.d\\b.png"},
    };
    for (const ResolveCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << " to " << c.base);
        EXPECT_EQ(W(CFileName::ChangeExtension(c.name, c.base)), c.expected);
    }
}

TEST(CFileName, IsRelative)
{
    struct Case
    {
        const wchar_t* path;
        bool relative;
    };
    const Case cases[] = {
        {L"", true},      {L"C:", true},   {L"ab", true},     {L"\\a", true},      {L"\\\\", true},
        {L"C:\\", false}, {L"C:x", false}, {L"\\\\a", false}, {L"//srv/x", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CFileName::IsRelative(c.path), c.relative) << c.path;
}

TEST(CFileName, MemberFormsMatchTheTextForms)
{
    const CFileName name(L"%KANORU_UNSET_FOR_TEST%/b.Txt", L"C:\\base");
    EXPECT_EQ(W(name), L"C:\\base\\%KANORU_UNSET_FOR_TEST%\\b.Txt");
    EXPECT_EQ(W(name.GetDirectory()), L"C:\\base\\%KANORU_UNSET_FOR_TEST%\\");
    EXPECT_EQ(W(name.GetLowerExtension()), L"txt");
    EXPECT_EQ(W(name.GetParentFolderName()), L"%KANORU_UNSET_FOR_TEST%");
    EXPECT_EQ(W(name.WithSeparator()), W(name) + L"\\");
    EXPECT_EQ(W(CFileName(L"C:\\a\\", L"").WithoutTrailingSeparator()), L"C:\\a");
}
