#pragma once
// Handing the association choices to the registrar Kanolink: a file that only this user's viewer
// can have written, the registrar started with administrator rights and waited for, and its
// outcome read back.

#include "foundation/key_value_file.h"
#include "foundation/process.h"
#include "foundation/string.h"

#include <memory>

namespace Brivox {

// What the hand-off needs of the system: where the registrar is, whether the user is an
// administrator, and the start itself. Tests give their own folder, user and starter.
class IRegistrarHost
{
public:
    virtual ~IRegistrarHost() = default;
    // The folder that holds "Kanolink.exe", ending with '\'.
    virtual String GetRegistrarFolder() = 0;
    virtual bool IsUserAdmin() = 0;
    // Empty when the start gave no process handle; throws when the system refuses the start.
    virtual std::shared_ptr<Process> Start(const ProcessStartInfo& startInfo) = 0;
};

// The program folder, the system's administrator test (no when it cannot say) and the shell.
IRegistrarHost& GetSystemRegistrarHost();

// The hand-off file: "rel", 16 hexadecimal digits of the system's cryptographic random source and
// ".cfg" in the user's temporary folder, created new (a file already there is an error and is not
// written into), deleted with the object.
class CAssociationHandOffFile
{
public:
    // Writes the store's lines in the ANSI code page without a byte-order mark. Throws IOException
    // when no random name can be had or the file cannot be created or written.
    explicit CAssociationHandOffFile(const CKeyValueFile& store);
    CAssociationHandOffFile(const String& folder, const CKeyValueFile& store);
    ~CAssociationHandOffFile();
    CAssociationHandOffFile(const CAssociationHandOffFile&) = delete;
    CAssociationHandOffFile& operator=(const CAssociationHandOffFile&) = delete;

    const String& GetPath() const { return m_path; }

private:
    String m_path;
};

// Writes the hand-off file, starts Kanolink on it (through "runas" unless the user is an
// administrator already), waits for its end without a time-out, tells the shell that associations
// changed and deletes the file. Throws RuntimeException "関連付け処理に失敗しました" when the start
// gave no process handle, and "関連付け処理に失敗しました (終了コード " + code + ")" when Kanolink
// ended with any code but 0; the start's own exception passes on. The file is gone in every case.
void RunAssociationRegistrar(const CKeyValueFile& store, IRegistrarHost& host);

} // namespace Brivox
