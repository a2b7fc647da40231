#pragma once

#include "foundation/string.h"

namespace Brivox {

// The program folder (from the narrow module file name), ending in a separator. Throws
// RuntimeException when the path holds no separator.
String GetExecutableDirectory();
String GetCurrentDirectoryString();
// The current folder ending in '\'.
String GetCurrentDirectoryWithSeparator();
bool SetCurrentDirectoryString(const String& path);

// Puts the process's current folder back, on every way out, to what it was when made.
class CurrentDirectoryKeeper
{
public:
    CurrentDirectoryKeeper() : saved_(GetCurrentDirectoryString()) {}
    ~CurrentDirectoryKeeper() { SetCurrentDirectoryString(saved_); }
    CurrentDirectoryKeeper(const CurrentDirectoryKeeper&) = delete;
    CurrentDirectoryKeeper& operator=(const CurrentDirectoryKeeper&) = delete;

private:
    String saved_;
};

// %VAR% references replaced by the system; variables that are not set stay as written. Throws
// Win32Exception when the system cannot expand the text.
String ExpandEnvironmentInPath(const String& text);
String ExpandEnvironmentStringsW(const String& text);
String ExpandEnvironmentStringsA(const String& text);

// A file or folder name after resolution: environment references expanded, a relative name made
// absolute against a base folder, whole "." and ".." segments applied and '/' turned into '\'.
// Both '\' and '/' count as separators in every operation. Nothing touches the file system.
class CFileName
{
public:
    // Only expanded, with '/' turned into '\'.
    explicit CFileName(const String& name);
    // Resolved against base; an empty base acts as none.
    CFileName(const String& name, const String& base);
    static CFileName FromExecutableDirectory(const String& name);
    static CFileName FromCurrentDirectory(const String& name);

    static String Resolve(const String& name, const String& base);
    // The program folder, read once.
    static const String& ExecutableDirectory();
    // The process's current folder at the time of the call.
    static String CurrentDirectory();

    const String& ToString() const noexcept { return path_; }
    operator const String&() const noexcept { return path_; }

    // False for "C:..." and "\\..." names of 3 or more characters; true otherwise.
    static bool IsRelative(const String& path);
    // Ends with '\' or '/': the path names a folder.
    static bool EndsWithSeparator(const String& path);
    static int FindLastSeparator(const String& path);
    // The last '.' with no separator after it, else -1.
    static int FindExtensionDot(const String& path);
    // Up to and including the last separator.
    static String GetDirectory(const String& path);
    static String GetFileName(const String& path);
    static String GetExtension(const String& path);
    static String GetLowerExtension(const String& path);
    static String GetFileNameWithoutExtension(const String& path);
    // extension is given without its dot; an empty one removes the extension.
    static String ChangeExtension(const String& path, const String& extension);
    // Drops one trailing separator, but a drive root "C:\" stays.
    static String TrimTrailingSeparator(const String& path);
    // Drops one trailing separator, also from a drive root.
    static String RemoveTrailingSeparator(const String& path);
    static String AppendSeparator(const String& path);
    static String ToBackslashes(const String& path);
    static String GetParent(const String& path);
    // The name of the folder that holds path.
    static String GetParentFolderName(const String& path);

    bool IsRelative() const { return IsRelative(path_); }
    int FindLastSeparator() const { return FindLastSeparator(path_); }
    int FindExtensionDot() const { return FindExtensionDot(path_); }
    String GetDirectory() const { return GetDirectory(path_); }
    String GetFileName() const { return GetFileName(path_); }
    String GetExtension() const { return GetExtension(path_); }
    String GetLowerExtension() const { return GetLowerExtension(path_); }
    String GetFileNameWithoutExtension() const { return GetFileNameWithoutExtension(path_); }
    String ChangeExtension(const String& extension) const { return ChangeExtension(path_, extension); }
    String WithoutTrailingSeparator() const { return TrimTrailingSeparator(path_); }
    String RemoveTrailingSeparator() const { return RemoveTrailingSeparator(path_); }
    String WithSeparator() const { return AppendSeparator(path_); }
    String GetParent() const { return GetParent(path_); }
    String GetParentFolderName() const { return GetParentFolderName(path_); }

private:
    String path_;
};

} // namespace Brivox
