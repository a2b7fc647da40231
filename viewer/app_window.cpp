#include "viewer/app_window.h"

#include "formats/archiver_dll_readers.h"
#include "formats/argb_loader.h"
#include "formats/bmp_loader.h"
#include "formats/factory_registry.h"
#include "formats/jpeg_loader.h"
#include "formats/ole_loader.h"
#include "formats/png_loader.h"
#include "formats/susie_archiver.h"
#include "formats/susie_loader.h"
#include "formats/tga_loader.h"
#include "formats/zip_archiver.h"
#include "foundation/display_mode.h"
#include "foundation/file_name.h"
#include "foundation/message_box.h"
#include "foundation/object_pool.h"
#include "foundation/string_builder.h"
#include "settings/config_schema.h"
#include "settings/config_upgrade.h"
#include "ui/screen_changer.h"
#include "ui/window.h"
#include "ui/window_snapper.h"
#include "ui/window_thread.h"
#include "viewer/app_window_messages.h"
#include "viewer/key_config_ex.h"
#include "viewer/main_menu.h"

#include <exception>

using Brivox::CRect;
using Brivox::CSize;
using Brivox::String;

namespace {

template <class T, class I> std::shared_ptr<Brivox::IFactory<I>> MakeFactory()
{
    return std::make_shared<Brivox::DefaultFactory<T, I>>();
}

// A step handed to the main window's thread, and its outcome.
struct SWindowRequest
{
    const std::function<void()>* job;
    std::exception_ptr error;
    Brivox::Detail::CEvent done;
};

} // namespace

CSize InitialClientSize(CSize workArea, CSize image)
{
    if (image.cx < image.cy) {
        const int height = 2 * workArea.cy / 3;
        return {image.cx * height / image.cy, height};
    }
    const int width = 2 * workArea.cx / 3;
    return {width, image.cy * width / image.cx};
}

CAppWindow::CAppWindow(const String& baseName)
    : m_baseName(baseName),
      m_settingsPath(Brivox::CFileName::FromExecutableDirectory(baseName + L".cfg").ToString()),
      m_spi(std::make_shared<Brivox::CSpiHost>()),
      m_jpegLoader(MakeFactory<Brivox::CJpgLoader, Brivox::IImageLoader>()),
      m_pngLoader(MakeFactory<Brivox::CPngLoader, Brivox::IImageLoader>()),
      m_bmpLoader(MakeFactory<Brivox::CBmpLoader, Brivox::IImageLoader>()),
      m_spiLoader(std::make_shared<Brivox::CSpiLoaderFactory>(m_spi)),
      m_argbLoader(MakeFactory<Brivox::CArgbLoader, Brivox::IImageLoader>()),
      m_tgaLoader(MakeFactory<Brivox::CTgaLoader, Brivox::IImageLoader>()),
      m_oleLoader(MakeFactory<Brivox::COleLoader, Brivox::IImageLoader>()),
      m_unZip(MakeFactory<Brivox::CUnZipArchiver, Brivox::IArchiver>()),
      m_sevenZip(MakeFactory<Brivox::C7ZipArchiver, Brivox::IArchiver>()),
      m_unRar(MakeFactory<Brivox::CUnRarArchiver, Brivox::IArchiver>()),
      m_unLha(MakeFactory<Brivox::CUnLhaArchiver, Brivox::IArchiver>()),
      m_spiArchiver(std::make_shared<Brivox::CSpiArchiverFactory>(m_spi)),
      m_zip(MakeFactory<Brivox::CZipArchiver, Brivox::IArchiver>()),
      m_unGca(MakeFactory<Brivox::CUnGcaArchiver, Brivox::IArchiver>()),
      m_selection(std::make_unique<Brivox::CSelectionRect>())
{
    try {
        Construct();
    } catch (...) {
        // The window thread may still deliver messages while the members go: this controller
        // leaves the hook list first, and the document goes before the window.
        if (m_window && m_window->GetHookList())
            m_window->GetHookList()->Remove(this);
        m_cursorHider.reset();
        EndCompanions();
        m_document.reset();
        m_fileListWindow.reset();
        m_screenChanger.reset();
        throw;
    }
}

void CAppWindow::Construct()
{
    InitConfig(m_settings, m_settingsPath);
    m_menu = std::make_unique<CMainMenu>();

    Brivox::CWindowParameter parameter;
    parameter.menu = m_menu->GetHandle();
    parameter.style |= WS_THICKFRAME | WS_MAXIMIZEBOX;
    m_window = std::make_unique<Brivox::CWindow>();
    m_window->GetHookList()->Add(this);
    m_window->Create(parameter);

    // From here on the controller lives on the window's thread.
    RunOnWindowThread([this] {
        m_document = std::make_unique<CDocument>(this, this, nullptr, &m_settings);
        const HWND hwnd = m_window->GetHandle();
        m_fileDialog.SetOwner(hwnd);
        m_folderDialog.SetOwner(hwnd);
        m_colorDialog.SetOwner(hwnd);
        m_selection->SetWindow(hwnd);
        m_screenChanger = std::make_unique<Brivox::CScreenChanger>(*m_window);
        m_magnifier = std::make_unique<CMagnifierWindow>(*m_window, *this);
        m_fileListWindow = std::make_unique<CFileListWindow>(*m_document);
        const RECT listRect = m_settings.GetRect(L"FileListWindowRect");
        m_fileListWindow->SetRect({listRect.left, listRect.top, listRect.right, listRect.bottom});
        m_document->SetFileListWindow(m_fileListWindow.get());
        m_cursorHider = std::make_unique<Brivox::CCursorHider>(m_cursorTarget);
        ApplySettings();
    });
}

CAppWindow::~CAppWindow()
{
    // The window's thread has ended: nothing else uses the controller now.
    if (m_window && m_window->GetHookList())
        m_window->GetHookList()->Remove(this);
    EndCompanions();
    try {
        StoreAndSaveSettings();
    } catch (const std::exception&) {
        // A settings value that cannot be stored must not keep the document from stopping.
    }
    m_document.reset();
    m_fileListWindow.reset();
    m_keyConfig.reset();
    m_cursorHider.reset();
    m_screenChanger.reset();
}

void CAppWindow::StoreAndSaveSettings()
{
    if (m_fileListWindow) {
        const CRect list = m_fileListWindow->GetRect();
        m_settings.SetRect(L"FileListWindowRect", {list.left, list.top, list.right, list.bottom});
    }
    if (!m_restoreDisabled)
        m_settings.SetRect(L"WindowPosRestoreRect", {m_restoreRect.left, m_restoreRect.top,
                                                     m_restoreRect.right, m_restoreRect.bottom});
    m_settings.SetString(L"ChooseColor", m_colorDialog.ToString());
    (void)m_settings.Save(m_settingsPath);
}

bool CAppWindow::OnWindowThread() const
{
    const HWND hwnd = m_window ? m_window->GetHandle() : nullptr;
    return hwnd && ::GetWindowThreadProcessId(hwnd, nullptr) == ::GetCurrentThreadId();
}

bool CAppWindow::HasWindow() const
{
    return m_window && m_window->GetHandle() && ::IsWindow(m_window->GetHandle());
}

void CAppWindow::RunOnWindowThread(const std::function<void()>& job)
{
    if (OnWindowThread()) {
        job();
        return;
    }
    SWindowRequest request{&job, nullptr, {}};
    if (!HasWindow() || !m_window->PostMessage(WindowRequestMessage, 0, reinterpret_cast<LPARAM>(&request)))
        throw Brivox::RuntimeException(L"ウィンドウの作成に失敗しました");
    Brivox::Detail::PostQuitMessageAgain(Brivox::Detail::WaitServingMessages(request.done));
    if (request.error)
        std::rethrow_exception(request.error);
}

bool CAppWindow::RunWindowRequest(LPARAM parameter)
{
    SWindowRequest& request = *reinterpret_cast<SWindowRequest*>(parameter);
    try {
        (*request.job)();
    } catch (...) {
        request.error = std::current_exception();
    }
    request.done.Set();
    return true;
}

int CAppWindow::Run(const std::vector<String>& paths, int showCommand)
{
    Start(paths, showCommand);
    WaitUntilClosed();
    return 0;
}

void CAppWindow::Start(const std::vector<String>& paths, int showCommand)
{
    RunOnWindowThread([&] { StartOnWindowThread(paths, showCommand); });
}

void CAppWindow::WaitUntilClosed()
{
    m_window->RunMessageLoop();
}

void CAppWindow::StartOnWindowThread(const std::vector<String>& paths, int showCommand)
{
    std::optional<CSize> initial;
    try {
        if (!paths.empty())
            OpenFiles(paths, false);
        if (m_document->GetCurrentIndex() >= 0 && m_document->HasPageImage()) {
            const CRect work = Brivox::GetWorkArea();
            initial = InitialClientSize({work.Width(), work.Height()}, m_document->GetPageSize());
        } else {
            m_document->Close();
        }
    } catch (const std::exception&) {
        // A path that cannot be opened starts the viewer empty, without a word.
        initial.reset();
        m_document->Close();
    }

    CSize size;
    std::optional<Brivox::CPoint> position;
    if (m_settings.GetBool(L"WindowPosRestore")) {
        if (initial && m_settings.GetBool(L"WindowPosRestoreDisableOnLoad")) {
            m_restoreDisabled = true;
            size = *initial;
            m_window->SetClientSize(size);
        } else {
            const RECT stored = m_settings.GetRect(L"WindowPosRestoreRect");
            size = {stored.right - stored.left, stored.bottom - stored.top};
            m_window->SetClientSize(size);
            m_window->MoveInsideMonitors({stored.left, stored.top});
            position = m_window->GetPosition();
        }
    } else if (initial) {
        size = *initial;
        m_window->SetClientSize(size);
    } else {
        const CRect work = Brivox::GetWorkArea();
        size = {work.Width() / 2, work.Height() / 2};
        m_window->SetClientSize(size);
    }

    m_window->Show(showCommand);
    m_window->PostMessage(WM_APP, 0, 0);
    // The first show may have moved or sized the window.
    m_window->SetClientSize(size);
    if (position)
        m_window->SetPosition(position->x, position->y);

    m_keyConfig.reset();
    m_keyConfig = std::make_unique<CKeyConfigEx>(*m_window, m_baseName);
    m_keyConfig->UpdateMenuTexts(m_window->GetMenu());
    UpdateMenuState();
    m_colorDialog.FromString(m_settings.GetString(L"ChooseColor"));
    (void)UpgradeOldConfig(m_settings, m_settingsPath);
    UpdateTitle();
    Brivox::SetCurrentDirectoryString(
        Brivox::CFileName::RemoveTrailingSeparator(Brivox::CFileName::ExecutableDirectory()));
}

void CAppWindow::RebuildRegistries()
{
    using Brivox::IArchiver;
    using Brivox::IImageLoader;
    Brivox::GetImageLoaderFactories().Replace(
        Brivox::OrderFromSettings<IImageLoader>(m_settings,
                                                {{L"LoaderPriorityJ", m_jpegLoader},
                                                 {L"LoaderPriorityP", m_pngLoader},
                                                 {L"LoaderPriorityB", m_bmpLoader},
                                                 {L"LoaderPriorityS", m_spiLoader},
                                                 {L"LoaderPriorityA", m_argbLoader},
                                                 {L"LoaderPriorityT", m_tgaLoader},
                                                 {L"LoaderPriorityO", m_oleLoader}},
                                                L"LoaderPriorityX"));
    Brivox::GetArchiverFactories().Replace(
        Brivox::OrderFromSettings<IArchiver>(m_settings,
                                             {{L"ArchiverPriorityS", m_spiArchiver},
                                              {L"ArchiverPriorityZ", m_unZip},
                                              {L"ArchiverPriorityR", m_unRar},
                                              {L"ArchiverPriorityL", m_unLha},
                                              {L"ArchiverPriorityZL", m_zip},
                                              {L"ArchiverPriority7Z", m_sevenZip},
                                              {L"ArchiverPriorityG", m_unGca}},
                                             L"ArchiverPriorityX"));
}

void CAppWindow::ApplySettings()
{
    (void)m_settings.Save(m_settingsPath);
    m_arcPassMask = m_settings.GetBool(L"ArcPassMask");
    m_spi->Load(
        Brivox::CFileName(m_settings.GetRaw(L"SpiPluginsDir"), Brivox::CFileName::ExecutableDirectory()));
    // New lists swapped in whole: a loader that walks the old one keeps it.
    RebuildRegistries();
    // The document hands the workers a fresh snapshot of what they read.
    m_document->ApplySettings(true);
    m_document->SetViewRect(m_window->GetClientSize());

    m_cursorHider->SetDelay(m_settings.GetInt(L"AutoCursorHideTime"));
    m_cursorHider->SetEnabled(m_settings.GetBool(L"AutoCursorHide"));
    const bool fullScreen =
        m_screenChanger && m_screenChanger->GetState() != Brivox::CScreenChanger::Windowed;
    if (fullScreen && m_settings.GetBool(L"FullScreenCursorHide"))
        m_cursorHider->HideNow();
    else
        m_cursorHider->ShowNow();
    if (m_screenChanger) {
        m_screenChanger->SetMinimizeOnDeactivate(m_settings.GetBool(L"FullScreenMinOnDeactive"));
        m_screenChanger->SetTopMost(m_settings.GetBool(L"WindowTopMost"));
    }
    if (m_magnifier) {
        const SIZE magnifier = m_settings.GetSize(L"Magnifier");
        m_magnifier->SetSize({magnifier.cx, magnifier.cy});
        m_magnifier->SetShape(m_settings.GetInt(L"MagnifierShape"));
    }
    m_snapper.reset();
    if (m_settings.GetBool(L"Snap")) {
        m_snapper = std::make_unique<Brivox::CWindowSnapper>();
        m_snapper->SetSnapToMonitors(true);
        m_snapper->SetDistance(32);
    }
}

void CAppWindow::OpenFiles(const std::vector<String>& paths, bool fromDrop)
{
    if (m_settings.GetBool(L"FileAddMode")) {
        m_document->OpenPaths(paths);
    } else if (ConfirmClose()) {
        m_document->Close();
        m_document->OpenPaths(paths);
    }
    if (!paths.empty() && (!fromDrop || m_settings.GetBool(L"CDOnDrop")))
        m_settings.SetRaw(L"CurrentDir", Brivox::CFileName::GetDirectory(paths.front()));
}

bool CAppWindow::ConfirmClose()
{
    const int marked = m_document->CountMarked();
    if (marked <= 0)
        return true;
    const String text = Brivox::IntToString(marked) +
                        L" 個のマークしたファイルがあります。\r\n続行する場合、全てのマークがクリアされます";
    if (m_window->MessageBox(MB_OKCANCEL | MB_ICONINFORMATION, L"確認", text) != IDOK)
        return false;
    m_document->ClearMarks();
    return true;
}

bool CAppWindow::QueryPassword(const String& archivePath, String& password, int)
{
    // On another thread the dialog has no owner: that thread's input stays its own.
    CPassDialog dialog(*this, archivePath);
    dialog.DoModal(OnWindowThread() ? m_window->GetHandle() : nullptr);
    if (!dialog.IsConfirmed())
        return false;
    password = dialog.GetPassword();
    return true;
}

HWND CAppWindow::GetToolDialogWindow() const
{
    return m_window ? m_window->GetHandle() : nullptr;
}

void CAppWindow::HandOverArcPassMask(bool mask)
{
    m_arcPassMask = mask;
    if (OnWindowThread())
        StoreArcPassMask(mask);
    else if (HasWindow())
        m_window->PostMessage(ArcPassMaskMessage, mask ? 1 : 0, 0);
}

void CAppWindow::StoreArcPassMask(bool mask)
{
    m_settings.SetBool(L"ArcPassMask", mask);
}

HWND CAppWindow::CCursorTarget::GetCursorTargetWindow() const
{
    return m_owner.m_window ? m_owner.m_window->GetHandle() : nullptr;
}

void CAppWindow::CCursorTarget::HideMouseCursor()
{
    if (m_owner.m_window)
        m_owner.m_window->HideMouseCursor();
}

void CAppWindow::CCursorTarget::ShowMouseCursor()
{
    if (m_owner.m_window)
        m_owner.m_window->ShowMouseCursor();
}
