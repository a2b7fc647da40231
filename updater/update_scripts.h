#pragma once
// The two scripts that put downloaded files in place of the program's own once the program has
// exited: "$update$.bat" calls "$movefile$.bat" for each entry, which retries its move about once
// a second for up to two minutes; then it records the installation, starts the program again and
// removes the update's temporary folder.

#include "foundation/string.h"
#include "updater/batch_file.h"

#include <vector>

namespace Brivox {

// One installation entry: Src below the temporary folder ('/' or '\'), Dst a folder relative to
// the program folder.
struct UpdateScriptEntry
{
    String Src;
    String Dst;
};

// True when the text, written in double quotes into a script, reaches the command processor
// exactly as it is: none of '"', '%', '&', '^', '!', '|', '<', '>' nor a control character, an
// exact form in the ANSI code page and, when the command processor's (OEM) code page differs from
// it, nothing outside ASCII.
bool IsSafeScriptArgument(const String& text);

class CUpdateScripts
{
public:
    // temporaryFolder ends with '\' and lies directly in the program folder. Every argument of
    // both scripts is checked here: the first that is not safe throws RuntimeException
    // "'" + argument + "' は更新に使用できないファイル名です", so nothing is written for it.
    CUpdateScripts(const String& temporaryFolder, const String& programFolder, const String& executablePath,
                   const std::vector<UpdateScriptEntry>& entries);

    const String& GetMoveFilePath() const { return m_moveFilePath; }
    const String& GetUpdatePath() const { return m_updatePath; }
    const CBatchFile& GetMoveFile() const { return m_moveFile; }
    const CBatchFile& GetUpdate() const { return m_update; }

    // Writes both scripts into the temporary folder.
    void Save() const;
    // Save, then starts "$update$.bat", which waits for the program to exit by retrying.
    void SaveAndRun() const;

private:
    String m_moveFilePath;
    String m_updatePath;
    CBatchFile m_moveFile;
    CBatchFile m_update;
};

} // namespace Brivox
