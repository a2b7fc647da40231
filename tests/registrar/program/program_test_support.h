#pragma once
// Running the registrar program as the viewer does, and watching what it does to the Wine
// prefix's HKEY_CLASSES_ROOT: its hand-off file written in code page 932, its boxes read and
// answered, the keys it may touch kept aside and put back, the whole root exported for comparison.
#include "foundation/win32.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace KanolinkTest {

inline std::string ToCodePage932(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    const int size = ::WideCharToMultiByte(932, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(932, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                          nullptr);
    return bytes;
}

inline std::wstring FromCodePage932(const std::string& bytes)
{
    if (bytes.empty())
        return std::wstring();
    const int size = ::MultiByteToWideChar(932, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(932, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
    return text;
}

// "key = value" CR LF lines in code page 932 without a byte-order mark, as the viewer writes them.
// The default text of a key under HKEY_CLASSES_ROOT; none when the key or its text is missing.
inline std::optional<std::wstring> Value(const std::string& path)
{
    char buffer[1024] = {};
    DWORD size = sizeof(buffer) - 1;
    if (::RegGetValueA(HKEY_CLASSES_ROOT, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, buffer, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return FromCodePage932(buffer);
}

inline void WriteHandOff(const std::wstring& path, const std::map<std::wstring, std::wstring>& keys)
{
    std::string bytes;
    for (const auto& [key, value] : keys)
        bytes += ToCodePage932(key + L" = " + value + L"\r\n");
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
    ASSERT_EQ(bytes.size(), written);
}

// One key with its values and sub-keys, as read from the registry.
struct KeyTree
{
    struct Value
    {
        std::string name;
        DWORD type;
        std::vector<BYTE> data;
    };
    std::vector<Value> values;
    std::vector<std::pair<std::string, KeyTree>> subKeys;
};

// Sub-keys whose contents are not read (nothing below them is read when null).
using SkipSubTree = bool (*)(const std::string& path);

inline std::optional<KeyTree> ReadTree(HKEY parent, const std::string& path, SkipSubTree skip = nullptr)
{
    HKEY key = nullptr;
    if (::RegOpenKeyExA(parent, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    KeyTree tree;
    std::vector<char> name(16384);
    std::vector<BYTE> data(65536);
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD size = static_cast<DWORD>(data.size());
        DWORD type = 0;
        if (::RegEnumValueA(key, i, name.data(), &nameLength, nullptr, &type, data.data(), &size) !=
            ERROR_SUCCESS)
            break;
        tree.values.push_back({std::string(name.data(), nameLength), type,
                               std::vector<BYTE>(data.begin(), data.begin() + size)});
    }
    std::vector<std::string> subKeys;
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        if (::RegEnumKeyExA(key, i, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        subKeys.emplace_back(name.data(), nameLength);
    }
    for (const std::string& subKey : subKeys) {
        if (skip && skip(subKey))
            tree.subKeys.emplace_back(subKey, KeyTree());
        else if (std::optional<KeyTree> child = ReadTree(key, subKey))
            tree.subKeys.emplace_back(subKey, std::move(*child));
    }
    ::RegCloseKey(key);
    return tree;
}

inline void WriteTree(HKEY parent, const std::string& path, const KeyTree& tree)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegCreateKeyExA(parent, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    for (const KeyTree::Value& value : tree.values)
        ::RegSetValueExA(key, value.name.empty() ? nullptr : value.name.c_str(), 0, value.type,
                         value.data.data(), static_cast<DWORD>(value.data.size()));
    for (const auto& [name, child] : tree.subKeys)
        WriteTree(key, name, child);
    ::RegCloseKey(key);
}

inline void Export(const KeyTree& tree, const std::string& path, std::string& out)
{
    out += "[" + path + "]\n";
    for (const KeyTree::Value& value : tree.values) {
        char type[16];
        std::snprintf(type, sizeof(type), "%lu:", static_cast<unsigned long>(value.type));
        out += "\"" + value.name + "\"=" + type + std::string(value.data.begin(), value.data.end()) + "\n";
    }
    for (const auto& [name, child] : tree.subKeys)
        Export(child, path + "\\" + name, out);
}

// Every key and value of HKEY_CLASSES_ROOT as text: equal texts mean an unchanged root. The COM
// registrations (most of the root, and slow to read under Wine) are named but not read: nothing
// that writes associations reaches into them.
inline std::string ExportClassesRoot()
{
    const SkipSubTree comRegistrations = [](const std::string& name) {
        for (const char* com : {"CLSID", "Interface", "TypeLib", "Wow6432Node"})
            if (::lstrcmpiA(name.c_str(), com) == 0)
                return true;
        return false;
    };
    std::string out;
    if (std::optional<KeyTree> root = ReadTree(HKEY_CLASSES_ROOT, "", comRegistrations))
        Export(*root, "HKEY_CLASSES_ROOT", out);
    return out;
}

// Keys of HKEY_CLASSES_ROOT that a test may change: taken away while it runs (so it starts from
// none of them) and put back as they were afterwards.
class SavedClassKeys
{
public:
    explicit SavedClassKeys(std::vector<std::string> paths) : paths_(std::move(paths))
    {
        for (const std::string& path : paths_) {
            saved_.push_back(ReadTree(HKEY_CLASSES_ROOT, path));
            Delete(path);
        }
    }
    ~SavedClassKeys()
    {
        for (std::size_t i = 0; i < paths_.size(); ++i) {
            Delete(paths_[i]);
            if (saved_[i])
                WriteTree(HKEY_CLASSES_ROOT, paths_[i], *saved_[i]);
        }
    }
    SavedClassKeys(const SavedClassKeys&) = delete;
    SavedClassKeys& operator=(const SavedClassKeys&) = delete;

private:
    static void Delete(const std::string& path)
    {
        ::RegDeleteTreeA(HKEY_CLASSES_ROOT, path.c_str());
        ::RegDeleteKeyA(HKEY_CLASSES_ROOT, path.c_str());
    }

    std::vector<std::string> paths_;
    std::vector<std::optional<KeyTree>> saved_;
};

// How a run of the registrar ended, and the texts of the boxes it showed, in order.
struct Outcome
{
    DWORD exitCode = 0;
    std::vector<std::wstring> boxes;
};

namespace Detail {

struct BoxSearch
{
    DWORD processId;
    std::vector<HWND> found;
};

inline BOOL CALLBACK CollectBox(HWND window, LPARAM parameter)
{
    BoxSearch& search = *reinterpret_cast<BoxSearch*>(parameter);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    char className[64] = {};
    ::GetClassNameA(window, className, sizeof(className));
    if (owner == search.processId && std::string(className) == "#32770" && ::IsWindowVisible(window))
        search.found.push_back(window);
    return TRUE;
}

} // namespace Detail

// Starts the program with the command line "program" arguments, as the shell would, reads every
// box it shows (the text of control 0xFFFF) and presses its OK, and waits for the end.
inline Outcome RunProgram(const std::wstring& program, const std::wstring& arguments)
{
    Outcome outcome;
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &info)) {
        ADD_FAILURE() << "could not start the program: error " << ::GetLastError();
        outcome.exitCode = ~0u;
        return outcome;
    }
    ::CloseHandle(info.hThread);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(45);
    std::set<HWND> answered;
    // A box blocks the program until it is answered, so the wait looks for boxes between its
    // checks of the process.
    while (::WaitForSingleObject(info.hProcess, 20) == WAIT_TIMEOUT) {
        Detail::BoxSearch search{info.dwProcessId, {}};
        ::EnumWindows(&Detail::CollectBox, reinterpret_cast<LPARAM>(&search));
        for (auto it = answered.begin(); it != answered.end();)
            it = ::IsWindow(*it) ? std::next(it) : answered.erase(it);
        for (HWND box : search.found) {
            if (!answered.insert(box).second)
                continue;
            wchar_t text[1024] = {};
            ::GetDlgItemTextW(box, 0xFFFF, text, 1024);
            outcome.boxes.push_back(text);
            ::PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "the program did not end within 45 s";
            ::TerminateProcess(info.hProcess, 99);
            ::WaitForSingleObject(info.hProcess, INFINITE);
            break;
        }
    }
    ::GetExitCodeProcess(info.hProcess, &outcome.exitCode);
    ::CloseHandle(info.hProcess);
    return outcome;
}

} // namespace KanolinkTest
