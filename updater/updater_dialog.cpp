#include "updater/updater_dialog.h"

#include "foundation/file_system.h"
#include "resources/updater_ids.h"
#include "ui/ctrl.h"

#include <commctrl.h>

#include <algorithm>

using Brivox::CConfig;
using Brivox::CCtrl;
using Brivox::CWindow;
using Brivox::CWnd;
using Brivox::FormatString;
using Brivox::String;

const wchar_t NetworkUpdateInfoUrl[] = L"http://update.example/zo2/update.cfg";

namespace {

const wchar_t dialogCaption[] = L"ネットワーク更新";

// The part after the last separator, '/' or '\'.
String LastPart(const String& name)
{
    int start = name.Length();
    while (start > 0 && name[start - 1] != L'/' && name[start - 1] != L'\\')
        --start;
    return name.Substring(start);
}

} // namespace

void MoveOldExecutablesToBackup(const String& programFolder)
{
    const String backup = programFolder + L"$backup-00$\\";
    for (int i = 0; i < 100; ++i) {
        const String path = programFolder + FormatString(L"Kanoru2.%02d.exe", i);
        if (Brivox::FileExists(path))
            Brivox::MoveTree(path, backup);
        else if (i > 0)
            break;
    }
}

int ProgressBarPosition(long long done, long long total)
{
    if (total <= 0)
        return 0;
    return static_cast<int>(std::clamp(done * 256 / total, 0LL, 256LL));
}

CNetworkUpdater::CNetworkUpdater(const CWnd& mainWindow, CConfig& config)
    : CResourceDialogBase(IDD_NETWORK_UPDATER), m_mainWindow(mainWindow), m_config(config)
{
    // The template's progress bars need their class.
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&classes);
    m_jobsEnded.Set();
}

CNetworkUpdater::~CNetworkUpdater()
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_closing = true;
    }
    m_answered.notify_all();
    Cancel();
    RunQueued();
}

bool CNetworkUpdater::Run()
{
    DoModal(m_mainWindow.GetHandle());
    if (!m_finished)
        return false;
    m_mainWindow.Close();
    return true;
}

bool CNetworkUpdater::HookMessage(Brivox::SMessage& message)
{
    switch (message.message) {
    case WM_INITDIALOG:
        OnInitDialog();
        return true;
    case WM_COMMAND:
        // The dialog manager sends these for Enter and Esc also while the buttons are disabled.
        if (LOWORD(message.wParam) == IDOK) {
            if (IsClosing() || !GetWindow().GetDlgItem(IDOK).IsEnabled())
                return false;
            GetWindow().GetDlgItem(IDOK).Enable(false);
            StartJob(&CNetworkUpdaterBase::StartUpdate);
        } else if (LOWORD(message.wParam) == IDCANCEL) {
            if (!GetWindow().GetDlgItem(IDCANCEL).IsEnabled())
                return false;
            RequestCancel();
            GetWindow().Close();
        }
        return false;
    case WM_CLOSE:
        OnClose();
        return true;
    case WM_NULL:
        RunQueued();
        return false;
    default:
        return false;
    }
}

void CNetworkUpdater::OnInitDialog()
{
    const CWindow& dialog = GetWindow();
    const HWND parent = m_mainWindow.GetHandle() ? m_mainWindow.GetHandle() : ::GetDesktopWindow();
    dialog.CentreOverClientOf(Brivox::CWnd(parent));
    for (const int bar : {IDC_UPDATER_FILE_PROGRESS, IDC_UPDATER_OVERALL_PROGRESS})
        dialog.GetDlgItem(bar).ProgressSetRange(0, 255);
    dialog.GetDlgItem(IDOK).Enable(false);
    m_finished = false;
    StartJob(&CNetworkUpdaterBase::StartGetInfo);
}

void CNetworkUpdater::StartJob(void (CNetworkUpdaterBase::*start)())
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        ++m_jobsStarted;
        m_jobsEnded.Reset();
    }
    try {
        (this->*start)();
    } catch (...) {
        OnJobEnded();
        throw;
    }
}

void CNetworkUpdater::OnJobEnded()
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (++m_jobsFinished == m_jobsStarted)
        m_jobsEnded.Set();
}

void CNetworkUpdater::OnClose()
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        // A close that arrives while the first one waits for the job: the first one ends the
        // dialog.
        if (m_closing)
            return;
        m_closing = true;
    }
    m_answered.notify_all();
    RequestCancel();
    // The job may still report (and the main window's other windows still work) while it ends.
    const Brivox::Detail::SQuitMessage quit = Brivox::Detail::WaitServingMessages(m_jobsEnded);
    RunQueued();
    GetWindow().Destroy();
    Brivox::Detail::PostQuitMessageAgain(quit);
}

bool CNetworkUpdater::IsClosing()
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_closing;
}

void CNetworkUpdater::Queue(std::function<void()> run, bool settings)
{
    bool wake;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_queue.push_back({std::move(run), settings});
        wake = !m_woken;
        m_woken = true;
    }
    if (!wake)
        return;
    const HWND dialog = GetWindow().GetHandle();
    if (!dialog || !::PostMessageA(dialog, WM_NULL, 0, 0)) {
        // Carried out when the dialog closes or goes.
        std::lock_guard<std::mutex> lock(m_lock);
        m_woken = false;
    }
}

void CNetworkUpdater::RunQueued()
{
    // One step at a time: a step that shows a box lets this thread dispatch meanwhile, and the
    // steps queued after it must still come in their order.
    for (;;) {
        Step step;
        bool closing;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            if (m_queue.empty()) {
                m_woken = false;
                return;
            }
            step = std::move(m_queue.front());
            m_queue.pop_front();
            closing = m_closing;
        }
        if (step.settings || !closing)
            step.run();
    }
}

void CNetworkUpdater::SetStatus(const String& text) const
{
    if (GetWindow().GetHandle())
        GetWindow().GetDlgItem(IDC_UPDATER_STATUS).SetText(text);
}

void CNetworkUpdater::SetNotices(const std::vector<String>& notices) const
{
    if (!GetWindow().GetHandle())
        return;
    String text;
    // A notice's line breaks are single LFs, which an edit control does not break at.
    for (auto notice = notices.rbegin(); notice != notices.rend(); ++notice)
        text = text + notice->ReplaceAll(L"\r\n", L"\n").ReplaceAll(L"\n", L"\r\n") + L"\r\n";
    GetWindow().GetDlgItem(IDC_UPDATER_NOTICES).SetText(text);
}

void CNetworkUpdater::SetBar(int id, long long done, long long total) const
{
    if (GetWindow().GetHandle())
        GetWindow().GetDlgItem(id).ProgressSetPos(ProgressBarPosition(done, total));
}

int CNetworkUpdater::ShowBox(UINT flags, const String& caption, const String& text) const
{
    const HWND dialog = GetWindow().GetHandle();
    if (!dialog)
        return 0;
    return CWnd(dialog).MessageBox(flags, caption, text);
}

void CNetworkUpdater::PostClose() const
{
    if (GetWindow().GetHandle())
        GetWindow().PostMessage(WM_CLOSE, 0, 0);
}

const CConfig& CNetworkUpdater::GetConfig()
{
    return m_config;
}

String CNetworkUpdater::GetKeyPrefix()
{
    return L"Http";
}

String CNetworkUpdater::GetInfoUrl()
{
    return NetworkUpdateInfoUrl;
}

void CNetworkUpdater::OnOldNotices(const std::vector<String>& notices)
{
    Queue([this, notices] { SetNotices(notices); });
}

void CNetworkUpdater::OnInfoProgress(int done, int total)
{
    if (!GetWindow().GetHandle())
        return;
    Queue([this, done, total] { SetStatus(FormatString(L"update.cfg %6d / %d", done, total)); });
    SetBar(IDC_UPDATER_FILE_PROGRESS, done, total);
    SetBar(IDC_UPDATER_OVERALL_PROGRESS, done, total);
}

void CNetworkUpdater::OnNoUpdate()
{
    Queue([this] {
        ShowBox(MB_ICONINFORMATION | MB_SETFOREGROUND, dialogCaption,
                L"現在利用できる更新はありませんでした。");
        PostClose();
    });
}

void CNetworkUpdater::OnUpdateFound(const Brivox::UpdateInfo& description)
{
    std::vector<String> notices;
    for (const Brivox::UpdateNotice& notice : description.notices)
        notices.push_back(notice.text);
    Queue([this, notices] {
        SetStatus(String());
        SetNotices(notices);
        if (GetWindow().GetHandle())
            GetWindow().GetDlgItem(IDOK).Enable(true);
    });
}

void CNetworkUpdater::OnFileProgress(const String& name, int fileDone, int fileTotal, int overallDone,
                                     int totalSize)
{
    if (!GetWindow().GetHandle())
        return;
    const String text = LastPart(name) + FormatString(L" %6d / %d", overallDone, totalSize);
    Queue([this, text] { SetStatus(text); });
    SetBar(IDC_UPDATER_FILE_PROGRESS, fileDone, fileTotal);
    SetBar(IDC_UPDATER_OVERALL_PROGRESS, overallDone, totalSize);
}

bool CNetworkUpdater::ConfirmUpdate()
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_closing)
            return false;
        m_answer = Answer::None;
    }
    Queue([this] { AskConfirmation(); });
    std::unique_lock<std::mutex> lock(m_lock);
    // The dialog's closing ends the wait too: its thread then no longer answers.
    m_answered.wait(lock, [this] { return m_answer != Answer::None || m_closing; });
    return m_answer == Answer::Ok && !m_closing;
}

void CNetworkUpdater::AskConfirmation()
{
    const bool ok =
        ShowBox(MB_OKCANCEL | MB_ICONINFORMATION | MB_SETFOREGROUND, L"確認", L"更新処理を行います") == IDOK;
    if (ok && GetWindow().GetHandle())
        GetWindow().GetDlgItem(IDCANCEL).Enable(false);
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_answer = ok ? Answer::Ok : Answer::Refused;
    }
    m_answered.notify_all();
    if (!ok)
        PostClose();
}

void CNetworkUpdater::BackupOldExecutables()
{
    MoveOldExecutablesToBackup(GetJobProgramFolder());
}

void CNetworkUpdater::OnError(const String& message)
{
    Queue([this, message] {
        SetStatus(message);
        ShowBox(MB_ICONEXCLAMATION, dialogCaption, message);
    });
}

void CNetworkUpdater::OnUpdateFinished()
{
    m_finished = true;
    Queue([this] { PostClose(); });
}

void CNetworkUpdater::StoreSettings(const Brivox::UpdateSettingsChange& change)
{
    Queue([this, change] { change.ApplyTo(m_config); }, true);
}

void RunNetworkUpdate(const CWnd& mainWindow, CConfig& config)
{
    CNetworkUpdater dialog(mainWindow, config);
    dialog.Run();
}
