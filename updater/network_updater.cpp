#include "updater/network_updater.h"

#include "formats/archiver.h"
#include "formats/zip_archiver.h"
#include "foundation/command_line.h"
#include "foundation/encoding.h"
#include "foundation/exception.h"
#include "foundation/file_name.h"
#include "foundation/file_system.h"
#include "foundation/key_value_file.h"
#include "foundation/md5.h"
#include "foundation/text_file.h"
#include "foundation/thread_pool.h"
#include "updater/batch_file.h"
#include "updater/update_scripts.h"
#include "updater/web_client.h"

#include <algorithm>
#include <set>

namespace Brivox {

const wchar_t InstalledRecordName[] = L"$installed$.cfg";

namespace {

const int infoMode = 0;
const int updateMode = 1;

[[noreturn]] void RefuseName(const String& name)
{
    throw RuntimeException(L"'" + name + L"' は更新に使用できないファイル名です");
}

bool IsSeparator(wchar_t ch)
{
    return ch == L'\\' || ch == L'/';
}

// The part after the last separator, '/' or '\'.
String LastPart(const String& name)
{
    int start = name.Length();
    while (start > 0 && !IsSeparator(name[start - 1]))
        --start;
    return name.Substring(start);
}

// The names of the scripts and of the installation record: a download under one of them would
// replace what the update itself writes. The system drops trailing dots and spaces, and ignores
// case.
bool IsReservedUpdateName(const String& name)
{
    String last = LastPart(name);
    int length = last.Length();
    while (length > 0 && (last[length - 1] == L'.' || last[length - 1] == L' '))
        --length;
    last = last.Substring(0, length);
    for (const wchar_t* reserved : {L"$movefile$.bat", L"$update$.bat", InstalledRecordName}) {
        if (last.EqualsIgnoreCase(reserved))
            return true;
    }
    return false;
}

// A name that must lead to a place below the folder. Checked as written, before anything
// resolves it: resolving would expand %VAR% and collapse "..".
void CheckNameInside(const String& name, const String& folder)
{
    if (IsReservedUpdateName(name) || !IsArchiveEntryNameSafe(name, folder))
        RefuseName(name);
}

// An empty destination or "." is the program folder itself.
bool IsFolderItself(const String& name)
{
    const String trimmed = name.Length() > 0 && IsSeparator(name[name.Length() - 1])
                               ? name.Substring(0, name.Length() - 1)
                               : name;
    return trimmed.Length() == 0 || trimmed == String(L".");
}

// The destination folder of an entry, ending with '\'.
String DestinationFolder(const String& dst, const String& programFolder)
{
    if (IsFolderItself(dst))
        return programFolder;
    return CFileName::AppendSeparator(CFileName(dst, programFolder));
}

// Every name of the description, before anything is written for it.
void CheckDescriptionNames(const UpdateInfo& description, const String& temporaryFolder,
                           const String& programFolder)
{
    for (const UpdateFileEntry& file : description.files)
        CheckNameInside(file.name, temporaryFolder);
    for (const UpdateEntry& entry : description.entries) {
        CheckNameInside(entry.src, temporaryFolder);
        if (!IsFolderItself(entry.dst))
            CheckNameInside(entry.dst, programFolder);
    }
}

bool IsMd5Text(const String& text)
{
    if (text.Length() != 32)
        return false;
    for (int i = 0; i < text.Length(); ++i) {
        const wchar_t ch = text[i];
        if (!((ch >= L'0' && ch <= L'9') || (ch >= L'a' && ch <= L'f')))
            return false;
    }
    return true;
}

// prefix + "File", decimal digits, "MD5".
bool IsInstalledMd5Key(const String& key, const String& prefix)
{
    const String head = prefix + L"File";
    const String tail = L"MD5";
    const int digits = key.Length() - head.Length() - tail.Length();
    if (digits < 1 || key.Compare(0, head, 0, head.Length(), 0) != 0 || !key.EndsWith(tail))
        return false;
    for (int i = head.Length(); i < head.Length() + digits; ++i) {
        if (key[i] < L'0' || key[i] > L'9')
            return false;
    }
    return true;
}

// Up to and including the last '/'.
String FolderOfAddress(const String& address)
{
    int end = address.Length();
    while (end > 0 && address[end - 1] != L'/')
        --end;
    return address.Substring(0, end);
}

String MessageOf(const std::exception& e)
{
    return GetDefaultEncoding().ToString(e.what());
}

// Clears the request that a cancel would abort, on every way out of a download.
class RequestScope
{
public:
    RequestScope(std::mutex& lock, CHttpClient*& request, CHttpClient& client)
        : m_lock(lock), m_request(request)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_request = &client;
    }
    ~RequestScope()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_request = nullptr;
    }
    RequestScope(const RequestScope&) = delete;
    RequestScope& operator=(const RequestScope&) = delete;

private:
    std::mutex& m_lock;
    CHttpClient*& m_request;
};

} // namespace

void UpdateInfo::Parse(const String& text)
{
    CConfig config;
    // A count that the text leaves out means none.
    for (const wchar_t* count : {L"File", L"Entry", L"Notice"})
        config.SetRaw(count, L"0");
    config.ParseText(text);

    std::vector<UpdateFileEntry> newFiles;
    const int fileCount = config.GetInt(L"File");
    for (int i = 0; i < fileCount; ++i) {
        const String key = FormatString(L"File%03d", i);
        UpdateFileEntry file;
        file.name = config.GetRaw(key);
        file.time = config.GetRaw(key + L"Time");
        file.md5 = config.GetRaw(key + L"MD5");
        file.size = config.GetInt(key + L"Size");
        newFiles.push_back(file);
    }
    std::vector<UpdateEntry> newEntries;
    const int entryCount = config.GetInt(L"Entry");
    for (int i = 0; i < entryCount; ++i) {
        const String key = FormatString(L"Entry%03d", i);
        UpdateEntry entry;
        entry.src = config.GetRaw(key + L"Src");
        entry.dst = config.GetRaw(key + L"Dst");
        entry.backup = config.GetBool(key + L"Backup");
        entry.deleteOld = config.GetBool(key + L"Delete");
        newEntries.push_back(entry);
    }
    std::vector<UpdateNotice> newNotices;
    const int noticeCount = config.GetInt(L"Notice");
    for (int i = 0; i < noticeCount; ++i)
        newNotices.push_back({config.GetString(FormatString(L"Notice%03d", i))});

    files = std::move(newFiles);
    entries = std::move(newEntries);
    notices = std::move(newNotices);
}

int UpdateInfo::GetTotalFileSize() const
{
    int total = 0;
    for (const UpdateFileEntry& file : files)
        total += file.size;
    return total;
}

void UpdateSettingsChange::SetRaw(const String& key, const String& text)
{
    m_changes.push_back({key, text, false});
}

void UpdateSettingsChange::SetInt(const String& key, int value)
{
    SetRaw(key, ToConfigText(value));
}

void UpdateSettingsChange::SetString(const String& key, const String& value)
{
    SetRaw(key, CConfig::Escape(value));
}

void UpdateSettingsChange::Remove(const String& key)
{
    m_changes.push_back({key, String(), true});
}

void UpdateSettingsChange::ApplyTo(CConfig& config) const
{
    for (const Change& change : m_changes) {
        if (change.remove)
            config.Remove(change.key);
        else
            config.SetRaw(change.key, change.text);
    }
}

CNetworkUpdaterBase::CNetworkUpdaterBase()
    : m_mode(infoMode), m_fileDone(0), m_overallDone(0), m_totalSize(0), m_running(false), m_request(nullptr)
{
}

CNetworkUpdaterBase::~CNetworkUpdaterBase()
{
    Cancel();
    m_worker.reset();
    m_temporaryFolder.reset();
}

void CNetworkUpdaterBase::StartGetInfo()
{
    Start(infoMode, &CNetworkUpdaterBase::InfoJobBody);
}

void CNetworkUpdaterBase::StartUpdate()
{
    Start(updateMode, &CNetworkUpdaterBase::UpdateJobBody);
}

void CNetworkUpdaterBase::Start(int mode, void (CNetworkUpdaterBase::*job)())
{
    // A job that is still ending (after a cancel) must not see the next job's running flag.
    if (m_worker)
        m_worker->Wait();
    m_settings = GetConfig();
    m_prefix = GetKeyPrefix();
    m_infoUrl = GetInfoUrl();
    m_programFolder = CFileName::AppendSeparator(GetProgramFolder());
    m_executablePath = GetExecutablePath();
    m_mode = mode;
    m_running = true;
    m_worker = AcquirePooledWorker();
    m_worker->Post([this, job] {
        (this->*job)();
        OnJobEnded();
    });
}

void CNetworkUpdaterBase::RequestCancel()
{
    m_running = false;
    std::lock_guard<std::mutex> guard(m_requestLock);
    if (m_request)
        m_request->Abort();
}

void CNetworkUpdaterBase::Cancel()
{
    RequestCancel();
    if (m_worker)
        m_worker->Wait();
}

bool CNetworkUpdaterBase::EndJob()
{
    return m_running.exchange(false);
}

String CNetworkUpdaterBase::GetProgramFolder()
{
    return CFileName::ExecutableDirectory();
}

String CNetworkUpdaterBase::GetExecutablePath()
{
    return GetModuleFileNameString();
}

void CNetworkUpdaterBase::StartUpdateScript(const String& path)
{
    LaunchFile(path, SW_SHOWNORMAL);
}

bool CNetworkUpdaterBase::IsUpdateAvailable() const
{
    for (std::size_t i = 0; i < m_description.files.size(); ++i) {
        const String key = m_prefix + FormatString(L"File%03dMD5", static_cast<int>(i));
        if (!m_settings.Contains(key) || !(m_settings.GetRaw(key) == m_description.files[i].md5))
            return true;
    }
    return false;
}

void CNetworkUpdaterBase::OnProgress(int done, int total)
{
    if (!m_running)
        return;
    if (m_mode == infoMode) {
        OnInfoProgress(done, total);
        return;
    }
    m_overallDone += done - m_fileDone;
    m_fileDone = done;
    // Sizes that the description leaves at 0 (or understates) give no scale: the bar is then
    // as full as the bytes so far, never beyond its end.
    const int totalSize = std::max(std::max(m_totalSize, m_overallDone), 1);
    OnFileProgress(m_currentFileName, done, total, m_overallDone, totalSize);
}

void CNetworkUpdaterBase::Store(const UpdateSettingsChange& change)
{
    change.ApplyTo(m_settings);
    StoreSettings(change);
}

void CNetworkUpdaterBase::Download(const String& address, CHttpResponse& response)
{
    CHttpClient client;
    client.SetNoCache(true);
    if (m_settings.GetBool(Key(L"Proxy")))
        client.SetProxyServer(m_settings.GetString(Key(L"ProxyServer")));
    const RequestScope scope(m_requestLock, m_request, client);
    // A cancel that came before the client could be aborted.
    if (!m_running)
        throw RequestCanceledException();
    client.SendGetRequest(address);
    client.ReceiveResponse(response, *this);
}

void CNetworkUpdaterBase::RecordInstallation()
{
    const String path = m_programFolder + InstalledRecordName;
    if (!FileExists(path))
        return;
    CKeyValueFile record;
    UpdateSettingsChange change;
    if (record.Load(path)) {
        for (const auto& [key, value] : record.ToVector()) {
            if (IsInstalledMd5Key(key, m_prefix) && IsMd5Text(value))
                change.SetRaw(key, value);
        }
    }
    if (!m_running)
        return;
    if (!change.IsEmpty())
        Store(change);
    DeleteTree(path, true);
}

void CNetworkUpdaterBase::GetInfoThread()
{
    try {
        const int count = m_settings.GetInt(Key(L"OldNotice"));
        std::vector<String> oldNotices;
        for (int i = 0; i < count; ++i)
            oldNotices.push_back(m_settings.GetString(m_prefix + FormatString(L"OldNotice%03d", i)));
        if (!m_running)
            return;
        OnOldNotices(oldNotices);

        // What the last update installed counts before the comparison.
        RecordInstallation();

        CHttpResponse response;
        Download(m_infoUrl, response);
        if (!m_running)
            return;
        m_description.Parse(response.GetBodyText());

        if (!IsUpdateAvailable()) {
            if (EndJob())
                OnNoUpdate();
            return;
        }
        UpdateSettingsChange notices;
        notices.SetInt(Key(L"OldNotice"), static_cast<int>(m_description.notices.size()));
        for (std::size_t i = 0; i < m_description.notices.size(); ++i)
            notices.SetString(m_prefix + FormatString(L"OldNotice%03d", static_cast<int>(i)),
                              m_description.notices[i].text);
        if (!m_running)
            return;
        Store(notices);
        if (EndJob())
            OnUpdateFound(m_description);
    } catch (const RequestCanceledException&) {
        EndJob();
    } catch (const std::exception& e) {
        if (EndJob())
            OnError(MessageOf(e));
    }
}

void CNetworkUpdaterBase::Unpack(const String& name, const std::vector<unsigned char>& body,
                                 const String& folder)
{
    CTempFile archiveFile(folder, L"", L"zip");
    archiveFile.Write(std::vector<char>(body.begin(), body.end()));
    {
        CZipArchiver archive;
        archive.OpenOrThrow(archiveFile.GetPath());
        archive.ExtractAllChecked(CFileName::AppendSeparator(CFileName(name, folder)), false);
    }
    archiveFile.Delete();
}

void CNetworkUpdaterBase::MakeBackups()
{
    if (!m_settings.GetBool(Key(L"Backup")))
        return;
    const int count = m_settings.GetInt(Key(L"BackupCount"));
    if (count < 1)
        return;
    const auto backupFolder = [this](int k) { return m_programFolder + FormatString(L"$backup-%02d$\\", k); };
    for (int k = count - 1; FileExists(backupFolder(k)); ++k)
        DeleteTree(backupFolder(k), true);
    for (int k = count - 2; k >= 0; --k) {
        if (FileExists(backupFolder(k)))
            MoveTree(backupFolder(k), backupFolder(k + 1));
    }

    const String newest = backupFolder(0);
    std::set<String> copied;
    for (const UpdateEntry& entry : m_description.entries) {
        // The flag leaves the file out of the backup; the script's move then replaces it.
        if (entry.deleteOld)
            continue;
        const String folder = DestinationFolder(entry.dst, m_programFolder);
        const String name = LastPart(entry.src);
        const String target = folder + name;
        const String copy = newest + folder.Substring(m_programFolder.Length()) + name;
        // Two entries may replace the same file: it is kept once.
        if (!copied.insert(target.ToLower()).second)
            continue;
        if (IsDirectory(target))
            CopyTree(target + L"\\", copy + L"\\", false);
        else if (FileExists(target))
            CopyTree(target, copy, false);
    }
    if (!m_running)
        return;
    BackupOldExecutables();
}

void CNetworkUpdaterBase::WriteInstalledRecord(const String& folder) const
{
    CKeyValueFile record;
    for (std::size_t i = 0; i < m_description.files.size(); ++i)
        record.SetRaw(m_prefix + FormatString(L"File%03dMD5", static_cast<int>(i)),
                      m_description.files[i].md5);
    const String path = folder + InstalledRecordName;
    if (!record.Save(path))
        throw IOException(path + L" への書き込みに失敗しました");
}

void CNetworkUpdaterBase::UpdateThread()
{
    try {
        m_overallDone = 0;
        m_fileDone = 0;
        m_totalSize = m_description.GetTotalFileSize();

        auto folder = std::make_unique<CTempFolder>(m_programFolder, L"");
        const String temporary = folder->GetPath();
        CheckDescriptionNames(m_description, temporary, m_programFolder);
        std::vector<UpdateScriptEntry> scriptEntries;
        for (const UpdateEntry& entry : m_description.entries)
            scriptEntries.push_back({entry.src, IsFolderItself(entry.dst) ? String() : entry.dst});
        // Every script argument is checked here, before the folder is made.
        const CUpdateScripts scripts(temporary, m_programFolder, m_executablePath, scriptEntries);
        folder->CreateNew();
        m_temporaryFolder = std::move(folder);

        const String infoFolder = FolderOfAddress(m_infoUrl);
        for (const UpdateFileEntry& file : m_description.files) {
            if (!m_running)
                return;
            m_currentFileName = file.name;
            m_fileDone = 0;
            CHttpResponse response;
            Download(infoFolder + file.name, response);
            if (!(Md5HexOfBytes(response.GetBody()) == file.md5))
                throw RuntimeException(L"ファイル '" + file.name + L"' が破損してるっぽいです");
            if (!m_running)
                return;
            if (CFileName::GetLowerExtension(file.name) == String(L"zip"))
                Unpack(file.name, response.GetBody(), temporary);
            else
                WriteFile(CFileName(file.name, temporary), response.GetBody());
        }

        if (!m_running)
            return;
        if (!ConfirmUpdate()) {
            EndJob();
            return;
        }
        if (!m_running)
            return;
        MakeBackups();
        WriteInstalledRecord(temporary);
        if (!m_running)
            return;
        scripts.Save();
        StartUpdateScript(scripts.GetUpdatePath());
        // The script removes the folder once it has moved everything.
        m_temporaryFolder->Release();

        UpdateSettingsChange erased;
        erased.Remove(Key(L"Update"));
        if (!EndJob())
            return;
        Store(erased);
        OnUpdateFinished();
    } catch (const RequestCanceledException&) {
        EndJob();
    } catch (const std::exception& e) {
        if (EndJob())
            OnError(MessageOf(e));
    }
}

} // namespace Brivox
