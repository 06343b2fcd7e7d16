// The real executable, started as a user starts it and driven from outside with real input:
// keys on the slider, minimising, a double-click and right-clicks on the notification icon,
// a level and "Exit Quillaro" chosen from the pop-up menu. The registry is read back with
// "reg query", a client independent of the program.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "seeded_registry.h"
#include "win_test_support.h"

namespace quillaro {
namespace {

using namespace quillaro::testing;

// The program under test: the one this build made, or another build of it named in the
// environment variable QUILLARO_EXE (the released file). A Unix path is reached through Wine's
// Z: drive.
std::string ProgramPath() {
    std::string path = QUILLARO_EXE;
    char named[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA("QUILLARO_EXE", named, sizeof named);
    if (length > 0 && length < sizeof named) path = named;
    if (!path.empty() && path.front() == '/') path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

POINT CentreOf(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        instance = seeded.AddDevice("VEN_8086&DEV_2668&SUBSYS_01271028", "3&172e68dd&0&D8", {8, 1, 1});
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        std::string command = "\"" + ProgramPath() + "\"";
        ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &startup, &process))
            << command;
        ASSERT_TRUE(WaitUntil([&] {
            window = FindWindowA("QuillaroForm1", "Quillaro - Brask");
            return window && IsWindowVisible(window);
        }));
        slider = FindWindowExA(window, nullptr, TRACKBAR_CLASSA, nullptr);
        ASSERT_NE(slider, nullptr);
    }
    void TearDown() override {
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process.hProcess, 1);
        WaitForObject(process.hProcess, std::chrono::seconds(5));
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }

    bool StoredAre(DWORD acceleration, DWORD vxd, DWORD wdm) const {
        return SeededRegistry::GetDword(SeededRegistry::MixerPath(instance), "Acceleration") == acceleration &&
               SeededRegistry::GetDword(SeededRegistry::PresencePath(instance), "VxD") == vxd &&
               SeededRegistry::GetDword(SeededRegistry::PresencePath(instance), "WDM") == wdm;
    }
    void ExpectRegQuery(long long acceleration, long long vxd, long long wdm) const {
        EXPECT_EQ(RegQueryDword(SeededRegistry::MixerPath(instance), "Acceleration"), acceleration);
        EXPECT_EQ(RegQueryDword(SeededRegistry::PresencePath(instance), "VxD"), vxd);
        EXPECT_EQ(RegQueryDword(SeededRegistry::PresencePath(instance), "WDM"), wdm);
    }
    int SliderPosition() const { return static_cast<int>(SendMessageA(slider, TBM_GETPOS, 0, 0)); }
    void Minimise() {
        // What the title bar's minimise button sends.
        PostMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(window) && TrayIconCount() == 1; }));
    }
    // Right-clicks the icon, waits for the pop-up menu and picks an item with the keyboard.
    void ChooseFromIconMenu(WORD key, int presses) {
        HWND icon = FirstTrayIcon();
        ASSERT_NE(icon, nullptr);
        ClickAt(CentreOf(icon), true, 1);
        ASSERT_TRUE(WaitUntil([] { return OpenPopupMenu() != nullptr; }));
        for (int i = 0; i < presses; ++i) PressKey(key);
        PressKey(VK_RETURN);
        ASSERT_TRUE(WaitUntil([] { return OpenPopupMenu() == nullptr; }));
    }

    SeededRegistry seeded;
    std::string instance;
    PROCESS_INFORMATION process{};
    HWND window = nullptr;
    HWND slider = nullptr;
};

TEST_F(EndToEndTest, AUserSessionFromStartToExit) {
    EXPECT_EQ(SliderPosition(), 2);
    EXPECT_EQ(TrayIconCount(), 0);

    // Keys on the focused slider write at once.
    SetForegroundWindow(window);
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == window; }));
    PressKey(VK_RIGHT);
    ASSERT_TRUE(WaitUntil([&] { return StoredAre(0, 1, 1); }));
    EXPECT_EQ(SliderPosition(), 3);
    PressKey(VK_HOME);
    ASSERT_TRUE(WaitUntil([&] { return StoredAre(15, 0, 0); }));
    ExpectRegQuery(15, 0, 0);

    // Minimise, then a real double-click on the icon brings the window back.
    Minimise();
    ClickAt(CentreOf(FirstTrayIcon()), false, 2);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(window) && TrayIconCount() == 0; }));
    EXPECT_FALSE(IsIconic(window));

    // From the icon's menu, "Full Acceleration" while the window stays hidden.
    Minimise();
    ChooseFromIconMenu(VK_DOWN, 4);
    ASSERT_TRUE(WaitUntil([&] { return StoredAre(0, 1, 1); }));
    ExpectRegQuery(0, 1, 1);
    EXPECT_EQ(SliderPosition(), 3);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(TrayIconCount(), 1);

    // "Exit Quillaro", the last item, ends the program and takes the icon away.
    ChooseFromIconMenu(VK_UP, 1);
    EXPECT_EQ(WaitForObject(process.hProcess, std::chrono::seconds(5)), WAIT_OBJECT_0);
    EXPECT_TRUE(WaitUntil([] { return TrayIconCount() == 0; }));
    ExpectRegQuery(0, 1, 1);
}

TEST_F(EndToEndTest, ClosingTheWindowEndsTheProgram) {
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForObject(process.hProcess, std::chrono::seconds(5)), WAIT_OBJECT_0);
    EXPECT_EQ(TrayIconCount(), 0);
    EXPECT_TRUE(StoredAre(8, 1, 1));
}

}  // namespace
}  // namespace quillaro
