// The real window under Wine: controls, trackbar, menu, keys, the notification icon and its
// callbacks, driven through real messages and input against a seeded registry.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <array>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "form1_window.h"
#include "seeded_registry.h"
#include "single_instance.h"
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
        window = std::make_unique<Form1Window>(GetModuleHandleA(nullptr), registry);
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
        std::thread user([=] {
            if (!WaitUntil([] { return OpenPopupMenu() != nullptr; })) return;
            for (int i = 0; i < downs; ++i) PressKey(direction);
            PressKey(VK_RETURN);
        });
        IconCallback(WM_RBUTTONDOWN);  // returns once the menu has closed
        user.join();
    }

    SeededRegistry seeded;
    std::string instance;
    Win32Registry registry;
    std::unique_ptr<Form1Window> window;
};

TEST_F(Form1WindowTest, WindowAndControlsMatchTheLayoutAt96Dpi) {
    Open();
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
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
        {"msctls_trackbar32", "", {8, 32, 169, 57}},
        {"Static", "Full", {152, 64, 177, 81}},
        {"Static", "Standard", {88, 64, 137, 81}},
        {"Static", "Basic", {48, 64, 81, 81}},
        {"Static", "Off", {16, 64, 33, 81}},
        {"Static", "DirectX Sound Acceleration", {8, 8, 169, 25}},
    };
    HWND child = GetWindow(hwnd(), GW_CHILD);  // children in creation order
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

    // Every caption fits its label in the font the label draws with.
    for (HWND label = GetWindow(window->slider(), GW_HWNDNEXT); label;
         label = GetWindow(label, GW_HWNDNEXT)) {
        HDC dc = GetDC(label);
        HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(label, WM_GETFONT, 0, 0)));
        const std::string text = TextOf(label);
        SIZE extent{};
        GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        SelectObject(dc, previous);
        ReleaseDC(label, dc);
        RECT client{};
        GetClientRect(label, &client);
        EXPECT_LE(extent.cx, client.right) << text;
        EXPECT_LE(extent.cy, client.bottom) << text;
    }

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
    window = std::make_unique<Form1Window>(GetModuleHandleA(nullptr), registry);
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

}  // namespace
}  // namespace quillaro
