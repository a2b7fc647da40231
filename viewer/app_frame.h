#pragma once
// The outermost layer of the viewer: the frame that runs the program inside one exception guard
// and shows the fatal error box, the program's arguments, and the build number.

#include "foundation/string.h"
#include "foundation/win32.h"

#include <exception>
#include <vector>

namespace Brivox {

int GetBuildNumber();
// "build-" and the build number.
String GetBuildString();

// The process's arguments without the program path, in command-line order.
class CCommandLine
{
public:
    // Empty when the entry routine's command line is absent or empty; the process command line is
    // read only otherwise.
    explicit CCommandLine(const char* entryCommandLine);
    // The same split of a given process command line (the program path first).
    CCommandLine(const char* entryCommandLine, const String& processCommandLine);

    int GetCount() const { return static_cast<int>(m_arguments.size()); }
    const String& GetArgument(int index) const { return m_arguments[static_cast<std::size_t>(index)]; }
    // The argument resolved against the base folder (%VAR%, relative names, "." and ".."), with
    // a trailing '\' when it names an existing folder.
    String GetPath(int index, const String& baseFolder) const;

private:
    std::vector<String> m_arguments;
};

class CAppFrameBase
{
public:
    CAppFrameBase() = default;
    CAppFrameBase(const CAppFrameBase&) = delete;
    CAppFrameBase& operator=(const CAppFrameBase&) = delete;

    void Init(HINSTANCE instance, HINSTANCE previousInstance, const char* commandLine, int showCommand);
    // Run inside the guard: an escaping standard exception shows the fatal box and ends the
    // program with exit code 1.
    int Execute();

protected:
    virtual void OnError(const std::exception& error);
    virtual int Run() = 0;
    ~CAppFrameBase() = default;

    HINSTANCE m_instance = nullptr;
    HINSTANCE m_previousInstance = nullptr;
    const char* m_commandLine = nullptr;
    int m_showCommand = SW_SHOWNORMAL;
};

} // namespace Brivox

// What the arguments ask for: the version file, the settings base name and the paths to open.
struct SStartArguments
{
    bool writeVersion = false;
    Brivox::String baseName = L"Kanoru";
    std::vector<Brivox::String> paths;
};

// "/version" ends the reading at once; "/cfg:" sets the base name (a later one wins); every other
// argument is a path resolved against the current folder.
SStartArguments ReadStartArguments(const Brivox::CCommandLine& commandLine,
                                   const Brivox::String& currentFolder);

// "version.txt" in the program folder: the build number in UTF-16LE with a byte-order mark.
void WriteVersionFile();

class CAppFrame final : public Brivox::CAppFrameBase
{
protected:
    int Run() override;
};
