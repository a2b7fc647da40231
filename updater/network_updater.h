#pragma once
// The self-update engine: the information job fetches the update description and decides whether
// an update is available; the update job downloads every listed file, checks it against its MD5,
// unpacks ZIP downloads, keeps backups of the files it will replace and hands the installation to
// the replacement scripts, which run once the program has exited. Everything shown or stored goes
// through the owner's operations.

#include "foundation/config.h"
#include "foundation/string.h"
#include "foundation/temp_file.h"
#include "foundation/worker_thread.h"
#include "updater/progress_listener.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace Brivox {

class CHttpClient;
class CHttpResponse;

struct UpdateFileEntry
{
    String name;
    String time;
    String md5;
    int size = 0;
};

struct UpdateEntry
{
    String src;
    String dst;
    bool backup = false;
    // Leaves the replaced file out of the backup.
    bool deleteOld = false;
};

struct UpdateNotice
{
    String text;
};

// The update description "update.cfg".
class UpdateInfo
{
public:
    // Reads the description's key = value text. A missing required key or an unreadable number or
    // flag throws the settings store's RuntimeException.
    void Parse(const String& text);
    int GetTotalFileSize() const;

    std::vector<UpdateFileEntry> files;
    std::vector<UpdateEntry> entries;
    std::vector<UpdateNotice> notices;
};

// Changes of the settings store that a job hands to its owner, in the order made.
class UpdateSettingsChange
{
public:
    // The text stored as it is.
    void SetRaw(const String& key, const String& text);
    void SetInt(const String& key, int value);
    // The text stored escaped.
    void SetString(const String& key, const String& value);
    void Remove(const String& key);

    bool IsEmpty() const { return m_changes.empty(); }
    void ApplyTo(CConfig& config) const;

private:
    struct Change
    {
        String key;
        String text;
        bool remove;
    };
    std::vector<Change> m_changes;
};

// The name of the record of an installation, in the update's temporary folder until the script
// moves it into the program folder after the last entry.
extern const wchar_t InstalledRecordName[];

// The owner (the updater dialog) starts and cancels the jobs on its own thread and implements the
// operations, which the jobs call on their worker. A job works on a copy of the settings taken when
// it starts; every change it makes goes to StoreSettings. A derived owner must Cancel in its own
// destructor: a running job calls back into it.
class CNetworkUpdaterBase : public IProgressListener
{
public:
    CNetworkUpdaterBase();
    // Cancels, then deletes the temporary folder unless the update was handed to the scripts.
    ~CNetworkUpdaterBase() override;
    CNetworkUpdaterBase(const CNetworkUpdaterBase&) = delete;
    CNetworkUpdaterBase& operator=(const CNetworkUpdaterBase&) = delete;

    // On the owner's thread: waits for a previous job, takes the settings and starts the job;
    // returns at once.
    void StartGetInfo();
    void StartUpdate();
    // The running job stops at its next step, a request under way at once; the job then calls
    // no owner operation.
    void RequestCancel();
    // RequestCancel, then waits until the job has ended.
    void Cancel();

    // True at the first described file whose recorded MD5 is missing or differs.
    bool IsUpdateAvailable() const;
    const UpdateInfo& GetDescription() const { return m_description; }

    void OnProgress(int done, int total) override;

protected:
    // Called on the owner's thread, when a job starts.
    virtual const CConfig& GetConfig() = 0;
    virtual String GetKeyPrefix() = 0;
    virtual String GetInfoUrl() = 0;

    // Called on the job's worker.
    virtual void OnOldNotices(const std::vector<String>& notices) = 0;
    virtual void OnInfoProgress(int done, int total) = 0;
    virtual void OnNoUpdate() = 0;
    virtual void OnUpdateFound(const UpdateInfo& description) = 0;
    virtual void OnFileProgress(const String& name, int fileDone, int fileTotal, int overallDone,
                                int totalSize) = 0;
    virtual bool ConfirmUpdate() = 0;
    virtual void BackupOldExecutables() = 0;
    virtual void OnError(const String& message) = 0;
    virtual void OnUpdateFinished() = 0;
    // The owner carries the change out on its own thread; it may return before it has.
    virtual void StoreSettings(const UpdateSettingsChange& change) = 0;

    // Where the program lives and what the scripts start again; taken when a job starts.
    virtual String GetProgramFolder();
    virtual String GetExecutablePath();
    // Starts the saved "$update$.bat" without waiting for it.
    virtual void StartUpdateScript(const String& path);

    // The bodies of the two jobs, run on the worker; tests put fake jobs in their place.
    virtual void InfoJobBody() { GetInfoThread(); }
    virtual void UpdateJobBody() { UpdateThread(); }
    // On the worker, after the last step of a job: the job touches the owner no more.
    virtual void OnJobEnded() {}

    // Read by the jobs between their steps.
    bool IsRunning() const { return m_running; }
    // The program folder as the running job took it, ending with '\'.
    const String& GetJobProgramFolder() const { return m_programFolder; }

private:
    void Start(int mode, void (CNetworkUpdaterBase::*job)());
    void GetInfoThread();
    void UpdateThread();
    // Clears running; true when it was set, so that only one of a job's end and a cancel reports.
    bool EndJob();
    void Download(const String& address, CHttpResponse& response);
    void RecordInstallation();
    void Unpack(const String& name, const std::vector<unsigned char>& body, const String& folder);
    void MakeBackups();
    void WriteInstalledRecord(const String& folder) const;
    void Store(const UpdateSettingsChange& change);
    String Key(const wchar_t* name) const { return m_prefix + name; }

    std::atomic<int> m_mode;
    int m_fileDone;
    int m_overallDone;
    int m_totalSize;
    String m_currentFileName;
    std::unique_ptr<CTempFolder> m_temporaryFolder;
    UpdateInfo m_description;
    std::atomic<bool> m_running;
    std::shared_ptr<WorkerThread> m_worker;

    // The job's view of the owner, taken on the owner's thread at the start.
    CConfig m_settings;
    String m_prefix;
    String m_infoUrl;
    String m_programFolder;
    String m_executablePath;

    // The request under way, for a cancel from the owner's thread.
    std::mutex m_requestLock;
    CHttpClient* m_request;
};

} // namespace Brivox
