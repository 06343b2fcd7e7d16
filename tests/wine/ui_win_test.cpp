// The real window under Wine: controls, trackbar, menu, keys, the notification icon and its
// callbacks, driven through real messages and input against a seeded registry.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "form1_window.h"
#include "message_loop.h"
#include "seeded_registry.h"
#include "single_instance.h"
#include "startup_scan.h"
#include "win32_registry_watch.h"
#include "win32_registry.h"
#include "win_test_support.h"

namespace quillaro {
namespace {

using namespace quillaro::testing;
using win32::Form1Window;

std::string TextOf(HWND window) {
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

std::string ClassOf(HWND window) {
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi;
}

// A child window's rectangle in its parent's client coordinates.
RECT RectInParent(HWND child) {
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

SIZE TextExtent(HWND window, HFONT font, const std::string& text) {
    HDC dc = GetDC(window);
    HGDIOBJ previous = SelectObject(dc, font);
    SIZE extent{};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    SelectObject(dc, previous);
    ReleaseDC(window, dc);
    return extent;
}

// Every label's caption fits the label in the font the label draws with.
void ExpectCaptionsFit(HWND slider) {
    for (HWND label = GetWindow(slider, GW_HWNDNEXT); label; label = GetWindow(label, GW_HWNDNEXT)) {
        const std::string text = TextOf(label);
        const SIZE extent =
            TextExtent(label, reinterpret_cast<HFONT>(SendMessageA(label, WM_GETFONT, 0, 0)), text);
        RECT client{};
        GetClientRect(label, &client);
        EXPECT_LE(extent.cx, client.right) << text;
        EXPECT_LE(extent.cy, client.bottom) << text;
    }
}

// The window as designed, in twips (1/1440 inch): the client area, then the controls in
// creation order.
constexpr int kClientWidthTwips = 2730;
constexpr int kClientHeightTwips = 1320;
struct DesignedControl {
    const char* text;
    int left, top, width, height;
};
// In z-order: the heading just before the slider it names (which screen readers take as the
// slider's name), then the labels as created.
constexpr DesignedControl kDesignedControls[] = {
    {"DirectX Sound Acceleration", 120, 120, 2415, 255},
    {"", 120, 480, 2415, 375},
    {"Full", 2280, 960, 375, 255},
    {"Standard", 1320, 960, 735, 255},
    {"Basic", 720, 960, 495, 255},
    {"Off", 240, 960, 255, 255},
};

// Set when the tests are started at another display scale: the scale they were started at.
constexpr char kScaleVariable[] = "QUILLARO_TEST_DPI";

BOOL CALLBACK FindOwnedTooltip(HWND window, LPARAM param) {
    auto& [owner, tip] = *reinterpret_cast<std::pair<HWND, HWND>*>(param);
    if (ClassOf(window) != TOOLTIPS_CLASSA || GetWindow(window, GW_OWNER) != owner) return TRUE;
    tip = window;
    return FALSE;
}

class Form1WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(win32::RegisterForm1Class(GetModuleHandleA(nullptr)));
        instance = seeded.AddDevice("VEN_1274&DEV_5880", "3&61aaa01&0&28", {8, 1, 1});
    }
    void TearDown() override {
        if (window && window->hwnd()) window->form().MenuExit_Click();
        PumpUntil([] { return TrayIconCount() == 0; });
    }

    void Open() {
        window = std::make_unique<Form1Window>(GetModuleHandleA(nullptr), registry, accessible, com);
        ASSERT_TRUE(window->Create());
        window->ShowFirstTime(SW_SHOWNORMAL);
        ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == hwnd(); }));
    }
    HWND hwnd() const { return window->hwnd(); }
    int SliderPosition() const {
        return static_cast<int>(SendMessageA(window->slider(), TBM_GETPOS, 0, 0));
    }
    std::vector<UINT> CheckedItems() const {
        std::vector<UINT> checked;
        for (UINT id = win32::MenuOff; id <= win32::MenuExit; ++id)
            if (GetMenuState(window->menu(), id, MF_BYCOMMAND) & MF_CHECKED) checked.push_back(id);
        return checked;
    }
    std::array<std::optional<std::uint32_t>, 3> Stored() const {
        return {SeededRegistry::GetDword(SeededRegistry::MixerPath(instance), "Acceleration"),
                SeededRegistry::GetDword(SeededRegistry::PresencePath(instance), "VxD"),
                SeededRegistry::GetDword(SeededRegistry::PresencePath(instance), "WDM")};
    }
    static std::array<std::optional<std::uint32_t>, 3> Values(std::uint32_t a, std::uint32_t v,
                                                              std::uint32_t w) {
        return {a, v, w};
    }
    void Minimise() {
        ShowWindow(hwnd(), SW_MINIMIZE);
        ASSERT_TRUE(PumpUntil([&] { return !IsWindowVisible(hwnd()) && TrayIconCount() == 1; }));
    }
    // The notification icon's callback, as the shell sends it.
    void IconCallback(UINT mouseMessage) { SendMessageA(hwnd(), WM_MOUSEMOVE, 1, mouseMessage); }

    // Opens the pop-up menu through the icon's callback and chooses an item by keyboard:
    // `downs` presses of the down arrow from no selection, then Return.
    void ChooseFromPopup(int downs, WORD direction = VK_DOWN) {
        std::thread user([this, downs, direction] {
            if (!WaitUntil([] { return OpenPopupMenu() != nullptr; })) return;
            EXPECT_TRUE(WaitForMenuKeys(hwnd()));
            for (int i = 0; i < downs; ++i) PressKey(direction);
            PressKey(VK_RETURN);
        });
        IconCallback(WM_RBUTTONDOWN);  // returns once the menu has closed
        user.join();
    }

    // The tooltip of this thread that the window owns.
    HWND Tooltip() const {
        std::pair<HWND, HWND> ownerAndTip{hwnd(), nullptr};
        EnumThreadWindows(GetCurrentThreadId(), FindOwnedTooltip,
                          reinterpret_cast<LPARAM>(&ownerAndTip));
        return ownerAndTip.second;
    }
    // The pointer leaves the slider for a corner of the window, then rests on the slider's
    // middle, as a user's would: the text of the tooltip that shows, or nothing if none shows
    // within the limit.
    std::optional<std::string> TipOnRestingSlider(
        std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        POINT corner{1, 1};
        ClientToScreen(hwnd(), &corner);
        SetCursorPos(corner.x, corner.y);
        PumpUntil([] { return true; });  // that move handled before the next one
        RECT slider{};
        GetWindowRect(window->slider(), &slider);
        SetCursorPos((slider.left + slider.right) / 2, (slider.top + slider.bottom) / 2);
        HWND tip = Tooltip();
        if (!PumpUntil([&] { return IsWindowVisible(tip); }, limit)) return std::nullopt;
        char text[1024] = {};
        TTTOOLINFOA tool{};
        tool.cbSize = TTTOOLINFOA_V2_SIZE;
        tool.lpszText = text;
        if (!SendMessageA(tip, TTM_GETCURRENTTOOLA, 0, reinterpret_cast<LPARAM>(&tool)))
            return "(no current tool)";
        EXPECT_EQ(tool.hwnd, hwnd()) << "the tool belongs to the window";
        // The tool's text comes back cut at 80 characters; the tip shown holds it whole.
        SendMessageA(tip, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
        return std::string(text);
    }
    // What the message loop does when the registry watch signals a change.
    void Rescan() { window->form().Form_RegistryChanged(); }

    SeededRegistry seeded;
    std::string instance;
    Win32Registry registry;
    win32::ComApartment com;
    win32::SliderAccessible accessible;
    std::unique_ptr<Form1Window> window;
};

// The greyed slider's tooltip.
const std::string kNoDeviceTip = "No PCI sound device with DirectSound settings was found.";
const std::string kAdministratorTip = "Only an administrator can change the acceleration level.";
const std::string kIncompleteTip = "The sound device's DirectSound settings are incomplete.";

TEST_F(Form1WindowTest, WindowAndControlsMatchTheLayoutAt96Dpi) {
    Open();
    const int dpi = ScreenDpi();
    if (dpi != 96) GTEST_SKIP() << "screen is " << dpi << " dpi";

    EXPECT_EQ(TextOf(hwnd()), "Quillaro - Brask");
    RECT client{};
    GetClientRect(hwnd(), &client);
    EXPECT_EQ(client.right, 182);
    EXPECT_EQ(client.bottom, 88);
    const LONG style = GetWindowLongA(hwnd(), GWL_STYLE);
    EXPECT_EQ(style & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW);
    EXPECT_EQ(GetMenu(hwnd()), nullptr) << "no menu bar";

    struct Expected {
        const char* className;
        const char* text;
        RECT rect;
    };
    const Expected expected[] = {
        {"Static", "DirectX Sound Acceleration", {8, 8, 169, 25}},
        {"msctls_trackbar32", "", {8, 32, 169, 57}},
        {"Static", "Full", {152, 64, 177, 81}},
        {"Static", "Standard", {88, 64, 137, 81}},
        {"Static", "Basic", {48, 64, 81, 81}},
        {"Static", "Off", {16, 64, 33, 81}},
    };
    HWND child = GetWindow(hwnd(), GW_CHILD);  // children in z-order, as kDesignedControls
    for (const Expected& each : expected) {
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(ClassOf(child), each.className);
        EXPECT_EQ(TextOf(child), each.text);
        RECT rect{};
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&rect), 2);
        EXPECT_EQ(rect.left, each.rect.left) << each.text;
        EXPECT_EQ(rect.top, each.rect.top) << each.text;
        EXPECT_EQ(rect.right, each.rect.right) << each.text;
        EXPECT_EQ(rect.bottom, each.rect.bottom) << each.text;
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(child, nullptr);

    ExpectCaptionsFit(window->slider());

    LOGFONTA heading{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(GetDlgItem(hwnd(), win32::Label1), WM_GETFONT, 0, 0)),
               sizeof heading, &heading);
    EXPECT_EQ(heading.lfWeight, FW_BOLD);
    EXPECT_EQ(heading.lfHeight, -11);  // 8.25 point at 96 dpi

    // A maximised window keeps its controls where they were.
    ShowWindow(hwnd(), SW_MAXIMIZE);
    ASSERT_TRUE(PumpUntil([&] { return IsZoomed(hwnd()) != FALSE; }));
    RECT slider{};
    GetWindowRect(window->slider(), &slider);
    MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&slider), 2);
    EXPECT_EQ(slider.left, 8);
    EXPECT_EQ(slider.top, 32);
}

// Runs at the scale the process was started at: scripts/wine-tests.sh starts it at 120, 144 and
// 192 dpi as well.
TEST_F(Form1WindowTest, LayoutScalesWithTheScreenDpi) {
    Open();
    const int dpi = ScreenDpi();
    if (const char* started = std::getenv(kScaleVariable)) {
        ASSERT_EQ(dpi, std::atoi(started)) << "the process did not start at the scale asked for";
    }
    SCOPED_TRACE(std::to_string(dpi) + " dpi");
    auto pixels = [dpi](int twips) { return MulDiv(twips, dpi, 1440); };

    RECT client{};
    GetClientRect(hwnd(), &client);
    EXPECT_EQ(client.right, pixels(kClientWidthTwips));
    EXPECT_EQ(client.bottom, pixels(kClientHeightTwips));
    HWND child = GetWindow(hwnd(), GW_CHILD);
    for (const DesignedControl& each : kDesignedControls) {
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(TextOf(child), each.text);
        const RECT rect = RectInParent(child);
        EXPECT_EQ(rect.left, pixels(each.left)) << each.text;
        EXPECT_EQ(rect.top, pixels(each.top)) << each.text;
        EXPECT_EQ(rect.right - rect.left, pixels(each.width)) << each.text;
        EXPECT_EQ(rect.bottom - rect.top, pixels(each.height)) << each.text;
        child = GetWindow(child, GW_HWNDNEXT);
    }

    // The heading is bold, 8.25 point at this scale, and whole.
    ExpectCaptionsFit(window->slider());
    LOGFONTA heading{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(GetDlgItem(hwnd(), win32::Label1), WM_GETFONT, 0, 0)),
               sizeof heading, &heading);
    EXPECT_EQ(heading.lfWeight, FW_BOLD);
    EXPECT_EQ(-heading.lfHeight, std::lround(8.25 * dpi / 72));

    // The thumb straddles the channel inside the slider, and the tick marks show below it.
    HWND slider = window->slider();
    RECT inside{}, thumb{}, channel{};
    GetClientRect(slider, &inside);
    SendMessageA(slider, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    SendMessageA(slider, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
    EXPECT_GE(thumb.top, 0);
    EXPECT_LT(thumb.top, channel.top);
    EXPECT_GT(thumb.bottom, channel.bottom);
    EXPECT_LT(thumb.bottom, inside.bottom);
    RedrawWindow(slider, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    HDC dc = GetDC(slider);
    // The two inner tick marks (positions 1 and 2); the column halfway between has none.
    const int tick1 = static_cast<int>(SendMessageA(slider, TBM_GETTICPOS, 0, 0));
    const int tick2 = static_cast<int>(SendMessageA(slider, TBM_GETTICPOS, 1, 0));
    const int between = (tick1 + tick2) / 2;
    // Each shows in the rows below the thumb, with a free row above the focus rectangle that
    // runs along the bottom edge.
    const int freeRow = inside.bottom - 2;
    for (int tick : {tick1, tick2}) {
        bool drawn = false, clear = true;
        for (int x = tick - 1; x <= tick + 1; ++x) {
            for (int y = thumb.bottom; y < freeRow; ++y)
                drawn = drawn || GetPixel(dc, x, y) != GetPixel(dc, between, y);
            clear = clear && GetPixel(dc, x, freeRow) == GetPixel(dc, between, freeRow);
        }
        EXPECT_TRUE(drawn) << "no tick mark under x = " << tick;
        EXPECT_TRUE(clear) << "the tick mark under x = " << tick << " runs into the focus rectangle";
    }
    // The thumb is drawn whole: on every row its outline sets it off from its face on both
    // sides, except where the channel runs through it.
    const int middle = (thumb.left + thumb.right) / 2;
    const COLORREF face = GetPixel(dc, middle, thumb.top + (thumb.bottom - thumb.top) / 3);
    for (int y = thumb.top; y < thumb.bottom; ++y) {
        const COLORREF background = GetPixel(dc, 1, y);
        if (GetPixel(dc, thumb.left - 2, y) != background) continue;  // the channel
        auto firstDrawn = [&](int x, int step) {
            for (; x != middle; x += step)
                if (GetPixel(dc, x, y) != background) return GetPixel(dc, x, y);
            return background;
        };
        EXPECT_NE(firstDrawn(thumb.left - 1, 1), face) << "thumb open on the left at y = " << y;
        EXPECT_NE(firstDrawn(thumb.right, -1), face) << "thumb open on the right at y = " << y;
    }
    ReleaseDC(slider, dc);
}

TEST_F(Form1WindowTest, PopupMenuItemsHoldTheirCaptions) {
    Open();
    Minimise();
    std::array<RECT, 6> items{};
    RECT menuClient{};
    bool measured = false;
    std::thread user([&] {
        if (!WaitUntil([] { return OpenPopupMenu() != nullptr; })) return;
        for (int i = 0; i < 6; ++i) GetMenuItemRect(hwnd(), window->menu(), i, &items[i]);
        GetClientRect(OpenPopupMenu(), &menuClient);
        measured = true;
        EXPECT_TRUE(WaitForMenuKeys(hwnd()));
        PressKey(VK_ESCAPE);
    });
    IconCallback(WM_RBUTTONDOWN);  // returns once the menu has closed
    user.join();
    ASSERT_TRUE(measured) << "the pop-up menu did not open";

    SCOPED_TRACE(std::to_string(ScreenDpi()) + " dpi");
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
    HFONT menuFont = CreateFontIndirectA(&metrics.lfMenuFont);
    int itemsHeight = 0;
    for (int i = 0; i < 6; ++i) {
        char caption[64] = {};
        GetMenuStringA(window->menu(), i, caption, sizeof caption, MF_BYPOSITION);
        const SIZE extent = TextExtent(hwnd(), menuFont, caption);
        const RECT& item = items[i];
        // Room for the check mark column as well as the text.
        EXPECT_GE(item.right - item.left, extent.cx + GetSystemMetrics(SM_CXMENUCHECK)) << caption;
        EXPECT_GE(item.bottom - item.top, extent.cy) << caption;
        EXPECT_LE(item.right - item.left, menuClient.right) << caption;
        itemsHeight += item.bottom - item.top;
    }
    EXPECT_LE(itemsHeight, menuClient.bottom);
    DeleteObject(menuFont);
}

TEST_F(Form1WindowTest, SliderAndMenuStartAtTheStoredLevel) {
    Open();
    HWND slider = window->slider();
    EXPECT_EQ(SendMessageA(slider, TBM_GETRANGEMIN, 0, 0), 0);
    EXPECT_EQ(SendMessageA(slider, TBM_GETRANGEMAX, 0, 0), 3);
    EXPECT_EQ(SendMessageA(slider, TBM_GETLINESIZE, 0, 0), 1);
    EXPECT_EQ(SendMessageA(slider, TBM_GETPAGESIZE, 0, 0), 1);
    EXPECT_EQ(SendMessageA(slider, TBM_GETNUMTICS, 0, 0), 4);
    const LONG style = GetWindowLongA(slider, GWL_STYLE);
    EXPECT_EQ(style & (TBS_VERT | TBS_TOP | TBS_BOTH | TBS_ENABLESELRANGE | TBS_NOTICKS), 0);
    EXPECT_TRUE(IsWindowEnabled(slider));
    EXPECT_EQ(GetFocus(), slider);
    EXPECT_EQ(SliderPosition(), 2);

    HMENU menu = window->menu();
    ASSERT_EQ(GetMenuItemCount(menu), 6);
    const char* captions[] = {"Acceleration Off", "Basic Acceleration", "Standard Acceleration",
                              "Full Acceleration", "Show Quillaro", "Exit Quillaro"};
    for (int i = 0; i < 6; ++i) {
        char text[64] = {};
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_SUBMENU | MIIM_STATE;
        info.dwTypeData = text;
        info.cch = sizeof text;
        ASSERT_TRUE(GetMenuItemInfoA(menu, i, TRUE, &info));
        EXPECT_STREQ(text, captions[i]);
        EXPECT_EQ(info.fType & MFT_SEPARATOR, 0u);
        EXPECT_EQ(info.hSubMenu, nullptr);
        EXPECT_EQ(info.fState & MFS_DISABLED, 0u);
    }
    EXPECT_EQ(CheckedItems(), std::vector<UINT>{win32::MenuStandard});
    EXPECT_EQ(Stored(), Values(8, 1, 1)) << "start-up writes nothing";
}

TEST_F(Form1WindowTest, KeysMoveOnePositionAndWriteAtOnce) {
    Open();
    struct Step {
        WORD key;
        int position;
        std::array<std::optional<std::uint32_t>, 3> values;
    };
    const Step steps[] = {
        {VK_RIGHT, 3, Values(0, 1, 1)}, {VK_LEFT, 2, Values(8, 1, 1)},
        {VK_LEFT, 1, Values(15, 1, 1)}, {VK_PRIOR, 0, Values(15, 0, 0)},
        {VK_NEXT, 1, Values(15, 1, 1)}, {VK_END, 3, Values(0, 1, 1)},
        {VK_HOME, 0, Values(15, 0, 0)},
    };
    for (const Step& step : steps) {
        PressKey(step.key);
        ASSERT_TRUE(PumpUntil([&] { return SliderPosition() == step.position && Stored() == step.values; }))
            << "key " << step.key << ": slider " << SliderPosition();
        const UINT expectedItem = win32::MenuOff + static_cast<UINT>(step.position);
        EXPECT_EQ(CheckedItems(), std::vector<UINT>{expectedItem});
    }
}

TEST_F(Form1WindowTest, MinimisingPutsOneIconInTheNotificationArea) {
    Open();
    EXPECT_EQ(TrayIconCount(), 0) << "no icon before the first minimise";
    Minimise();
    EXPECT_TRUE(IsIconic(hwnd()));
    EXPECT_EQ(TrayIconCount(), 1);

    // Left clicks and a right release do nothing; a double-click restores.
    for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONUP, WM_MOUSEMOVE})
        IconCallback(message);
    EXPECT_FALSE(IsWindowVisible(hwnd()));
    for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
        IconCallback(message);
    ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(hwnd()) && TrayIconCount() == 0; }));
    EXPECT_FALSE(IsIconic(hwnd()));

    // Each minimise adds the icon anew.
    Minimise();
    EXPECT_EQ(TrayIconCount(), 1);
}

TEST_F(Form1WindowTest, MaximisedWindowComesBackNormal) {
    Open();
    ShowWindow(hwnd(), SW_MAXIMIZE);
    ASSERT_TRUE(PumpUntil([&] { return IsZoomed(hwnd()) != FALSE; }));
    Minimise();
    IconCallback(WM_LBUTTONDBLCLK);
    ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(hwnd()) != FALSE; }));
    EXPECT_FALSE(IsZoomed(hwnd()));
    EXPECT_FALSE(IsIconic(hwnd()));
}

TEST_F(Form1WindowTest, LevelChosenFromThePopupWhileHidden) {
    Open();
    Minimise();
    ChooseFromPopup(4);  // "Full Acceleration"
    ASSERT_TRUE(PumpUntil([&] { return Stored() == Values(0, 1, 1); }));
    EXPECT_EQ(SliderPosition(), 3);
    EXPECT_EQ(CheckedItems(), std::vector<UINT>{win32::MenuFull});
    EXPECT_FALSE(IsWindowVisible(hwnd()));
    EXPECT_EQ(TrayIconCount(), 1);

    ChooseFromPopup(5);  // "Show Quillaro"
    ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(hwnd()) && TrayIconCount() == 0; }));
}

TEST_F(Form1WindowTest, ExitFromThePopupLeavesNoIcon) {
    Open();
    Minimise();
    ChooseFromPopup(1, VK_UP);  // the last item, "Exit Quillaro"
    ASSERT_TRUE(PumpUntil([&] { return window->hwnd() == nullptr; }));
    EXPECT_TRUE(PumpUntil([] { return TrayIconCount() == 0; }));
}

TEST_F(Form1WindowTest, NotificationAreaRestartAddsTheIconAgain) {
    Open();
    Minimise();
    // A restarted shell has lost the icon; the broadcast asks programs to add theirs again.
    window->NotifyIcon(TrayMessage::Delete);
    ASSERT_TRUE(PumpUntil([] { return TrayIconCount() == 0; }));
    SendMessageA(hwnd(), RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_TRUE(PumpUntil([] { return TrayIconCount() == 1; }));
    EXPECT_FALSE(IsWindowVisible(hwnd()));
}

// A later start asks with the registered message; a window still starting does not answer, so
// the request cannot show it ahead of its own first show.
TEST_F(Form1WindowTest, HiddenStartAndShowRequests) {
    window = std::make_unique<Form1Window>(GetModuleHandleA(nullptr), registry, accessible, com);
    ASSERT_TRUE(window->Create());
    const UINT request = RegisterWindowMessageA(win32::kShowRequestMessage);
    EXPECT_EQ(SendMessageA(hwnd(), request, 0, 0), 0);
    EXPECT_FALSE(IsWindowVisible(hwnd()));

    window->ShowFirstTime(SW_HIDE);
    ASSERT_TRUE(PumpUntil([] { return TrayIconCount() == 1; }));
    EXPECT_FALSE(IsWindowVisible(hwnd()));

    EXPECT_EQ(SendMessageA(hwnd(), request, 0, 0), win32::kShowRequestDone);
    EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(hwnd()) && TrayIconCount() == 0; }));
    EXPECT_FALSE(IsIconic(hwnd()));
}

TEST_F(Form1WindowTest, WithoutADeviceTheLevelControlsAreDisabled) {
    seeded.RemoveAll();
    Open();
    EXPECT_FALSE(IsWindowEnabled(window->slider()));
    EXPECT_EQ(SliderPosition(), 0);
    EXPECT_TRUE(CheckedItems().empty());
    for (UINT id = win32::MenuOff; id <= win32::MenuFull; ++id)
        EXPECT_TRUE(GetMenuState(window->menu(), id, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_FALSE(GetMenuState(window->menu(), win32::MenuExit, MF_BYCOMMAND) & MF_GRAYED);
}

// Resting on the slider names the sound device it sets while it works, and says why it is
// greyed while it does not: from the start (a new user's first run without a device) and after
// every change the window follows. A press on the slider hides the tip.
TEST_F(Form1WindowTest, TheSlidersTooltipNamesTheDeviceOrSaysWhyItIsGreyed) {
    const std::string mixer = SeededRegistry::MixerPath(instance);
    const std::string presence = SeededRegistry::PresencePath(instance);
    seeded.RemoveAll();
    Open();
    EXPECT_FALSE(IsWindowEnabled(window->slider()));
    EXPECT_EQ(TipOnRestingSlider(), kNoDeviceTip);
    const auto addDevice = [&] {
        return seeded.AddDevice("VEN_1274&DEV_5880", "3&61aaa01&0&28", {8, 1, 1}) == instance;
    };
    const auto nameDevice = [&](const char* value, const char* text) {
        return seeded.SetDeviceText("VEN_1274&DEV_5880", "3&61aaa01&0&28", value, text);
    };
    // The tool moves to the enabled slider, is retexted, goes back to the window while greyed,
    // takes another text there, and moves to the slider again.
    const std::pair<std::function<bool()>, std::string> steps[] = {
        {addDevice, "Sound device: PCI\\VEN_1274&DEV_5880"},
        {[&] { return nameDevice("DeviceDesc", "Multimedia Audio Controller"); },
         "Sound device: Multimedia Audio Controller"},
        {[&] {
             return nameDevice("FriendlyName", "@oem2.inf,%es1371%;Creative AudioPCI (ES1371)") &&
                    seeded.AddDevice("VEN_10B9&DEV_5451", "3&267a616a&0&30", {0, 1, 1}) != "" &&
                    seeded.AddDevice("VEN_1102&DEV_0002", "4&1c5f5b4a&0&08", {15, 1, 1}) != "";
         },
         "Sound device: Creative AudioPCI (ES1371)\r\n"
         "2 other sound devices with DirectSound settings keep their own levels."},
        {[&] {
             return SeededRegistry::MakeReadOnly(mixer) && SeededRegistry::MakeReadOnly(presence);
         },
         kAdministratorTip},
        {[&] { return RegDeleteTreeA(HKEY_LOCAL_MACHINE, presence.c_str()) == ERROR_SUCCESS; },
         kIncompleteTip},
        {[&] { return seeded.RemoveAll(), addDevice(); }, "Sound device: PCI\\VEN_1274&DEV_5880"},
    };
    for (const auto& [change, tip] : steps) {
        SCOPED_TRACE(tip);
        ASSERT_TRUE(change());
        Rescan();
        EXPECT_EQ(IsWindowEnabled(window->slider()) != FALSE, tip.rfind("Sound device: ", 0) == 0);
        EXPECT_EQ(TipOnRestingSlider(), tip);
    }
    // The user takes hold of the thumb where it is: the tip goes at once.
    RECT thumb{};
    SendMessageA(window->slider(), TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    MapWindowPoints(window->slider(), nullptr, reinterpret_cast<POINT*>(&thumb), 2);
    SetCursorPos((thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2);
    mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindowVisible(Tooltip()); })) << "the tip hides the thumb";
    mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    PumpUntil([&] { return GetCapture() == nullptr; });
    EXPECT_EQ(SliderPosition(), 2);
}

// The slider's announcements to screen readers, as an out-of-context event hook gets them.
struct Announcements {
    static inline std::vector<DWORD> heard;
    static inline HWND slider = nullptr;
    static void CALLBACK Event(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child,
                               DWORD, DWORD) {
        if (window == slider && object == OBJID_CLIENT && child == CHILDID_SELF)
            heard.push_back(event);
    }
    static bool Heard(DWORD event) {
        return PumpUntil([event] {
            return std::find(heard.begin(), heard.end(), event) != heard.end();
        });
    }
};

// A screen reader hears what the slider sets, the level by name, and the tooltip's text: after
// the user's keys, after another program's change, and while the slider is greyed; it is told
// when the level or the text changes.
TEST_F(Form1WindowTest, AScreenReaderHearsWhatTheSliderSetsItsLevelAndItsTooltip) {
    const std::string mixer = SeededRegistry::MixerPath(instance);
    const std::string presence = SeededRegistry::PresencePath(instance);
    ASSERT_TRUE(seeded.SetDeviceText("VEN_1274&DEV_5880", "3&61aaa01&0&28", "FriendlyName",
                                     "Creative AudioPCI (ES1371)"));
    Open();
    const std::string heading = "DirectX Sound Acceleration";
    const std::string device = "Sound device: Creative AudioPCI (ES1371)";
    EXPECT_EQ(Hear(window->slider()), (Heard{heading, "Standard", device}));

    Announcements::slider = window->slider();
    Announcements::heard.clear();
    const HWINEVENTHOOK hook =
        SetWinEventHook(EVENT_OBJECT_DESCRIPTIONCHANGE, EVENT_OBJECT_VALUECHANGE, nullptr,
                        Announcements::Event, GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(hook, nullptr);
    struct Step {
        std::function<bool()> change;
        const char* value;
        std::string description;
        DWORD announced;  // 0: the trackbar's own move, announced by the trackbar on Windows
    };
    const auto key = [this](WORD pressed, int position) {
        return [=, this] {
            PressKey(pressed);
            return PumpUntil([&] { return SliderPosition() == position; });
        };
    };
    const Step steps[] = {
        {key(VK_HOME, 0), "Off", device, 0},
        {key(VK_RIGHT, 1), "Basic", device, 0},
        {key(VK_END, 3), "Full", device, 0},
        {[&] { return SeededRegistry::SetDword(mixer, "Acceleration", 8); }, "Standard", device,
         EVENT_OBJECT_VALUECHANGE},
        {[&] {
             return SeededRegistry::MakeReadOnly(mixer) && SeededRegistry::MakeReadOnly(presence);
         },
         "Standard", kAdministratorTip, EVENT_OBJECT_DESCRIPTIONCHANGE},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.value + (" / " + step.description));
        Announcements::heard.clear();
        ASSERT_TRUE(step.change());
        Rescan();
        if (step.announced) {
            EXPECT_TRUE(Announcements::Heard(step.announced));
        }
        EXPECT_EQ(Hear(window->slider()), (Heard{heading, step.value, step.description}));
    }
    UnhookWinEvent(hook);
}

}  // namespace
}  // namespace quillaro

namespace quillaro {
namespace {

// A wait that Windows refuses (as Windows before 8 refuses a wake bit it does not know).
struct RefusedWait {
    static inline int calls = 0;
    static inline DWORD mask = 0;
    static DWORD WINAPI Wait(DWORD, const HANDLE*, BOOL, DWORD, DWORD wakeMask) {
        ++calls;
        mask = wakeMask;
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    static void CALLBACK End(HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        PostQuitMessage(7);
    }
};

// When the wait fails the loop goes on with window messages alone: it waits in GetMessage
// instead of going round, and the window still does what it is asked.
TEST_F(Form1WindowTest, AFailedWaitFallsBackToWaitingForMessages) {
    Open();
    RegistryWatch watch(kPciEnumPath);
    ASSERT_TRUE(watch.Arm());
    RefusedWait::calls = 0;
    PostMessageA(hwnd(), WM_COMMAND, win32::MenuFull, 0);
    // Idle for a while, then the end.
    const UINT_PTR timer = SetTimer(nullptr, 0, 300, RefusedWait::End);
    ASSERT_NE(timer, 0u);
    EXPECT_EQ(win32::RunMessageLoop(watch, window->form(), RefusedWait::Wait), 7);
    EXPECT_EQ(RefusedWait::calls, 1) << "the loop went round instead of waiting";
    EXPECT_EQ(RefusedWait::mask & ~DWORD{0xFF}, 0u) << "a wake bit Windows 2000 does not know";
    EXPECT_EQ(Stored(), Values(0, 1, 1));
    EXPECT_EQ(SliderPosition(), 3);
}

}  // namespace
}  // namespace quillaro
