// The real executable, started as a user starts it and driven from outside with real input:
// keys on the slider, minimising, a double-click and right-clicks on the notification icon,
// a level and "Exit Quillaro" chosen from the pop-up menu; started twice, started hidden, and
// shown by another program. The registry is read back with "reg query", a client independent
// of the program.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <atomic>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "seeded_registry.h"
#include "startup_scan.h"
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

// The running processes of the program under test, known by its file name ("Quillaro.exe", or
// the released file's "Quillaro-<version>-x86.exe").
int ProgramProcessCount() {
    const std::string path = ProgramPath();
    const std::string fileName = path.substr(path.find_last_of('\\') + 1);
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    int count = 0;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (_stricmp(entry.szExeFile, fileName.c_str()) == 0) ++count;
    CloseHandle(snapshot);
    return count;
}

bool Ended(const PROCESS_INFORMATION& process) {
    return WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0;
}

std::optional<DWORD> ExitCodeOf(const PROCESS_INFORMATION& process) {
    DWORD code = STILL_ACTIVE;
    if (!Ended(process) || !GetExitCodeProcess(process.hProcess, &code)) return std::nullopt;
    return code;
}

HWND ProgramWindow() { return FindWindowA("QuillaroForm1", "Quillaro - Brask"); }

// Starts of the program, each ended at the end of the test if it has not ended by itself.
class ProgramStarts {
public:
    ~ProgramStarts() {
        for (PROCESS_INFORMATION& process : started_) {
            if (!Ended(process)) {
                // Closed the way a user closes it, so no icon stays behind; killed if that fails.
                if (HWND window = ProgramWindow()) PostMessageA(window, WM_CLOSE, 0, 0);
                if (!WaitUntil([&] { return Ended(process); }))
                    TerminateProcess(process.hProcess, 1);
                WaitForObject(process.hProcess, std::chrono::seconds(5));
            }
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
        }
    }
    // Starts the program as a shell does, with the starter's show command if one is given.
    PROCESS_INFORMATION Start(std::optional<WORD> showCommand = std::nullopt) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        if (showCommand) {
            startup.dwFlags = STARTF_USESHOWWINDOW;
            startup.wShowWindow = *showCommand;
        }
        std::string command = "\"" + ProgramPath() + "\"";
        PROCESS_INFORMATION process{};
        const BOOL started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0,
                                            nullptr, nullptr, &startup, &process);
        const DWORD error = GetLastError();
        EXPECT_TRUE(started) << command << ", error " << error;
        started_.push_back(process);
        return process;
    }

private:
    std::vector<PROCESS_INFORMATION> started_;
};

class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        instance = seeded.AddDevice(kDevice, "3&172e68dd&0&D8", {8, 1, 1});
        if (readOnly) {
            ASSERT_TRUE(SeededRegistry::MakeReadOnly(SeededRegistry::MixerPath(instance)));
            ASSERT_TRUE(SeededRegistry::MakeReadOnly(SeededRegistry::PresencePath(instance)));
        }
        process = starts.Start();
        ASSERT_TRUE(WaitUntil([&] {
            window = ProgramWindow();
            return window && IsWindowVisible(window);
        }));
        slider = FindWindowExA(window, nullptr, TRACKBAR_CLASSA, nullptr);
        ASSERT_NE(slider, nullptr);
    }
    void TearDown() override {
        if (readOnly) {
            SeededRegistry::MakeWritable(SeededRegistry::MixerPath(instance));
            SeededRegistry::MakeWritable(SeededRegistry::PresencePath(instance));
        }
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
        ASSERT_TRUE(WaitForMenuKeys(window)) << "foreground " << GetForegroundWindow();
        for (int i = 0; i < presses; ++i) PressKey(key);
        PressKey(VK_RETURN);
        ASSERT_TRUE(WaitUntil([] { return OpenPopupMenu() == nullptr; }));
    }

    // The pop-up menu's level check marks, read off the screen: opens the menu from the icon,
    // reads it and closes it again. A popup opening where the last one was can show that one's
    // pixels until it has painted itself, so the screen is read again until it shows `expected`
    // or the deadline passes; what it showed last is returned.
    std::vector<bool> LevelCheckMarks(const std::vector<bool>& expected) {
        HWND icon = FirstTrayIcon();
        EXPECT_NE(icon, nullptr);
        if (!icon) return {};
        ClickAt(CentreOf(icon), true, 1);
        HWND popup = nullptr;
        EXPECT_TRUE(WaitUntil([&] { return (popup = OpenPopupMenu()) != nullptr; }));
        if (!popup) return {};
        std::vector<bool> marks;
        WaitUntil([&] {
            marks.clear();
            for (const MenuRow& row : ReadMenu(popup, 6)) marks.push_back(row.checked);
            marks.resize(4);
            return marks == expected;
        });
        EXPECT_TRUE(WaitForMenuKeys(window)) << "foreground " << GetForegroundWindow();
        PressKey(VK_ESCAPE);
        EXPECT_TRUE(WaitUntil([] { return OpenPopupMenu() == nullptr; }));
        return marks;
    }
    static std::vector<bool> OnlyChecked(int position) {
        std::vector<bool> marks(4, false);
        if (position >= 0) marks[static_cast<std::size_t>(position)] = true;
        return marks;
    }

    static constexpr char kDevice[] = "VEN_8086&DEV_2668&SUBSYS_01271028";
    bool readOnly = false;
    SeededRegistry seeded;
    std::string instance;
    ProgramStarts starts;
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

    // A screen reader in another process hears what the slider sets, its level and its tip.
    EXPECT_EQ(Hear(slider), (Heard{"DirectX Sound Acceleration", "Off",
                                   std::string("Sound device: PCI\\") + kDevice}));

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

TEST_F(EndToEndTest, FollowsWhatOtherProgramsStoreWithoutWritingAnything) {
    const std::string mixer = SeededRegistry::MixerPath(instance);
    const std::string presence = SeededRegistry::PresencePath(instance);
    auto sliderShows = [&](int position) {
        return WaitUntil([&] { return SliderPosition() == position; });
    };

    // Shown: another program stores Basic.
    ASSERT_TRUE(RegAddDword(mixer, "Acceleration", 15));
    EXPECT_TRUE(sliderShows(1));

    // In the notification area: Off, then a number that is no level, which the window shows
    // without storing a level of its own over it.
    Minimise();
    EXPECT_EQ(LevelCheckMarks(OnlyChecked(1)), OnlyChecked(1));
    ASSERT_TRUE(RegAddDword(presence, "VxD", 0));
    EXPECT_TRUE(sliderShows(0));
    EXPECT_EQ(LevelCheckMarks(OnlyChecked(0)), OnlyChecked(0));
    ASSERT_TRUE(RegAddDword(mixer, "Acceleration", 0));
    EXPECT_TRUE(sliderShows(3));
    ASSERT_TRUE(RegAddDword(mixer, "Acceleration", 1));
    EXPECT_TRUE(sliderShows(0));
    EXPECT_EQ(LevelCheckMarks(OnlyChecked(-1)), OnlyChecked(-1));
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(TrayIconCount(), 1);

    // The device goes away: greyed; it comes back: enabled, showing what it holds.
    const std::string deviceKey = instance.substr(0, instance.rfind('\\'));
    ASSERT_EQ(RegDeleteTreeA(HKEY_LOCAL_MACHINE, deviceKey.c_str()), ERROR_SUCCESS);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowEnabled(slider); }));
    EXPECT_EQ(SliderPosition(), 0);
    instance = seeded.AddDevice(kDevice, "3&172e68dd&0&D8", {8, 1, 1});
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(slider) && SliderPosition() == 2; }));
    EXPECT_EQ(LevelCheckMarks(OnlyChecked(2)), OnlyChecked(2));

    // Nothing above was written by the program: every value is what the others stored last.
    ExpectRegQuery(8, 1, 1);
    ASSERT_TRUE(RegAddDword(mixer, "Acceleration", 1));
    EXPECT_TRUE(sliderShows(0));
    ChooseFromIconMenu(VK_UP, 1);  // "Exit Quillaro"
    EXPECT_EQ(WaitForObject(process.hProcess, std::chrono::seconds(5)), WAIT_OBJECT_0);
    EXPECT_EQ(RegQueryDword(mixer, "Acceleration"), 1);
}

// Another program deletes the whole PCI key and creates it again, over and over, so that some
// deletions land while the program is watching anew: it must follow every re-creation.
TEST_F(EndToEndTest, FollowsThePciKeyDeletedAndCreatedAgainTwoHundredTimes) {
    const std::string pci(kPciEnumPath);
    for (int cycle = 0; cycle < 200; ++cycle) {
        SCOPED_TRACE(cycle);
        ASSERT_EQ(RegDeleteTreeA(HKEY_LOCAL_MACHINE, pci.c_str()), ERROR_SUCCESS);
        const bool full = cycle % 2 == 0;
        instance = seeded.AddDevice(kDevice, "3&172e68dd&0&D8", {full ? 0u : 8u, 1, 1});
        ASSERT_TRUE(WaitUntil([&] {
            return IsWindowEnabled(slider) && SliderPosition() == (full ? 3 : 2);
        })) << "the program no longer follows the registry: slider at " << SliderPosition()
            << (IsWindowEnabled(slider) ? ", enabled" : ", greyed");
    }
    ExpectRegQuery(8, 1, 1);  // the program wrote nothing
}

class ReadOnlyEndToEndTest : public EndToEndTest {
protected:
    ReadOnlyEndToEndTest() { readOnly = true; }
};

TEST_F(ReadOnlyEndToEndTest, KeysThatMayOnlyBeReadShowTheirLevelGreyedAndTakeNothing) {
    EXPECT_EQ(SliderPosition(), 2);
    EXPECT_FALSE(IsWindowEnabled(slider));
    Minimise();
    EXPECT_EQ(LevelCheckMarks(OnlyChecked(2)), OnlyChecked(2));

    // A click on each greyed level item does nothing and leaves the menu open; a click on
    // "Show Quillaro", after them in the input queue, brings the window back.
    HWND icon = FirstTrayIcon();
    ASSERT_NE(icon, nullptr);
    ClickAt(CentreOf(icon), true, 1);
    HWND popup = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (popup = OpenPopupMenu()) != nullptr; }));
    const std::vector<MenuRow> rows = ReadMenu(popup, 6);
    ASSERT_EQ(rows.size(), 6u);
    for (int level : {3, 0, 1}) ClickAt(rows[static_cast<std::size_t>(level)].centre, false, 1);
    EXPECT_EQ(OpenPopupMenu(), popup);
    ClickAt(rows[4].centre, false, 1);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(window) && TrayIconCount() == 0; }));
    ExpectRegQuery(8, 1, 1);
    EXPECT_EQ(SliderPosition(), 2);
}

TEST_F(EndToEndTest, ASecondStartBringsBackTheRunningInstance) {
    Minimise();
    const PROCESS_INFORMATION second = starts.Start();
    ASSERT_TRUE(WaitUntil([&] { return Ended(second); })) << "the second start keeps running";
    EXPECT_EQ(ExitCodeOf(second), 0u);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(window) && TrayIconCount() == 0; }));
    EXPECT_FALSE(IsIconic(window));
    EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == window; }));
    EXPECT_FALSE(Ended(process));
    EXPECT_EQ(ProgramProcessCount(), 1);
    ExpectRegQuery(8, 1, 1);
}

TEST_F(EndToEndTest, AStartWhileTheRunningInstanceHangsEndsWithoutASecondOne) {
    // The window's thread stops answering messages.
    ASSERT_NE(SuspendThread(process.hThread), static_cast<DWORD>(-1));
    const PROCESS_INFORMATION second = starts.Start();
    const bool ended = WaitUntil([&] { return Ended(second); }, std::chrono::seconds(20));
    ResumeThread(process.hThread);
    ASSERT_TRUE(ended);
    EXPECT_EQ(ExitCodeOf(second), 0u);
    EXPECT_EQ(ProgramProcessCount(), 1);
}

TEST_F(EndToEndTest, ShownByAnotherProgramTheIconGoesAndItsCallbacksStop) {
    Minimise();
    // What the system menu's Maximize sends, here from another program to the hidden window.
    PostMessageA(window, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(window) && IsZoomed(window); }));
    EXPECT_TRUE(WaitUntil([] { return TrayIconCount() == 0; }));

    // A mouse move over client column 516 is only a mouse move: the handler returns at once
    // rather than holding a pop-up menu open.
    RECT client{};
    GetClientRect(window, &client);
    ASSERT_GT(client.right, 516);
    std::atomic<bool> handled{false};
    std::thread pointer([&] {
        SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(516, 40));
        handled = true;
    });
    const bool returned = WaitUntil([&] { return handled.load(); });
    const bool menuOpen = OpenPopupMenu() != nullptr;
    if (!returned) TerminateProcess(process.hProcess, 1);  // frees the sending thread
    pointer.join();
    EXPECT_TRUE(returned);
    EXPECT_FALSE(menuOpen);
}

class StartTest : public ::testing::Test {
protected:
    void SetUp() override {
        seeded.AddDevice("VEN_8086&DEV_2668&SUBSYS_01271028", "3&172e68dd&0&D8", {8, 1, 1});
    }
    SeededRegistry seeded;
    ProgramStarts starts;
};

TEST_F(StartTest, TwoStartsAtOnceLeaveOneInstance) {
    const PROCESS_INFORMATION first = starts.Start();
    const PROCESS_INFORMATION second = starts.Start();
    ASSERT_TRUE(WaitUntil([&] { return Ended(first) || Ended(second); }))
        << "neither start ended by itself";
    const PROCESS_INFORMATION& running = Ended(first) ? second : first;
    const PROCESS_INFORMATION& ended = Ended(first) ? first : second;
    EXPECT_EQ(ExitCodeOf(ended), 0u);
    HWND window = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        window = ProgramWindow();
        return window && IsWindowVisible(window);
    }));
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    EXPECT_EQ(owner, running.dwProcessId);
    EXPECT_FALSE(Ended(running));
    EXPECT_EQ(ProgramProcessCount(), 1);
}

// A starter's show value that Windows does not know (above SW_MAX) is an ordinary start, also
// where Windows hands the program's first show that value in place of its own.
TEST_F(StartTest, AShowValueWindowsDoesNotKnowStartsShown) {
    const PROCESS_INFORMATION started = starts.Start(SW_MAX + 1);
    HWND window = nullptr;
    EXPECT_TRUE(WaitUntil([&] {
        window = ProgramWindow();
        return window && IsWindowVisible(window);
    })) << "window " << window << ", icons " << TrayIconCount();
    EXPECT_EQ(TrayIconCount(), 0);
    EXPECT_FALSE(Ended(started));
}

// Started hidden, or minimised as a shortcut whose "Run" is "Minimized" starts it (the Startup
// folder's, say): the program lives in the notification area.
class NotificationAreaStartTest : public StartTest, public ::testing::WithParamInterface<WORD> {};

INSTANTIATE_TEST_SUITE_P(ShowValues, NotificationAreaStartTest,
                         ::testing::Values(SW_HIDE, SW_SHOWMINNOACTIVE));

TEST_P(NotificationAreaStartTest, ItLivesInTheNotificationArea) {
    const PROCESS_INFORMATION hidden = starts.Start(GetParam());
    HWND window = nullptr;
    // A minimised start adds the icon, then hides the window: both are waited for.
    ASSERT_TRUE(WaitUntil([&] {
        window = ProgramWindow();
        return window && TrayIconCount() == 1 && !IsWindowVisible(window);
    })) << "window " << window << (window && IsWindowVisible(window) ? " visible" : "")
        << ", icons " << TrayIconCount();
    EXPECT_FALSE(Ended(hidden));

    // A double-click on the icon brings the window back, whatever the starter asked for.
    ClickAt(CentreOf(FirstTrayIcon()), false, 2);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(window) && TrayIconCount() == 0; }));
}

}  // namespace
}  // namespace quillaro
