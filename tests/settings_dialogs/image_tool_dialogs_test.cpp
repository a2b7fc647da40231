// The image tool dialogs over a document that records what they ask of it.
#include "settings/image_tool_dialogs.h"

#include "config_dialog_test_support.h"
#include "foundation/config.h"
#include "foundation/exception.h"
#include "imaging/dc_target.h"
#include "resources/image_tool_dialog_ids.h"
#include "settings/config_schema.h"
#include "support/window_test_bed.h"
#include "tool_dialog_test_support.h"
#include "ui/common_dialogs.h"
#include "ui/ctrl.h"
#include "ui/window_test_support.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

using Brivox::CRect;
using Brivox::String;
using ConfigDialogTest::ChangedKeys;
using ToolDialogTest::Command;
using ToolDialogTest::Item;
using ToolDialogTest::RunDialog;
using Calls = std::vector<std::wstring>;

namespace {

std::wstring Real(double value)
{
    wchar_t text[64];
    std::swprintf(text, 64, L"%g", value);
    return text;
}

// The document's side of the previews, as calls written down in order. A call whose text starts
// with `failing` throws instead, as a failing page operation would.
class RecordingDocument : public IPreviewDocument
{
public:
    void BeginPreview() override { Record(L"Begin"); }
    void RestorePreview() override { Record(L"Restore"); }
    void EndPreview() override { Record(L"End"); }
    void CancelPreview() override { Record(L"Cancel"); }
    void RotateByAngle(double angle) override { Record(L"Rotate " + Real(angle)); }
    void RotateByAnglePreview(double angle) override { Record(L"RotatePreview " + Real(angle)); }
    void ApplyLevels(const CRect& selection, int low, int high) override
    {
        Apply(selection, L"Levels " + std::to_wstring(low) + L" " + std::to_wstring(high));
    }
    void ApplyGamma(const CRect& selection, double gamma) override
    {
        Apply(selection, L"Gamma " + Real(gamma));
    }
    void ApplyBrightContrast(const CRect& selection, int brightness, int contrast) override
    {
        Apply(selection, L"BC " + std::to_wstring(brightness) + L" " + std::to_wstring(contrast));
    }
    void ApplyMosaic(const CRect& selection, int blockSize, int kind) override
    {
        Apply(selection, L"Mosaic " + std::to_wstring(blockSize) + L" " + std::to_wstring(kind));
    }
    void ApplyAlpha(const CRect& selection, COLORREF colour, bool onlyWithAlpha) override
    {
        Apply(selection, L"Alpha " + std::to_wstring(colour) + (onlyWithAlpha ? L" only" : L" all"));
    }
    void ApplyGauss(const CRect& selection, double radius) override
    {
        Apply(selection, L"Gauss " + Real(radius));
    }
    void ApplyUnsharp(const CRect& selection, double value) override
    {
        Apply(selection, L"Unsharp " + Real(value));
    }
    std::shared_ptr<Brivox::CPlane32> GetLevelHistogram(const CRect& selection, const Brivox::CSize& size,
                                                        double& mean, double& deviation) override
    {
        Apply(selection, L"Histogram");
        histogramSize = size;
        mean = 12.5;
        deviation = 3.25;
        auto graph = std::make_shared<Brivox::CDib32>();
        graph->Resize(size);
        graph->Fill(RGB(10, 20, 30));
        return graph;
    }
    void WriteLevelCsv(const CRect& selection, const String& path) override
    {
        Apply(selection, L"Csv " + std::wstring(path.CStr()));
    }
    String GetCurrentPathOrDefault() const override { return L"C:\\pages\\p1.png"; }

    Calls calls;
    std::wstring failing;
    CRect lastSelection{-1, -1, -1, -1};
    Brivox::CSize histogramSize;

private:
    void Apply(const CRect& selection, const std::wstring& call)
    {
        lastSelection = selection;
        Record(call);
    }
    void Record(const std::wstring& call)
    {
        calls.push_back(call);
        if (!failing.empty() && call.rfind(failing, 0) == 0)
            throw Brivox::RuntimeException(L"ページの操作に失敗");
    }
};

// The main window as the dialogs see it: the viewer's settings with their defaults and the
// recording document.
class TestOwner : public IImageToolDialogOwner
{
public:
    TestOwner() { InitConfig(settings, L"Z:\\nonexistent-kanoru-settings\\none.cfg"); }

    HWND GetToolDialogWindow() const override { return window; }
    Brivox::CConfig& GetToolDialogSettings() override { return settings; }
    IPreviewDocument& GetPreviewDocument() override { return document; }
    Brivox::CFileDialog& GetToolFileDialog() override { return files; }

    HWND window = nullptr;
    Brivox::CConfig settings;
    RecordingDocument document;
    Brivox::CFileDialog files;
};

// A track bar dragged by the user to the position.
void MoveTrack(HWND dialog, int id, int position)
{
    const HWND track = ::GetDlgItem(dialog, id);
    ::SendMessageA(track, TBM_SETPOS, TRUE, position);
    ::SendMessageA(dialog, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position),
                   reinterpret_cast<LPARAM>(track));
}

void Click(HWND dialog, int id)
{
    ::SendMessageA(::GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

void Type(HWND dialog, int id, const wchar_t* text)
{
    Item(dialog, id).SetText(text);
}

std::wstring TextOf(HWND dialog, int id)
{
    return Item(dialog, id).GetText().CStr();
}

int TrackOf(HWND dialog, int id)
{
    return Item(dialog, id).TrackBarGetPos();
}

// What the dialog asked since the mark.
Calls CallsSince(const Calls& calls, std::size_t mark)
{
    return Calls(calls.begin() + static_cast<std::ptrdiff_t>(mark), calls.end());
}

enum class Way
{
    Ok,
    CancelButton,
    CloseBox,
};

void Leave(HWND dialog, Way way)
{
    switch (way) {
    case Way::Ok:
        Command(dialog, IDOK);
        break;
    case Way::CancelButton:
        Command(dialog, IDCANCEL);
        break;
    case Way::CloseBox:
        ::SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    }
}

using DialogMaker = std::function<std::unique_ptr<Brivox::CResourceDialogBase>(TestOwner&, bool filterMode)>;

struct PreviewingDialog
{
    const wchar_t* name;
    DialogMaker make;
    int divisor;
};

const CRect Selection{10, 20, 110, 220};

const PreviewingDialog PreviewingDialogs[] = {
    {L"rotation", [](TestOwner& o, bool) { return std::make_unique<CRotDialog>(o); }, 4},
    {L"levels", [](TestOwner& o, bool f) { return std::make_unique<CLevelRevDialog>(o, Selection, f); }, 2},
    {L"gamma", [](TestOwner& o, bool f) { return std::make_unique<CGammaRevDialog>(o, Selection, f); }, 2},
    {L"brightness",
     [](TestOwner& o, bool f) { return std::make_unique<CBrightContrastDialog>(o, Selection, f); }, 4},
    {L"mosaic", [](TestOwner& o, bool) { return std::make_unique<CMosaicDialog>(o, Selection); }, 4},
    {L"alpha", [](TestOwner& o, bool f) { return std::make_unique<CAlphaDialog>(o, Selection, f); }, 2},
    {L"gauss", [](TestOwner& o, bool f) { return std::make_unique<CGaussDialog>(o, Selection, f, true); }, 2},
    {L"unsharp", [](TestOwner& o, bool f) { return std::make_unique<CGaussDialog>(o, Selection, f, false); },
     2},
};

std::size_t Count(const Calls& calls, const std::wstring& call)
{
    return static_cast<std::size_t>(std::count(calls.begin(), calls.end(), call));
}

} // namespace

TEST(GammaSliderPosition, IsTheRoundedHundredfoldLogarithmAndTakesUnusableValuesAsOne)
{
    const struct
    {
        double gamma;
        int position;
    } cases[] = {{2, 69},
                 {1, 0},
                 {0.5, -69},
                 {1.9937, 69},
                 {std::exp(1.0), 100},
                 {1e-8, 0},
                 {0, 0},
                 {-1, 0},
                 {std::numeric_limits<double>::quiet_NaN(), 0},
                 {std::numeric_limits<double>::infinity(), 0}};
    for (const auto& c : cases)
        EXPECT_EQ(GammaSliderPosition(c.gamma), c.position) << c.gamma;
}

TEST(DesktopInputImageToolDialogs, EveryWayOutEndsThePreviewItBeganOnce)
{
    for (const PreviewingDialog& kind : PreviewingDialogs) {
        for (bool filterMode : {false, true}) {
            for (Way way : {Way::Ok, Way::CancelButton, Way::CloseBox}) {
                RunOnFreshThread([&] {
                    TestOwner owner;
                    owner.settings.SetBool(L"LevelRevReflect", true);
                    owner.settings.SetBool(L"GammaRevReflect", true);
                    owner.settings.SetBool(L"GaussReflect", true);
                    owner.settings.SetBool(L"UnsharpReflect", true);
                    const auto dialog = kind.make(owner, filterMode);
                    RunDialog(*dialog, [&](HWND hwnd) { Leave(hwnd, way); });
                    const Calls& calls = owner.document.calls;
                    const std::wstring where = std::wstring(kind.name) +
                                               (filterMode ? L" filter " : L" image ") +
                                               std::to_wstring(static_cast<int>(way));
                    ASSERT_FALSE(calls.empty()) << where;
                    EXPECT_EQ(calls.front(), L"Begin") << where;
                    EXPECT_EQ(Count(calls, L"Begin"), 1u) << where;
                    const bool kept = way == Way::Ok && std::wstring(kind.name) != L"rotation";
                    EXPECT_EQ(Count(calls, L"End"), kept ? 1u : 0u) << where;
                    EXPECT_EQ(Count(calls, L"Cancel"), kept ? 0u : 1u) << where;
                    // Nothing previews once the preview is over; the rotation turns the page once.
                    const auto last = std::find_if(calls.begin(), calls.end(), [](const std::wstring& c) {
                        return c == L"End" || c == L"Cancel";
                    });
                    const Calls after(last + 1, calls.end());
                    const bool rotation = std::wstring(kind.name) == L"rotation";
                    EXPECT_EQ(after, way == Way::Ok && rotation ? Calls{L"Rotate 0"} : Calls{}) << where;
                    // The operations work on the dialog's selection.
                    if (!rotation) {
                        EXPECT_EQ(owner.document.lastSelection, Selection) << where;
                    }
                });
            }
        }
    }
}

TEST(DesktopInputImageToolDialogs, SitOverTheMainWindowsClientAreaAtAQuarterOrAHalfOfTheRoomBelow)
{
    for (const PreviewingDialog& kind : PreviewingDialogs) {
        RunOnFreshThread([&] {
            // The main window on the dialog's thread, as in the program, so that its repaints are
            // served.
            TestWindow mainWindow;
            mainWindow.Create();
            ::SetWindowPos(mainWindow.Handle(), nullptr, 40, 30, 900, 700, SWP_NOZORDER | SWP_NOACTIVATE);
            TestOwner owner;
            owner.window = mainWindow.Handle();
            const auto dialog = kind.make(owner, false);
            RunDialog(*dialog, [&](HWND hwnd) {
                SCOPED_TRACE(testing::Message() << kind.name);
                ToolDialogTest::ExpectPlacedOver(owner.window, hwnd, kind.divisor);
                Command(hwnd, IDCANCEL);
            });
            mainWindow.window.Destroy();
        });
    }
    // The resize dialog sits over the window it runs over.
    RunOnFreshThread([&] {
        TestWindow mainWindow;
        mainWindow.Create();
        ::SetWindowPos(mainWindow.Handle(), nullptr, 40, 30, 900, 700, SWP_NOZORDER | SWP_NOACTIVATE);
        CStretchDialog dialog({800, 600}, true);
        RunDialog(
            dialog,
            [&](HWND hwnd) {
                ToolDialogTest::ExpectPlacedOver(mainWindow.Handle(), hwnd, 2);
                Command(hwnd, IDCANCEL);
            },
            mainWindow.Handle());
        mainWindow.window.Destroy();
    });
}

// ---- Rotation

TEST(DesktopInputRotDialog, TypedAnglesPreviewAsTypedAndTheTrackBarFollowsFolded)
{
    RunOnFreshThread([] {
        TestOwner owner;
        CRotDialog dialog(owner);
        RunDialog(dialog, [&](HWND hwnd) {
            EXPECT_EQ(TextOf(hwnd, IDC_TOOL_VALUE), L"0.0");
            EXPECT_EQ(TrackOf(hwnd, IDC_TOOL_TRACK), 0);
            const std::size_t mark = owner.document.calls.size();
            Type(hwnd, IDC_TOOL_VALUE, L"200");
            EXPECT_EQ(CallsSince(owner.document.calls, mark), (Calls{L"Restore", L"RotatePreview 200"}));
            EXPECT_EQ(TrackOf(hwnd, IDC_TOOL_TRACK), -1600);
            // The same angle written another way changes nothing.
            Type(hwnd, IDC_TOOL_VALUE, L"200.0");
            Type(hwnd, IDC_TOOL_VALUE, L"-530");
            EXPECT_EQ(TrackOf(hwnd, IDC_TOOL_TRACK), -1700);
            // Values no track bar holds still leave the dialog whole.
            Type(hwnd, IDC_TOOL_VALUE, L"1e300");
            Type(hwnd, IDC_TOOL_VALUE, L"inf");
            Type(hwnd, IDC_TOOL_VALUE, L"nan");
            Type(hwnd, IDC_TOOL_VALUE, L"abc");
            EXPECT_EQ(TrackOf(hwnd, IDC_TOOL_TRACK), 0);
            const std::size_t moved = owner.document.calls.size();
            MoveTrack(hwnd, IDC_TOOL_TRACK, 455);
            EXPECT_EQ(TextOf(hwnd, IDC_TOOL_VALUE), L"45.5");
            EXPECT_EQ(CallsSince(owner.document.calls, moved), (Calls{L"Restore", L"RotatePreview 45.5"}));
            EXPECT_EQ(TrackOf(hwnd, IDC_TOOL_TRACK), 455);
            Command(hwnd, IDOK);
        });
        const Calls& calls = owner.document.calls;
        ASSERT_GE(calls.size(), 2u);
        EXPECT_EQ(Calls(calls.end() - 2, calls.end()), (Calls{L"Cancel", L"Rotate 45.5"}));
    });
}

TEST(DesktopInputRotDialog, OkTurnsOnceByTheAngleAsTypedBeyondAHalfTurn)
{
    RunOnFreshThread([] {
        TestOwner owner;
        CRotDialog dialog(owner);
        RunDialog(dialog, [&](HWND hwnd) {
            Type(hwnd, IDC_TOOL_VALUE, L"200");
            Command(hwnd, IDOK);
        });
        EXPECT_EQ(owner.document.calls,
                  (Calls{L"Begin", L"Restore", L"RotatePreview 200", L"Cancel", L"Rotate 200"}));
    });
}

// ---- Levels

TEST(DesktopInputLevelRevDialog, WithoutReflectTheTrackBarsMoveOnlyTheEditsAndOkAppliesOnce)
{
    RunOnFreshThread([] {
        TestOwner owner;
        const Brivox::CConfig before = owner.settings;
        CLevelRevDialog dialog(owner, Selection, false);
        RunDialog(dialog, [&](HWND hwnd) {
            EXPECT_EQ(KanoruTest::WindowText(hwnd), L"レベル補正　[平均：12.50　標準偏差：3.25]");
            EXPECT_EQ(TrackOf(hwnd, IDC_TOOL_TRACK), 0);
            EXPECT_EQ(TrackOf(hwnd, IDC_TOOL_TRACK2), 255);
            EXPECT_EQ(TextOf(hwnd, IDC_TOOL_VALUE), L"0");
            EXPECT_EQ(TextOf(hwnd, IDC_LEVEL_HIGH_VALUE), L"255");
            MoveTrack(hwnd, IDC_TOOL_TRACK, 10);
            MoveTrack(hwnd, IDC_TOOL_TRACK2, 200);
            EXPECT_EQ(TextOf(hwnd, IDC_TOOL_VALUE), L"10");
            EXPECT_EQ(TextOf(hwnd, IDC_LEVEL_HIGH_VALUE), L"200");
            // Typing into the edits changes nothing.
            Type(hwnd, IDC_TOOL_VALUE, L"99");
            EXPECT_EQ(TrackOf(hwnd, IDC_TOOL_TRACK), 10);
            EXPECT_EQ(owner.document.calls, (Calls{L"Begin", L"Histogram"}));
            Command(hwnd, IDOK);
        });
        EXPECT_EQ(owner.document.calls,
                  (Calls{L"Begin", L"Histogram", L"Restore", L"Levels 10 200", L"End"}));
        EXPECT_EQ(owner.document.lastSelection, Selection);
        EXPECT_TRUE(ChangedKeys(before, owner.settings).empty());
    });
}

TEST(DesktopInputLevelRevDialog, InFilterModeItStartsFromTheFilterAndOkSwitchesItOn)
{
    RunOnFreshThread([] {
        TestOwner owner;
        owner.settings.SetBool(L"LevelRevReflect", true);
        owner.settings.SetInt(L"FilterLevelRevLow", 30);
        owner.settings.SetInt(L"FilterLevelRevHigh", 220);
        const Brivox::CConfig before = owner.settings;
        CLevelRevDialog dialog(owner, CRect{}, true);
        RunDialog(dialog, [&](HWND hwnd) {
            EXPECT_EQ(TextOf(hwnd, IDC_TOOL_VALUE), L"30");
            EXPECT_EQ(TextOf(hwnd, IDC_LEVEL_HIGH_VALUE), L"220");
            MoveTrack(hwnd, IDC_TOOL_TRACK, 40);
            // Switched off, the page shows as it was; on again, it previews.
            Click(hwnd, IDC_TOOL_REFLECT);
            MoveTrack(hwnd, IDC_TOOL_TRACK2, 210);
            Click(hwnd, IDC_TOOL_REFLECT);
            Command(hwnd, IDOK);
        });
        EXPECT_EQ(owner.document.calls,
                  (Calls{L"Begin", L"Histogram", L"Restore", L"Levels 30 220", L"Restore", L"Levels 40 220",
                         L"Restore", L"Restore", L"Levels 40 210", L"End"}));
        EXPECT_EQ(
            ChangedKeys(before, owner.settings),
            (std::vector<std::wstring>{L"FilterLevelRev", L"FilterLevelRevHigh", L"FilterLevelRevLow"}));
        EXPECT_EQ(owner.settings.GetInt(L"FilterLevelRevLow"), 40);
        EXPECT_EQ(owner.settings.GetInt(L"FilterLevelRevHigh"), 210);
        EXPECT_TRUE(owner.settings.GetBool(L"FilterLevelRev"));
    });
}

TEST(DesktopInputLevelRevDialog, CancelKeepsOnlyTheTwoChecksAndRestoresThePage)
{
    RunOnFreshThread([] {
        TestOwner owner;
        const Brivox::CConfig before = owner.settings;
        CLevelRevDialog dialog(owner, CRect{}, true);
        RunDialog(dialog, [&](HWND hwnd) {
            Click(hwnd, IDC_TOOL_REFLECT);
            Click(hwnd, IDC_TOOL_OPAQUE);
            MoveTrack(hwnd, IDC_TOOL_TRACK, 40);
            Command(hwnd, IDCANCEL);
        });
        EXPECT_EQ(ChangedKeys(before, owner.settings),
                  (std::vector<std::wstring>{L"LevelRevOpaque", L"LevelRevReflect"}));
        EXPECT_EQ(owner.document.calls.back(), L"Cancel");
    });
}

// ---- Gamma

TEST(DesktopInputGammaRevDialog, TrackBarAndEditFollowEachOtherWithoutEcho)
{
    RunOnFreshThread([] {
        TestOwner owner;
        owner.settings.SetBool(L"GammaRevReflect", true);
        CGammaRevDialog dialog(owner, Selection, false);
        RunDialog(dialog, [&](HWND hwnd) {
            EXPECT_EQ(TextOf(hwnd, IDC_TOOL_VALUE), L"1");
            EXPECT_EQ(CallsSince(owner.document.calls, 0), (Calls{L"Begin", L"Restore", L"Gamma 1"}));
            std::size_t mark = owner.document.calls.size();
            MoveTrack(hwnd, IDC_TOOL_TRACK, 69);
            EXPECT_EQ(TextOf(hwnd, IDC_TOOL_VALUE), L"1.9937");
            EXPECT_EQ(TrackOf(hwnd, IDC_TOOL_TRACK), 69);
            EXPECT_EQ(CallsSince(owner.document.calls, mark), (Calls{L"Restore", L"Gamma 1.9937"}));
            mark = owner.document.calls.size();
            Type(hwnd, IDC_TOOL_VALUE, L"0.5");
            EXPECT_EQ(TrackOf(hwnd, IDC_TOOL_TRACK), -69);
            EXPECT_EQ(TextOf(hwnd, IDC_TOOL_VALUE), L"0.5");
            EXPECT_EQ(CallsSince(owner.document.calls, mark), (Calls{L"Restore", L"Gamma 0.5"}));
            Type(hwnd, IDC_TOOL_VALUE, L"2");
            EXPECT_EQ(TrackOf(hwnd, IDC_TOOL_TRACK), 69);
            Command(hwnd, IDCANCEL);
        });
        EXPECT_EQ(owner.document.calls.back(), L"Cancel");
    });
}

TEST(DesktopInputGammaRevDialog, AGammaOfZeroOrLessOrNoNumberIsUsedAsOne)
{
    for (const wchar_t* typed : {L"0", L"-1", L"abc", L"1e-9"}) {
        RunOnFreshThread([&] {
            TestOwner owner;
            CGammaRevDialog dialog(owner, Selection, true);
            RunDialog(dialog, [&](HWND hwnd) {
                MoveTrack(hwnd, IDC_TOOL_TRACK, 50);
                Type(hwnd, IDC_TOOL_VALUE, typed);
                EXPECT_EQ(TrackOf(hwnd, IDC_TOOL_TRACK), 0) << typed;
                Click(hwnd, IDC_TOOL_REFLECT);
                Command(hwnd, IDOK);
            });
            // Reflect on: one preview; then OK keeps it.
            EXPECT_EQ(owner.document.calls, (Calls{L"Begin", L"Restore", L"Gamma 1", L"End"})) << typed;
            EXPECT_EQ(owner.settings.GetInt(L"FilterGammaRevValue"), 0) << typed;
        });
    }
}

namespace {

// The picture the dialog draws into its owner-drawn item, asked for directly into a plane of ours.
std::vector<COLORREF> DrawnItem(HWND dialog, int id)
{
    const int side = 48;
    Brivox::CDib32 plane;
    plane.Resize({side, side});
    plane.Fill(RGB(1, 2, 3));
    {
        const Brivox::Detail::PlaneDcLock dc(plane);
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_STATIC;
        item.CtlID = static_cast<UINT>(id);
        item.itemAction = ODA_DRAWENTIRE;
        item.hwndItem = ::GetDlgItem(dialog, id);
        item.hDC = dc.GetDC();
        item.rcItem = {0, 0, side, side};
        ::SendMessageA(dialog, WM_DRAWITEM, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&item));
        ::GdiFlush();
    }
    std::vector<COLORREF> pixels;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            pixels.push_back(KanoruTest::PixelAt(plane, x, y));
    return pixels;
}

} // namespace

TEST(DesktopInputGammaRevDialog, TheCurveOfAGammaOfZeroOrLessOrNoNumberIsTheCurveOfOne)
{
    RunOnFreshThread([] {
        TestOwner owner;
        CGammaRevDialog dialog(owner, Selection, false);
        RunDialog(dialog, [&](HWND hwnd) {
            const std::vector<COLORREF> one = DrawnItem(hwnd, IDC_TOOL_GRAPH);
            EXPECT_NE(std::count(one.begin(), one.end(), RGB(1, 2, 3)),
                      static_cast<std::ptrdiff_t>(one.size()));
            for (const wchar_t* typed : {L"0", L"-1", L"abc"}) {
                Type(hwnd, IDC_TOOL_VALUE, typed);
                EXPECT_EQ(DrawnItem(hwnd, IDC_TOOL_GRAPH), one) << typed;
            }
            Type(hwnd, IDC_TOOL_VALUE, L"3");
            EXPECT_NE(DrawnItem(hwnd, IDC_TOOL_GRAPH), one);
            Command(hwnd, IDCANCEL);
        });
    });
}

TEST(DesktopInputGammaRevDialog, FilterModeStartsFromTheStoredPositionAndOkStoresTheTrackBar)
{
    RunOnFreshThread([] {
        TestOwner owner;
        owner.settings.SetInt(L"FilterGammaRevValue", -69);
        const Brivox::CConfig before = owner.settings;
        CGammaRevDialog dialog(owner, CRect{}, true);
        RunDialog(dialog, [&](HWND hwnd) {
            EXPECT_EQ(TextOf(hwnd, IDC_TOOL_VALUE), L"0.5016");
            MoveTrack(hwnd, IDC_TOOL_TRACK, 69);
            Command(hwnd, IDOK);
        });
        // Reflect off: nothing previewed until OK, which applies once.
        EXPECT_EQ(owner.document.calls, (Calls{L"Begin", L"Restore", L"Gamma 1.9937", L"End"}));
        EXPECT_EQ(ChangedKeys(before, owner.settings),
                  (std::vector<std::wstring>{L"FilterGammaRev", L"FilterGammaRevValue"}));
        EXPECT_EQ(owner.settings.GetInt(L"FilterGammaRevValue"), 69);
    });
}

// ---- Brightness and contrast

TEST(DesktopInputBrightContrastDialog, AlwaysPreviewsAndCancelStoresNothing)
{
    RunOnFreshThread([] {
        TestOwner owner;
        owner.settings.SetInt(L"FilterBCBright", 5);
        const Brivox::CConfig before = owner.settings;
        CBrightContrastDialog dialog(owner, Selection, true);
        RunDialog(dialog, [&](HWND hwnd) {
            MoveTrack(hwnd, IDC_TOOL_TRACK, 20);
            MoveTrack(hwnd, IDC_TOOL_TRACK2, -30);
            Command(hwnd, IDCANCEL);
        });
        EXPECT_EQ(owner.document.calls, (Calls{L"Begin", L"Restore", L"BC 5 0", L"Restore", L"BC 20 0",
                                               L"Restore", L"BC 20 -30", L"Cancel"}));
        EXPECT_TRUE(ChangedKeys(before, owner.settings).empty());
    });
}

TEST(DesktopInputBrightContrastDialog, OkEndsThePreviewAndInFilterModeStoresTheTrackBars)
{
    for (bool filterMode : {false, true}) {
        RunOnFreshThread([&] {
            TestOwner owner;
            const Brivox::CConfig before = owner.settings;
            CBrightContrastDialog dialog(owner, Selection, filterMode);
            RunDialog(dialog, [&](HWND hwnd) {
                MoveTrack(hwnd, IDC_TOOL_TRACK, -128);
                MoveTrack(hwnd, IDC_TOOL_TRACK2, 128);
                Command(hwnd, IDOK);
            });
            EXPECT_EQ(owner.document.calls.back(), L"End");
            if (filterMode) {
                EXPECT_EQ(ChangedKeys(before, owner.settings),
                          (std::vector<std::wstring>{L"FilterBC", L"FilterBCBright", L"FilterBCContrast"}));
                EXPECT_EQ(owner.settings.GetInt(L"FilterBCBright"), -128);
                EXPECT_EQ(owner.settings.GetInt(L"FilterBCContrast"), 128);
            } else {
                EXPECT_TRUE(ChangedKeys(before, owner.settings).empty());
            }
        });
    }
}

// ---- Mosaic

TEST(DesktopInputMosaicDialog, EveryChangePreviewsAndCancelStillStoresLevelAndType)
{
    RunOnFreshThread([] {
        TestOwner owner;
        const Brivox::CConfig before = owner.settings;
        CMosaicDialog dialog(owner, Selection);
        RunDialog(dialog, [&](HWND hwnd) {
            int low = -1, high = -1;
            ::SendMessageA(::GetDlgItem(hwnd, IDC_MOSAIC_UPDOWN), UDM_GETRANGE32,
                           reinterpret_cast<WPARAM>(&low), reinterpret_cast<LPARAM>(&high));
            EXPECT_EQ(low, 0);
            EXPECT_EQ(high, 30);
            EXPECT_EQ(TextOf(hwnd, IDC_TOOL_VALUE), L"8");
            Type(hwnd, IDC_TOOL_VALUE, L"45");
            Click(hwnd, IDC_MOSAIC_AVERAGE);
            Type(hwnd, IDC_TOOL_VALUE, L"-5");
            Command(hwnd, IDCANCEL);
        });
        EXPECT_EQ(owner.document.calls,
                  (Calls{L"Begin", L"Restore", L"Mosaic 8 0", L"Restore", L"Mosaic 45 0", L"Restore",
                         L"Mosaic 45 1", L"Restore", L"Mosaic -5 1", L"Cancel"}));
        EXPECT_EQ(ChangedKeys(before, owner.settings),
                  (std::vector<std::wstring>{L"MosaicLevel", L"MosaicType"}));
        EXPECT_EQ(owner.settings.GetInt(L"MosaicLevel"), -5);
        EXPECT_EQ(owner.settings.GetInt(L"MosaicType"), 1);
    });
}

TEST(DesktopInputMosaicDialog, OkKeepsTheResultAndStoresTheTwoKeys)
{
    RunOnFreshThread([] {
        TestOwner owner;
        owner.settings.SetInt(L"MosaicType", 1);
        CMosaicDialog dialog(owner, Selection);
        RunDialog(dialog, [&](HWND hwnd) {
            EXPECT_TRUE(Item(hwnd, IDC_MOSAIC_AVERAGE).IsChecked());
            Type(hwnd, IDC_TOOL_VALUE, L"16");
            Command(hwnd, IDOK);
        });
        EXPECT_EQ(owner.document.calls,
                  (Calls{L"Begin", L"Restore", L"Mosaic 8 1", L"Restore", L"Mosaic 16 1", L"End"}));
        EXPECT_EQ(owner.settings.GetInt(L"MosaicLevel"), 16);
    });
}

// ---- Alpha

TEST(DesktopInputAlphaDialog, OkStoresColourAndCheckAndSwitchesTheFilterOnlyInFilterMode)
{
    for (bool filterMode : {false, true}) {
        RunOnFreshThread([&] {
            TestOwner owner;
            owner.settings.SetRGB(L"FilterAlphaBg", RGB(1, 2, 3));
            const Brivox::CConfig before = owner.settings;
            CAlphaDialog dialog(owner, Selection, filterMode);
            RunDialog(dialog, [&](HWND hwnd) {
                EXPECT_TRUE(Item(hwnd, IDC_TOOL_REFLECT).IsChecked());
                Click(hwnd, IDC_TOOL_REFLECT);
                Command(hwnd, IDOK);
            });
            const std::wstring colour = std::to_wstring(RGB(1, 2, 3));
            EXPECT_EQ(owner.document.calls, (Calls{L"Begin", L"Restore", L"Alpha " + colour + L" only",
                                                   L"Restore", L"Alpha " + colour + L" all", L"End"}));
            std::vector<std::wstring> changed{L"FilterAlphaCheck"};
            if (filterMode)
                changed.insert(changed.begin(), L"FilterAlpha");
            EXPECT_EQ(ChangedKeys(before, owner.settings), changed);
        });
    }
}

TEST(DesktopInputAlphaDialog, CancelStoresNothing)
{
    RunOnFreshThread([] {
        TestOwner owner;
        const Brivox::CConfig before = owner.settings;
        CAlphaDialog dialog(owner, Selection, true);
        RunDialog(dialog, [&](HWND hwnd) {
            Click(hwnd, IDC_TOOL_REFLECT);
            ::SendMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        });
        EXPECT_EQ(owner.document.calls.back(), L"Cancel");
        EXPECT_TRUE(ChangedKeys(before, owner.settings).empty());
    });
}

// ---- Gauss and unsharp mask

TEST(DesktopInputGaussDialog, TheKindNamesTheCaptionAndTheKeysThatOkStoresInFilterMode)
{
    const struct
    {
        bool gauss;
        const wchar_t* caption;
        const wchar_t* apply;
        std::vector<std::wstring> keys;
    } kinds[] = {
        {true, L"ガウスぼかし", L"Gauss ", {L"FilterGauss", L"FilterGaussValue", L"GaussReflect"}},
        {false,
         L"アンシャープマスク",
         L"Unsharp ",
         {L"FilterUnsharp", L"FilterUnsharpValue", L"UnsharpReflect"}},
    };
    for (const auto& kind : kinds) {
        RunOnFreshThread([&] {
            TestOwner owner;
            const Brivox::CConfig before = owner.settings;
            CGaussDialog dialog(owner, CRect{}, true, kind.gauss);
            RunDialog(dialog, [&](HWND hwnd) {
                EXPECT_EQ(KanoruTest::WindowText(hwnd), kind.caption);
                EXPECT_EQ(TextOf(hwnd, IDC_TOOL_VALUE), L"1.5");
                EXPECT_EQ(TrackOf(hwnd, IDC_TOOL_TRACK), 150);
                Click(hwnd, IDC_TOOL_REFLECT);
                MoveTrack(hwnd, IDC_TOOL_TRACK, 455);
                EXPECT_EQ(TextOf(hwnd, IDC_TOOL_VALUE), L"4.55");
                Type(hwnd, IDC_TOOL_VALUE, L"2.25");
                EXPECT_EQ(TrackOf(hwnd, IDC_TOOL_TRACK), 225);
                Command(hwnd, IDOK);
            });
            const std::wstring apply = kind.apply;
            EXPECT_EQ(owner.document.calls, (Calls{L"Begin", L"Restore", apply + L"1.5", L"Restore",
                                                   apply + L"4.55", L"Restore", apply + L"2.25", L"End"}));
            EXPECT_EQ(ChangedKeys(before, owner.settings), kind.keys);
            EXPECT_EQ(owner.settings.GetInt(String(kind.keys[1].c_str())), 225);
        });
    }
}

TEST(DesktopInputGaussDialog, CancelKeepsOnlyTheReflectCheck)
{
    RunOnFreshThread([] {
        TestOwner owner;
        const Brivox::CConfig before = owner.settings;
        CGaussDialog dialog(owner, Selection, true, true);
        RunDialog(dialog, [&](HWND hwnd) {
            Click(hwnd, IDC_TOOL_REFLECT);
            Type(hwnd, IDC_TOOL_VALUE, L"1e300");
            EXPECT_EQ(TrackOf(hwnd, IDC_TOOL_TRACK), 1000);
            Type(hwnd, IDC_TOOL_VALUE, L"nan");
            EXPECT_EQ(TrackOf(hwnd, IDC_TOOL_TRACK), 0);
            Command(hwnd, IDCANCEL);
        });
        EXPECT_EQ(ChangedKeys(before, owner.settings), (std::vector<std::wstring>{L"GaussReflect"}));
        EXPECT_EQ(owner.document.calls.back(), L"Cancel");
    });
}

// ---- Errors

TEST(DesktopInputImageToolDialogs, AFailingOperationIsShownAndTheDialogAndItsPreviewStayOpen)
{
    KanoruTest::MessageBoxAnswerer boxes;
    RunOnFreshThread([] {
        TestOwner owner;
        owner.document.failing = L"Mosaic 13";
        CMosaicDialog dialog(owner, Selection);
        RunDialog(dialog, [&](HWND hwnd) {
            Type(hwnd, IDC_TOOL_VALUE, L"13");
            Type(hwnd, IDC_TOOL_VALUE, L"14");
            // Handled only by a dialog still open, which then stores what it shows.
            ::PostMessageA(hwnd, WM_COMMAND, IDCANCEL, 0);
        });
        EXPECT_EQ(owner.document.calls, (Calls{L"Begin", L"Restore", L"Mosaic 8 0", L"Restore",
                                               L"Mosaic 13 0", L"Restore", L"Mosaic 14 0", L"Cancel"}));
        EXPECT_EQ(owner.settings.GetInt(L"MosaicLevel"), 14);
    });
    const auto shown = boxes.Boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, String(L"エラー (3)"));
}

TEST(DesktopInputImageToolDialogs, AnUnreadableSettingAtTheStartLeavesAPreviewThatCancelEnds)
{
    KanoruTest::MessageBoxAnswerer boxes;
    RunOnFreshThread([] {
        TestOwner owner;
        owner.settings.SetRaw(L"GaussReflect", L"perhaps");
        CGaussDialog dialog(owner, Selection, false, true);
        RunDialog(dialog, [&](HWND hwnd) { Command(hwnd, IDCANCEL); });
        EXPECT_EQ(owner.document.calls.front(), L"Begin");
        EXPECT_EQ(owner.document.calls.back(), L"Cancel");
    });
    const auto shown = boxes.Boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, String(L"エラー (3)"));
}

// ---- Resize

TEST(DesktopInputStretchDialog, KeepAspectFillsTheOtherSideIn64BitArithmetic)
{
    const struct
    {
        Brivox::CSize current;
        int typedId;
        const wchar_t* typed;
        int filledId;
        const wchar_t* filled;
    } cases[] = {
        {{800, 600}, IDC_RESIZE_WIDTH, L"400", IDC_RESIZE_HEIGHT, L"300"},
        {{800, 600}, IDC_RESIZE_HEIGHT, L"300", IDC_RESIZE_WIDTH, L"400"},
        {{4000, 3000}, IDC_RESIZE_WIDTH, L"1000000", IDC_RESIZE_HEIGHT, L"750000"},
        {{3, 2}, IDC_RESIZE_WIDTH, L"5", IDC_RESIZE_HEIGHT, L"3"},
    };
    for (const auto& c : cases) {
        RunOnFreshThread([&] {
            CStretchDialog dialog(c.current, true);
            RunDialog(dialog, [&](HWND hwnd) {
                EXPECT_EQ(TextOf(hwnd, IDC_RESIZE_CURRENT_WIDTH), std::to_wstring(c.current.cx));
                EXPECT_EQ(TextOf(hwnd, IDC_RESIZE_CURRENT_HEIGHT), std::to_wstring(c.current.cy));
                EXPECT_EQ(TextOf(hwnd, IDC_RESIZE_WIDTH), L"");
                EXPECT_EQ(TextOf(hwnd, IDC_RESIZE_HEIGHT), L"");
                Type(hwnd, c.typedId, c.typed);
                EXPECT_EQ(TextOf(hwnd, c.filledId), c.filled) << c.typed;
                EXPECT_EQ(TextOf(hwnd, c.typedId), c.typed);
                Command(hwnd, IDOK);
            });
            ASSERT_TRUE(dialog.GetResult().has_value());
            EXPECT_TRUE(dialog.GetKeepAspect());
        });
    }
}

TEST(DesktopInputStretchDialog, WithoutKeepAspectTheSidesAreIndependentAndOkGivesThem)
{
    RunOnFreshThread([] {
        CStretchDialog dialog({800, 600}, true);
        RunDialog(dialog, [&](HWND hwnd) {
            Click(hwnd, IDC_RESIZE_KEEP_ASPECT);
            Type(hwnd, IDC_RESIZE_WIDTH, L"123");
            Type(hwnd, IDC_RESIZE_HEIGHT, L"45");
            EXPECT_EQ(TextOf(hwnd, IDC_RESIZE_WIDTH), L"123");
            Command(hwnd, IDOK);
        });
        ASSERT_TRUE(dialog.GetResult().has_value());
        EXPECT_EQ(*dialog.GetResult(), (Brivox::CSize{123, 45}));
        EXPECT_FALSE(dialog.GetKeepAspect());
    });
}

TEST(DesktopInputStretchDialog, ASizeBelowOneIsRefusedWithABoxAndTheDialogStaysOpen)
{
    const struct
    {
        const wchar_t* width;
        const wchar_t* height;
    } cases[] = {{L"0", L"10"}, {L"-5", L"10"}, {L"10", L"0"}, {L"10", L"-5"}, {L"abc", L"10"}, {L"", L""}};
    for (const auto& c : cases) {
        KanoruTest::MessageBoxAnswerer boxes;
        RunOnFreshThread([&] {
            CStretchDialog dialog({800, 600}, false);
            RunDialog(dialog, [&](HWND hwnd) {
                Type(hwnd, IDC_RESIZE_WIDTH, c.width);
                Type(hwnd, IDC_RESIZE_HEIGHT, c.height);
                Command(hwnd, IDOK);
                // Handled only by a dialog still open.
                Type(hwnd, IDC_RESIZE_WIDTH, L"7");
                Type(hwnd, IDC_RESIZE_HEIGHT, L"9");
                ::PostMessageA(hwnd, WM_COMMAND, IDOK, 0);
            });
            ASSERT_TRUE(dialog.GetResult().has_value());
            EXPECT_EQ(*dialog.GetResult(), (Brivox::CSize{7, 9}));
        });
        const auto shown = boxes.Boxes();
        ASSERT_EQ(shown.size(), 1u) << c.width << L" " << c.height;
        EXPECT_EQ(shown[0].text, String(L"変更後のサイズが不正です"));
    }
}

TEST(DesktopInputStretchDialog, CancelGivesNoResult)
{
    RunOnFreshThread([] {
        CStretchDialog dialog({800, 600}, true);
        RunDialog(dialog, [&](HWND hwnd) {
            Type(hwnd, IDC_RESIZE_WIDTH, L"400");
            ::SendMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        });
        EXPECT_FALSE(dialog.GetResult().has_value());
    });
}
