#pragma once
// The updater dialog: the modal window of the update command and the owner of the update engine.
// It shows what the engine's jobs report as texts, progress bars and boxes. The jobs never send to
// the dialog nor wait on its thread: everything they show is queued and carried out by the dialog's
// thread when a posted WM_NULL arrives; only the confirmation waits, for the answer given by the
// dialog's thread or for the dialog's closing.

#include "foundation/config.h"
#include "foundation/string.h"
#include "ui/resource_dialog.h"
#include "ui/window_thread.h"
#include "ui/wnd.h"
#include "updater/network_updater.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

// The address of the update description. The project has no update host of its own yet: a host
// under the reserved "example" domain resolves nowhere, whereas a host that nobody on the team
// controls could install programs, since updates are checked with MD5 only and not signed.
extern const wchar_t NetworkUpdateInfoUrl[];

// Moves the old program files "Kanoru2.00.exe", "Kanoru2.01.exe"... of the program folder (ending
// with a backslash) into its newest backup folder "$backup-00$", up to the first missing number
// after 00. A failed move throws IOException.
void MoveOldExecutablesToBackup(const Brivox::String& programFolder);

// The position of a progress bar of range 0 to 255 for done of total: done * 256 / total in 64-bit
// arithmetic, within 0 and 256 (which the bar shows as 255); 0 for a total of 0 or below.
int ProgressBarPosition(long long done, long long total);

class CNetworkUpdater : public Brivox::CResourceDialogBase, public Brivox::CNetworkUpdaterBase
{
public:
    // The settings store is the main window's: it is read and written on this thread only.
    CNetworkUpdater(const Brivox::CWnd& mainWindow, Brivox::CConfig& config);
    // Stops a job that still runs and carries out the settings changes it handed over.
    ~CNetworkUpdater() override;

    // Runs the dialog modally over the main window; once an update has been handed to the
    // replacement scripts, sends WM_CLOSE to the main window so that the program ends and the
    // scripts can replace its files. True when it did.
    bool Run();

    // Whether the update was handed to the scripts; read after the modal run.
    bool IsFinished() const { return m_finished; }

    bool HookMessage(Brivox::SMessage& message) override;

protected:
    const Brivox::CConfig& GetConfig() override;
    Brivox::String GetKeyPrefix() override;
    Brivox::String GetInfoUrl() override;
    void OnOldNotices(const std::vector<Brivox::String>& notices) override;
    void OnInfoProgress(int done, int total) override;
    void OnNoUpdate() override;
    void OnUpdateFound(const Brivox::UpdateInfo& description) override;
    void OnFileProgress(const Brivox::String& name, int fileDone, int fileTotal, int overallDone,
                        int totalSize) override;
    bool ConfirmUpdate() override;
    void BackupOldExecutables() override;
    void OnError(const Brivox::String& message) override;
    void OnUpdateFinished() override;
    void StoreSettings(const Brivox::UpdateSettingsChange& change) override;
    void OnJobEnded() override;

private:
    enum class Answer
    {
        None,
        Ok,
        Refused,
    };

    struct Step
    {
        std::function<void()> run;
        // Settings changes are carried out also after the dialog has closed; what would only
        // show something is dropped then.
        bool settings;
    };

    void OnInitDialog();
    void OnClose();
    void StartJob(void (CNetworkUpdaterBase::*start)());
    // From a job: the step goes into the queue and the dialog's thread is woken once.
    void Queue(std::function<void()> run, bool settings = false);
    // On the dialog's thread: every queued step, or only the settings changes once closing.
    void RunQueued();
    bool IsClosing();
    void SetStatus(const Brivox::String& text) const;
    void SetNotices(const std::vector<Brivox::String>& notices) const;
    void SetBar(int id, long long done, long long total) const;
    int ShowBox(UINT flags, const Brivox::String& caption, const Brivox::String& text) const;
    void PostClose() const;
    void AskConfirmation();

    const Brivox::CWnd& m_mainWindow;
    Brivox::CConfig& m_config;
    std::atomic<bool> m_finished{false};

    std::mutex m_lock;
    std::condition_variable m_answered;
    std::deque<Step> m_queue;
    // A WM_NULL is on its way for the queue.
    bool m_woken = false;
    bool m_closing = false;
    Answer m_answer = Answer::None;

    // Set while no job runs; jobs are counted, so that the end of a job that is still finishing
    // when the next one starts does not count for the next.
    Brivox::Detail::CEvent m_jobsEnded;
    int m_jobsStarted = 0;
    int m_jobsFinished = 0;
};

// The update command: runs the updater dialog over the main window with the main window's settings
// store and closes the main window after a finished update.
void RunNetworkUpdate(const Brivox::CWnd& mainWindow, Brivox::CConfig& config);
