#pragma once
// Fixtures for the registrar's in-process tests: a private HKEY_CLASSES_ROOT, plain system calls to
// seed and read it (so the checks do not lean on the code under test), and the boxes that the code
// would show, recorded instead.
#include "foundation/file_test_support.h"
#include "foundation/message_box.h"
#include "foundation/registry_test_support.h"
#include "foundation/win32.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace RegistrarTestSupport {

struct Box
{
    std::string text;
    std::string caption;
    UINT style;
};

// Every box shown while it lives, answered at once.
class BoxRecorder
{
public:
    BoxRecorder() { previous_ = Brivox::SetMessageBoxHook(&Record); }
    ~BoxRecorder()
    {
        Brivox::SetMessageBoxHook(previous_);
        Boxes().clear();
    }
    BoxRecorder(const BoxRecorder&) = delete;
    BoxRecorder& operator=(const BoxRecorder&) = delete;

    static std::vector<Box>& Boxes()
    {
        static std::vector<Box> boxes;
        return boxes;
    }
    // The texts of the boxes shown so far.
    static std::vector<std::string> Texts()
    {
        std::vector<std::string> texts;
        for (const Box& box : Boxes())
            texts.push_back(box.text);
        return texts;
    }

private:
    static int Record(HWND, const char* text, const char* caption, UINT style)
    {
        Boxes().push_back({text, caption, style});
        return IDOK;
    }

    Brivox::MessageBoxHook previous_ = nullptr;
};

// A private HKEY_CLASSES_ROOT with ANSI-text helpers.
class PrivateClasses : public RegistryTestSupport::PrivateClassesRoot
{
public:
    static bool KeyExists(const std::string& path)
    {
        HKEY key = nullptr;
        if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        ::RegCloseKey(key);
        return true;
    }
    // A key's value (the default value for an empty name); nothing when the key or value is missing.
    static std::optional<std::string> Value(const std::string& path, const char* name = "")
    {
        char buffer[1024] = {};
        DWORD size = sizeof(buffer) - 1;
        if (::RegGetValueA(HKEY_CLASSES_ROOT, path.c_str(), *name ? name : nullptr, RRF_RT_REG_SZ, nullptr,
                           buffer, &size) != ERROR_SUCCESS)
            return std::nullopt;
        return std::string(buffer);
    }
    // The names of a key's sub-keys in the order the registry gives them.
    static std::vector<std::string> SubKeys(const std::string& path)
    {
        std::vector<std::string> names;
        HKEY key = nullptr;
        if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return names;
        char name[256];
        for (DWORD i = 0;; ++i) {
            DWORD length = sizeof(name);
            if (::RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            names.emplace_back(name, length);
        }
        ::RegCloseKey(key);
        return names;
    }
};

} // namespace RegistrarTestSupport
