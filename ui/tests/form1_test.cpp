// Form1's event handlers against a fake window that keeps state the way a real one would, and
// the in-memory registry seeded with one PCI sound device.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "device_name.h"
#include "form1.h"
#include "memory_registry.h"
#include "startup_scan.h"

namespace quillaro {
namespace {

using testing::Call;
using testing::MemoryRegistry;
using testing::Op;

const std::string kInstance = std::string(kPciEnumPath) + "\\VEN_1274&DEV_5880\\3&61AAA01&0&38";
const std::string kMixer = kInstance + "\\DirectSound\\Mixer Defaults";
const std::string kPresence = kInstance + "\\DirectSound\\Device Presence";

// The slider's tooltip while the level controls are greyed.
const std::string kNoDeviceTip = "No PCI sound device with DirectSound settings was found.";
const std::string kAdministratorTip = "Only an administrator can change the acceleration level.";
const std::string kIncompleteTip = "The sound device's DirectSound settings are incomplete.";
// While enabled: the device, named by its hardware ID where Windows keeps no name for it.
const std::string kDeviceTip = "Sound device: PCI\\VEN_1274&DEV_5880";

constexpr std::array<LevelValues, 4> kTable = {
    LevelValues{15, 0, 0}, LevelValues{15, 1, 1}, LevelValues{8, 1, 1}, LevelValues{0, 1, 1}};

// Tray callback mouse messages, as the icon reports them in lParam's low word.
constexpr std::uint32_t kMove = 512, kLeftDown = 513, kLeftUp = 514, kLeftDouble = 515,
                        kRightDown = 516, kRightUp = 517;

class FakeWindow final : public FormWindow {
public:
    Form1* form = nullptr;
    int slider = 0;
    std::array<bool, 4> checked{};
    bool enabled = true;
    std::string tip;  // the slider's tooltip
    WindowState state = WindowState::Normal;
    bool visible = true;
    bool iconPresent = false;  // what the notification area holds
    bool addFails = false;
    // Adds the shell answers with a time-out although it added the icon (a busy Explorer).
    int addTimeouts = 0;
    // Shows that Windows turns into the starter's show command (a hide, after a hidden start).
    int showsOverridden = 0;
    int recordFills = 0;
    bool ended = false;
    std::vector<std::string> log;
    std::function<void()> onPopup;  // the user's choice in the pop-up menu
    // Messages the window handles while Shell_NotifyIcon waits on the shell.
    std::function<void(TrayMessage)> duringNotify;

    int SliderValue() const override { return slider; }
    void SetSliderValue(int position) override {
        slider = std::clamp(position, 0, kLevelCount - 1);  // a trackbar keeps to its range
        log.push_back("SetSliderValue " + std::to_string(position));
    }
    void SetChecked(AccelerationLevel level, bool on) override {
        checked[static_cast<std::size_t>(PositionOf(level))] = on;
        log.push_back("SetChecked");
    }
    void SetLevelControls(bool on, const char* text) override {
        enabled = on;
        tip = text;
        log.push_back((enabled ? "Enable " : "Grey ") + tip);
    }
    WindowState State() const override { return state; }
    bool Visible() const override { return visible; }
    void SetStateNormal() override {
        log.push_back("SetStateNormal");
        state = WindowState::Normal;
        form->Form_Resize();  // a real window raises Resize here too
    }
    void Hide() override { log.push_back("Hide"), visible = false; }
    void Show() override {
        log.push_back("Show");
        if (showsOverridden > 0) {
            --showsOverridden;
            return;
        }
        BecomeVisible();
    }
    void ShowMinimized() override {
        log.push_back("ShowMinimized");
        state = WindowState::Minimized;
        BecomeVisible();
        form->Form_Resize();
    }
    void Activate() override { log.push_back("Activate"); }
    void PopupMenu() override {
        log.push_back("PopupMenu");
        if (onPopup) onPopup();
    }
    void FillTrayIconData() override { ++recordFills; }
    bool NotifyIcon(TrayMessage message) override {
        EXPECT_GT(recordFills, 0) << "notification record used before it was filled";
        if (duringNotify) duringNotify(message);
        bool ok = false;
        if (message == TrayMessage::Add) {
            ok = !addFails && !iconPresent;  // the shell refuses a second icon of the same id
            if (ok) iconPresent = true;
            if (ok && addTimeouts > 0) --addTimeouts, ok = false;
            log.push_back(ok ? "Add ok" : "Add failed");
        } else {
            ok = iconPresent;
            iconPresent = false;
            log.push_back(ok ? "Delete ok" : "Delete absent");
        }
        return ok;
    }
    void Unload() override {
        log.push_back("Unload");
        form->Form_Unload();  // WM_DESTROY
        ended = true;
    }

    // The user and the shell.
    void UserMinimizes() { state = WindowState::Minimized, form->Form_Resize(); }
    void UserMaximizes() { state = WindowState::Maximized, form->Form_Resize(); }
    void UserRestoresFromTaskbar() { state = WindowState::Normal, form->Form_Resize(); }
    void UserMovesSlider(int position) { slider = position, form->Slider1_Scroll(); }
    void Mouse(std::uint32_t lParam) { form->Form_MouseMove(lParam); }
    void ShellRestarts() { iconPresent = false, form->Form_TaskbarCreated(); }
    // Another program restores or maximises the window: the window is shown, then resized.
    void OtherProgramShows(WindowState newState) {
        state = newState;
        BecomeVisible();
        form->Form_Resize();
    }

    // A real window reports the change from hidden to visible, whatever made it.
    void BecomeVisible() {
        if (visible) return;
        visible = true;
        form->Form_Shown();
    }

    int Count(const std::string& entry) const {
        return static_cast<int>(std::count(log.begin(), log.end(), entry));
    }
    // Exactly the level at position checked; -1 for none.
    void ExpectOnlyChecked(int position) const {
        for (int i = 0; i < kLevelCount; ++i)
            EXPECT_EQ(checked[static_cast<std::size_t>(i)], i == position) << "item " << i;
    }
};

void Seed(MemoryRegistry& reg, LevelValues v) {
    reg.SetDword(kMixer, kAccelerationValue, v.acceleration);
    reg.SetDword(kPresence, kVxdValue, v.vxd);
    reg.SetDword(kPresence, kWdmValue, v.wdm);
}

LevelValues Stored(const MemoryRegistry& reg) {
    return {reg.GetDword(kMixer, kAccelerationValue).value_or(99),
            reg.GetDword(kPresence, kVxdValue).value_or(99),
            reg.GetDword(kPresence, kWdmValue).value_or(99)};
}

int CountOps(const MemoryRegistry& reg, Op op) {
    return static_cast<int>(std::count_if(reg.Calls().begin(), reg.Calls().end(),
                                          [op](const Call& c) { return c.op == op; }));
}

// A started program: registry seeded (or not), window loaded.
struct Rig {
    MemoryRegistry reg;
    FakeWindow win;
    Form1 form{win, reg};
    explicit Rig(std::optional<LevelValues> device) {
        win.form = &form;
        if (device) Seed(reg, *device);
        form.Form_Load();
    }
    void ToTray() {
        win.UserMinimizes();
        ASSERT_FALSE(win.visible);
        ASSERT_TRUE(win.iconPresent);
        win.log.clear();
    }
    // The position a fresh scan of the registry would show, -1 for none.
    int ScannedPosition() {
        const auto level = ScanForDevice(reg).level;
        return level ? PositionOf(*level) : -1;
    }
};

// --- Load ---

TEST(Form1Load, ShowsStoredLevelWithOnlyItsItemChecked) {
    for (int p = 0; p < kLevelCount; ++p) {
        SCOPED_TRACE(p);
        Rig r(kTable[static_cast<std::size_t>(p)]);
        EXPECT_EQ(r.win.slider, p);
        r.win.ExpectOnlyChecked(p);
        EXPECT_TRUE(r.win.enabled);
    }
}

TEST(Form1Load, NoDeviceShowsNoLevelAndDisablesLevelControls) {
    Rig r(std::nullopt);
    EXPECT_FALSE(r.form.device().has_value());
    EXPECT_EQ(r.win.slider, 0);
    r.win.ExpectOnlyChecked(-1);
    EXPECT_FALSE(r.win.enabled);
}

TEST(Form1Load, AccelerationOneNamesNoLevel) {
    Rig r(LevelValues{1, 1, 1});
    ASSERT_TRUE(r.form.device().has_value());
    EXPECT_EQ(r.win.slider, 0);
    r.win.ExpectOnlyChecked(-1);
    EXPECT_TRUE(r.win.enabled);
}

TEST(Form1Load, FillsTrayRecordWithoutAddingIconAndNeverWrites) {
    Rig r(kTable[2]);
    EXPECT_EQ(r.win.recordFills, 1);
    EXPECT_FALSE(r.win.iconPresent);
    EXPECT_FALSE(r.form.iconInNotificationArea());
    EXPECT_TRUE(r.win.visible);
    EXPECT_EQ(r.win.Count("Add ok") + r.win.Count("Add failed"), 0);
    EXPECT_EQ(CountOps(r.reg, Op::Set), 0);
    EXPECT_EQ(r.reg.OpenHandleCount(), 0u);
}

// --- Notification icon ---

TEST(Form1Tray, DoubleClickSequenceRestoresExactlyOnce) {
    Rig r(kTable[2]);
    r.ToTray();
    for (std::uint32_t m : {kLeftDown, kLeftUp, kLeftDouble, kLeftUp}) r.win.Mouse(m);
    EXPECT_EQ(r.win.Count("Delete ok") + r.win.Count("Delete absent"), 1);
    EXPECT_EQ(r.win.Count("Show"), 1);
    EXPECT_EQ(r.win.state, WindowState::Normal);
    EXPECT_TRUE(r.win.visible);
    EXPECT_FALSE(r.win.iconPresent);
    EXPECT_EQ(r.win.Count("Hide"), 0) << "the Resize raised by SetStateNormal must not hide";
}

TEST(Form1Tray, RightButtonDownOpensMenuOtherMessagesDoNothing) {
    Rig r(kTable[2]);
    r.ToTray();
    for (std::uint32_t m : {kMove, kLeftDown, kLeftUp, kRightUp}) r.win.Mouse(m);
    EXPECT_TRUE(r.win.log.empty());
    r.win.Mouse(kRightDown);
    EXPECT_EQ(r.win.log, std::vector<std::string>{"PopupMenu"});
    r.win.Mouse(kRightUp);
    EXPECT_EQ(r.win.Count("PopupMenu"), 1);
    EXPECT_FALSE(r.win.visible);
    EXPECT_TRUE(r.win.iconPresent);
}

TEST(Form1Tray, MouseMovesOverShownWindowAreIgnored) {
    Rig r(kTable[2]);
    r.win.state = WindowState::Maximized;
    r.win.log.clear();
    // The pointer at pixel column 515 or 516, rows 0 and 40.
    for (std::uint32_t m : {kLeftDouble, kRightDown, (40u << 16) | kLeftDouble,
                            (40u << 16) | kRightDown})
        r.win.Mouse(m);
    EXPECT_TRUE(r.win.log.empty());
    EXPECT_EQ(r.win.state, WindowState::Maximized);
}

TEST(Form1Tray, LevelChosenFromPopupWhileHiddenIsWrittenAndShown) {
    Rig r(kTable[2]);
    r.ToTray();
    r.win.onPopup = [&] { r.form.MenuFull_Click(); };
    r.win.Mouse(kRightDown);
    EXPECT_EQ(Stored(r.reg), kTable[3]);
    EXPECT_EQ(r.win.slider, 3);
    r.win.ExpectOnlyChecked(3);
    EXPECT_FALSE(r.win.visible);
    EXPECT_TRUE(r.win.iconPresent);
    EXPECT_EQ(r.win.state, WindowState::Minimized);
}

TEST(Form1Tray, MinimisingMaximisedWindowHidesAndRestoresToNormal) {
    Rig r(kTable[2]);
    r.win.UserMaximizes();
    EXPECT_TRUE(r.win.visible);
    EXPECT_FALSE(r.win.iconPresent);
    r.win.UserMinimizes();
    EXPECT_FALSE(r.win.visible);
    EXPECT_EQ(r.win.Count("Add ok"), 1);
    r.win.Mouse(kLeftDouble);
    EXPECT_EQ(r.win.state, WindowState::Normal);
    EXPECT_TRUE(r.win.visible);
    EXPECT_FALSE(r.win.iconPresent);
}

TEST(Form1Tray, EachMinimiseAddsIconAnewNeverTwo) {
    Rig r(kTable[2]);
    for (int i = 0; i < 3; ++i) {
        r.win.UserMinimizes();
        EXPECT_TRUE(r.win.iconPresent);
        r.win.UserMinimizes();  // a second Resize while minimised
        r.win.Mouse(kLeftDouble);
        EXPECT_FALSE(r.win.iconPresent);
    }
    EXPECT_EQ(r.win.Count("Add ok"), 3);
    EXPECT_EQ(r.win.Count("Add failed"), 0);
    EXPECT_EQ(r.win.Count("Delete ok"), 3);
    EXPECT_EQ(r.win.Count("Delete absent"), 0);
}

TEST(Form1Tray, MenuExitRemovesIconAndEnds) {
    Rig r(kTable[2]);
    r.ToTray();
    r.win.onPopup = [&] { r.form.MenuExit_Click(); };
    r.win.Mouse(kRightDown);
    EXPECT_TRUE(r.win.ended);
    EXPECT_FALSE(r.win.iconPresent);
    EXPECT_EQ(r.win.Count("Delete ok"), 1);
    EXPECT_FALSE(r.form.iconInNotificationArea());
}

TEST(Form1Tray, ClosingShownWindowSendsDeleteAndEnds) {
    Rig r(kTable[2]);
    r.win.Unload();
    EXPECT_TRUE(r.win.ended);
    EXPECT_EQ(r.win.Count("Delete absent"), 1);
    EXPECT_EQ(CountOps(r.reg, Op::Set), 0);
}

TEST(Form1Tray, FailedAddLeavesWindowMinimisedOnTaskbar) {
    Rig r(kTable[2]);
    r.win.addFails = true;
    r.win.UserMinimizes();
    EXPECT_EQ(r.win.Count("Add failed"), 2);  // and once more after a removal
    EXPECT_TRUE(r.win.visible);
    EXPECT_EQ(r.win.state, WindowState::Minimized);
    EXPECT_FALSE(r.form.iconInNotificationArea());
    r.win.log.clear();
    r.win.Mouse(kLeftDouble);
    r.win.Mouse(kRightDown);
    EXPECT_TRUE(r.win.log.empty());
    // Restored from the taskbar, the next minimise tries again and succeeds.
    r.win.addFails = false;
    r.win.UserRestoresFromTaskbar();
    r.win.UserMinimizes();
    EXPECT_TRUE(r.win.iconPresent);
    EXPECT_FALSE(r.win.visible);
}

// The shell answers an add with a time-out although it added the icon: the program removes it
// and adds it once more, so it has exactly one icon and acts on its callbacks, whichever route
// added it.
TEST(Form1Tray, AddAnsweredWithTimeOutIsRemovedAndAddedAgain) {
    for (int route : {0, 1, 2}) {
        SCOPED_TRACE(route);
        Rig r(kTable[2]);
        if (route == 0) {
            r.win.addTimeouts = 1;
            r.win.UserMinimizes();
        } else if (route == 1) {
            r.win.visible = false;  // a hidden start: loaded, not shown yet
            r.win.addTimeouts = 1;
            r.form.Form_HiddenStart();
        } else {
            r.ToTray();
            r.win.addTimeouts = 1;
            r.win.ShellRestarts();
        }
        EXPECT_TRUE(r.win.iconPresent);
        EXPECT_TRUE(r.form.iconInNotificationArea());
        EXPECT_FALSE(r.win.visible);
        EXPECT_EQ(r.win.Count("Add failed"), 1);
        EXPECT_EQ(r.win.Count("Delete ok"), 1);
        r.win.log.clear();
        r.win.onPopup = [&] { r.form.MenuFull_Click(); };
        r.win.Mouse(kRightDown);
        EXPECT_EQ(r.win.Count("PopupMenu"), 1);
        EXPECT_EQ(Stored(r.reg), kTable[3]);
        r.win.Mouse(kLeftDouble);
        EXPECT_TRUE(r.win.visible);
        EXPECT_FALSE(r.win.iconPresent);
    }
}

TEST(Form1Tray, TaskbarCreatedWhileHiddenAddsIconAgain) {
    Rig r(kTable[2]);
    r.ToTray();
    r.win.ShellRestarts();
    EXPECT_EQ(r.win.log, std::vector<std::string>{"Add ok"});
    EXPECT_TRUE(r.win.iconPresent);
    EXPECT_EQ(r.win.recordFills, 1);  // the record filled at Load is reused
    EXPECT_FALSE(r.win.visible);
    r.win.Mouse(kLeftDouble);  // and the icon still answers
    EXPECT_TRUE(r.win.visible);
}

TEST(Form1Tray, TaskbarCreatedWhileShownDoesNothing) {
    Rig r(kTable[2]);
    r.win.ShellRestarts();
    r.ToTray();
    r.win.Mouse(kLeftDouble);
    r.win.log.clear();
    r.win.ShellRestarts();
    EXPECT_TRUE(r.win.log.empty());
    EXPECT_FALSE(r.win.iconPresent);
}

TEST(Form1Tray, TaskbarCreatedReaddFailingShowsWindow) {
    Rig r(kTable[2]);
    r.ToTray();
    r.win.addFails = true;
    r.win.ShellRestarts();
    EXPECT_TRUE(r.win.visible);
    EXPECT_EQ(r.win.state, WindowState::Normal);
    EXPECT_FALSE(r.form.iconInNotificationArea());
    r.win.log.clear();
    r.win.Mouse(kRightDown);
    EXPECT_TRUE(r.win.log.empty());
}

// Shown by another program's restore or maximise, or by a double-click on the icon: the icon
// goes and its callbacks stop, also for a mouse move the window handles while the shell is
// still removing the icon.
TEST(Form1Tray, ShownByAnyRouteRemovesIconAndCallbacksStop) {
    for (int route : {0, 1, 2}) {
        SCOPED_TRACE(route);
        Rig r(kTable[2]);
        r.ToTray();
        r.win.duringNotify = [&](TrayMessage message) {
            if (message == TrayMessage::Delete) r.win.Mouse(kRightDown);
        };
        if (route == 2)
            r.win.Mouse(kLeftDouble);
        else
            r.win.OtherProgramShows(route == 0 ? WindowState::Normal : WindowState::Maximized);
        r.win.duringNotify = nullptr;
        r.win.Mouse(kRightDown);  // the pointer over client column 516
        EXPECT_EQ(r.win.Count("PopupMenu"), 0);
        EXPECT_EQ(r.win.Count("Delete ok"), 1);
        EXPECT_TRUE(r.win.visible);
        EXPECT_FALSE(r.form.iconInNotificationArea());
        r.win.UserMinimizes();  // and the next minimise adds it anew
        EXPECT_TRUE(r.win.iconPresent);
        EXPECT_FALSE(r.win.visible);
    }
}

// --- Start ---

TEST(Form1Start, HiddenStartGoesToTheNotificationAreaOrElseTheTaskbar) {
    for (bool addFails : {false, true}) {
        SCOPED_TRACE(addFails);
        Rig r(kTable[2]);
        r.win.visible = false;  // loaded, not shown yet
        r.win.addFails = addFails;
        r.form.Form_HiddenStart();
        EXPECT_EQ(r.form.iconInNotificationArea(), !addFails);
        EXPECT_EQ(r.win.visible, addFails);
        EXPECT_EQ(r.win.Count("ShowMinimized"), addFails ? 1 : 0);
        r.win.Mouse(kRightDown);
        EXPECT_EQ(r.win.Count("PopupMenu"), addFails ? 0 : 1);
    }
}

// After a hidden start Windows may turn the first show into the starter's hide: every way of
// showing the window still ends with it visible and the icon gone, and a show that took the
// first time is not repeated.
TEST(Form1Start, FirstShowAfterHiddenStartEndsVisibleByEveryRoute) {
    for (int route : {0, 1, 2}) {
        SCOPED_TRACE(route);
        Rig r(kTable[2]);
        r.win.visible = false;
        r.form.Form_HiddenStart();
        ASSERT_TRUE(r.form.iconInNotificationArea());
        r.win.showsOverridden = 1;
        if (route == 0) {
            r.win.onPopup = [&] { r.form.MenuShow_Click(); };
            r.win.Mouse(kRightDown);
        } else if (route == 1) {
            r.win.Mouse(kLeftDouble);
        } else {
            r.form.Form_ShowRequest();  // a second start
        }
        EXPECT_TRUE(r.win.visible);
        EXPECT_FALSE(r.win.iconPresent);
        EXPECT_EQ(r.win.Count("Show"), 2);
        r.win.UserMinimizes();
        r.win.log.clear();
        r.win.Mouse(kLeftDouble);
        EXPECT_TRUE(r.win.visible);
        EXPECT_EQ(r.win.Count("Show"), 1);
    }
}

// What the first show of a start that asked for a window left behind: only a window neither
// visible nor in the notification area (Windows refused the starter's value in its place) is
// shown again; a minimised start stays where its minimise put it.
TEST(Form1Start, FirstShowLeavesTheWindowReachable) {
    struct Case {
        const char* what;
        bool shown, minimised, addFails;
        int shows;
        bool visible, icon;
    };
    for (const Case& c : {Case{"refused", false, false, false, 1, true, false},
                          Case{"minimised to the icon", true, true, false, 0, false, true},
                          Case{"minimised, no icon", true, true, true, 0, true, false}}) {
        SCOPED_TRACE(c.what);
        Rig r(kTable[2]);
        r.win.visible = false;
        r.win.addFails = c.addFails;
        if (c.shown)
            r.win.OtherProgramShows(c.minimised ? WindowState::Minimized : WindowState::Normal);
        r.win.log.clear();
        r.form.Form_FirstShown();
        EXPECT_EQ(r.win.Count("Show"), c.shows);
        EXPECT_EQ(r.win.visible, c.visible);
        EXPECT_EQ(r.win.iconPresent, c.icon);
    }
}

TEST(Form1Start, ShowRequestRestoresAHiddenOrMinimisedWindowAndOnlyActivatesAShownOne) {
    Rig r(kTable[2]);
    r.ToTray();
    r.form.Form_ShowRequest();
    EXPECT_EQ(r.win.log, (std::vector<std::string>{"SetStateNormal", "Delete ok", "Show"}));
    EXPECT_FALSE(r.form.iconInNotificationArea());

    r.win.UserMaximizes();
    r.win.log.clear();
    r.form.Form_ShowRequest();
    EXPECT_EQ(r.win.log, std::vector<std::string>{"Activate"});
    EXPECT_EQ(r.win.state, WindowState::Maximized);

    r.win.addFails = true;
    r.win.UserMinimizes();  // stays on the taskbar
    r.form.Form_ShowRequest();
    EXPECT_TRUE(r.win.visible);
    EXPECT_EQ(r.win.state, WindowState::Normal);
    EXPECT_EQ(r.win.Count("Show"), 1);
}

// --- Levels ---

TEST(Form1Level, SliderScrollWritesTableValuesInOrderAndChecksFollow) {
    Rig r(kTable[2]);
    for (int p : {3, 0, 1, 2}) {
        SCOPED_TRACE(p);
        const LevelValues& v = kTable[static_cast<std::size_t>(p)];
        r.reg.ClearCalls();
        r.win.UserMovesSlider(p);
        std::vector<std::pair<std::string, std::uint32_t>> sets;
        for (const Call& c : r.reg.Calls())
            if (c.op == Op::Set) sets.emplace_back(c.path + "|" + c.valueName, c.dword.value_or(99));
        const std::vector<std::pair<std::string, std::uint32_t>> expected = {
            {kMixer + "|Acceleration", v.acceleration},
            {kPresence + "|VxD", v.vxd},
            {kPresence + "|WDM", v.wdm}};
        EXPECT_EQ(sets, expected);
        EXPECT_EQ(Stored(r.reg), v);
        EXPECT_EQ(r.win.slider, p);
        r.win.ExpectOnlyChecked(p);
    }
    EXPECT_EQ(r.reg.OpenHandleCount(), 0u);
}

TEST(Form1Level, MenuClickChecksOnlyThatLevelAndWrites) {
    Rig r(kTable[2]);
    const std::array<void (Form1::*)(), 4> clicks = {&Form1::MenuOff_Click, &Form1::MenuBasic_Click,
                                                     &Form1::MenuStandard_Click,
                                                     &Form1::MenuFull_Click};
    for (int p : {0, 3, 1, 2}) {
        SCOPED_TRACE(p);
        (r.form.*clicks[static_cast<std::size_t>(p)])();
        EXPECT_EQ(Stored(r.reg), kTable[static_cast<std::size_t>(p)]);
        EXPECT_EQ(r.win.slider, p);
        r.win.ExpectOnlyChecked(p);
    }
}

// A write that is not stored leaves the window showing what the registry holds, greyed when
// the keys no longer take writes.
TEST(Form1Level, FailedApplyShowsWhatRegistryHolds) {
    {
        SCOPED_TRACE("presence key made read-only, Standard -> Full: nothing written");
        Rig r(kTable[2]);
        r.reg.DenyFullAccess(kPresence);
        r.win.UserMovesSlider(3);
        EXPECT_EQ(Stored(r.reg), kTable[2]);
        EXPECT_EQ(r.win.slider, 2);
        r.win.ExpectOnlyChecked(2);
        EXPECT_FALSE(r.win.enabled);
        EXPECT_EQ(r.win.tip, kAdministratorTip);
    }
    {
        SCOPED_TRACE("mixer key made read-only, Full -> Off from the menu: still Full");
        Rig r(kTable[3]);
        r.reg.DenyFullAccess(kMixer);
        r.form.MenuOff_Click();
        EXPECT_EQ(Stored(r.reg), kTable[3]);
        EXPECT_EQ(r.win.slider, 3);
        r.win.ExpectOnlyChecked(3);
        EXPECT_FALSE(r.win.enabled);
    }
    {
        SCOPED_TRACE("mixer writes fail, Standard -> Full from the menu: still Standard");
        Rig r(kTable[2]);
        r.reg.FailWrites(kMixer, kErrorAccessDenied);
        r.form.MenuFull_Click();
        EXPECT_EQ(Stored(r.reg), kTable[2]);
        EXPECT_EQ(r.win.slider, 2);
        r.win.ExpectOnlyChecked(2);
    }
    {
        SCOPED_TRACE("presence writes fail, Off -> Basic from the menu: VxD stays 0, so Off");
        Rig r(kTable[0]);
        r.reg.FailWrites(kPresence, kErrorAccessDenied);
        r.form.MenuBasic_Click();
        EXPECT_EQ(Stored(r.reg), kTable[0]);
        EXPECT_EQ(r.win.slider, 0);
        r.win.ExpectOnlyChecked(0);
    }
}

TEST(Form1Level, NoDeviceWritesNothingAndSliderReturnsToZero) {
    Rig r(std::nullopt);
    r.reg.ClearCalls();
    r.win.UserMovesSlider(2);
    EXPECT_EQ(r.win.slider, 0);
    r.win.ExpectOnlyChecked(-1);
    r.form.MenuFull_Click();
    EXPECT_EQ(r.win.slider, 0);
    r.win.ExpectOnlyChecked(-1);
    EXPECT_EQ(CountOps(r.reg, Op::Set), 0);
}

// --- Changes made by other programs, and by this one ---

TEST(Form1Refresh, AnUnchangedRegistryChangesNothingVisibleAndWritesNothing) {
    Rig r(kTable[2]);
    r.win.UserMovesSlider(1);  // this program's own write signals a change too
    ASSERT_EQ(Stored(r.reg), kTable[1]);
    r.win.log.clear();
    r.reg.ClearCalls();
    r.form.Form_RegistryChanged();
    EXPECT_TRUE(r.win.log.empty()) << r.win.log.front();
    EXPECT_EQ(CountOps(r.reg, Op::Set), 0);
    EXPECT_EQ(r.win.slider, 1);
    r.win.ExpectOnlyChecked(1);
}

TEST(Form1Refresh, AnotherProgramsLevelIsShownInTheWindowAndInTheNotificationArea) {
    Rig r(kTable[2]);
    r.reg.SetDword(kMixer, kAccelerationValue, 15);  // Standard -> Basic, as a control panel does
    r.form.Form_RegistryChanged();
    EXPECT_EQ(r.win.slider, 1);
    r.win.ExpectOnlyChecked(1);

    r.ToTray();
    r.reg.SetDword(kPresence, kVxdValue, 0);  // Basic -> Off
    r.form.Form_RegistryChanged();
    EXPECT_EQ(r.win.slider, 0);
    r.win.ExpectOnlyChecked(0);
    r.reg.SetDword(kMixer, kAccelerationValue, 1);  // no level of the table
    r.form.Form_RegistryChanged();
    EXPECT_EQ(r.win.slider, 0);
    r.win.ExpectOnlyChecked(-1);
    // Still in the notification area: nothing shown, hidden, added or removed.
    EXPECT_FALSE(r.win.visible);
    EXPECT_TRUE(r.win.iconPresent);
    for (const char* entry : {"Show", "Hide", "Add ok", "Delete ok", "SetStateNormal"})
        EXPECT_EQ(r.win.Count(entry), 0) << entry;
    EXPECT_EQ(CountOps(r.reg, Op::Set), 0);
}

TEST(Form1Refresh, ADeviceThatGoesAwayGreysTheControlsAndOneThatComesBackEnablesThem) {
    Rig r(kTable[3]);
    r.reg.DeleteKey(std::string(kPciEnumPath) + "\\VEN_1274&DEV_5880");
    r.form.Form_RegistryChanged();
    EXPECT_FALSE(r.form.device().has_value());
    EXPECT_EQ(r.win.slider, 0);
    r.win.ExpectOnlyChecked(-1);
    EXPECT_FALSE(r.win.enabled);
    r.win.UserMovesSlider(2);  // what a greyed slider cannot do; still nothing is written
    EXPECT_EQ(CountOps(r.reg, Op::Set), 0);

    Seed(r.reg, kTable[1]);
    r.form.Form_RegistryChanged();
    EXPECT_TRUE(r.win.enabled);
    EXPECT_EQ(r.win.slider, 1);
    r.win.ExpectOnlyChecked(1);
    r.form.MenuFull_Click();
    EXPECT_EQ(Stored(r.reg), kTable[3]);
}

// The slider's tooltip names the device and the others while enabled and says why it is greyed
// otherwise, following every change; a scan that finds what is shown touches nothing, and a
// level chosen while greyed leaves the reason in place.
TEST(Form1Refresh, TheSlidersTooltipNamesTheDeviceOrSaysWhyAndFollowsEveryChange) {
    Rig r(kTable[2]);
    const std::string device = std::string(kPciEnumPath) + "\\VEN_1274&DEV_5880";
    const std::string values = std::string(kDeviceValuesPath) + "\\VEN_1274&DEV_5880\\3&61AAA01&0&38";
    // Usable devices that enumerate before the controlled one.
    const auto other = [&](const char* name) {
        r.reg.SetDword(std::string(kPciEnumPath) + "\\" + name + "\\1\\DirectSound\\Mixer Defaults",
                       kAccelerationValue, 0);
    };
    const std::pair<std::function<void()>, std::string> steps[] = {
        {[&] { other("VEN_1102&DEV_0002"); },
         kDeviceTip + "\r\n1 other sound device with DirectSound settings keeps its own level."},
        {[&] { other("VEN_10B9&DEV_5451"), other("VEN_1002&DEV_4370"); },
         kDeviceTip + "\r\n3 other sound devices with DirectSound settings keep their own levels."},
        {[&] {
             r.reg.DeleteKey(std::string(kPciEnumPath));
             Seed(r.reg, kTable[2]);
             r.reg.SetValue(values, "FriendlyName", 1, {std::byte('E'), std::byte('S'), std::byte(0)});
         },
         "Sound device: ES"},
        {[&] { r.reg.DeleteKey(device); }, kNoDeviceTip},
        {[&] { Seed(r.reg, kTable[2]), r.reg.DenyFullAccess(kMixer); }, kAdministratorTip},
        {[&] { r.reg.DeleteKey(kPresence); }, kIncompleteTip},
        {[&] { r.reg.DeleteKey(device), Seed(r.reg, kTable[2]); }, "Sound device: ES"},
    };
    for (const auto& [change, tip] : steps) {
        SCOPED_TRACE(tip);
        change();
        r.form.Form_RegistryChanged();
        EXPECT_EQ(r.win.enabled, tip.rfind("Sound device: ", 0) == 0);
        EXPECT_EQ(r.win.tip, tip);
        r.win.log.clear();
        r.form.Form_RegistryChanged();
        EXPECT_TRUE(r.win.log.empty()) << r.win.log.front();
        if (r.win.enabled) continue;
        r.form.MenuFull_Click();  // what greyed items cannot do
        for (const std::string& entry : r.win.log)
            EXPECT_TRUE(entry.rfind("Enable", 0) != 0 && entry.rfind("Grey", 0) != 0) << entry;
    }
}

TEST(Form1Refresh, KeysThatMayOnlyBeReadShowTheirLevelGreyed) {
    Rig r(kTable[1]);
    r.reg.DenyFullAccess(kPresence);
    r.form.Form_RegistryChanged();
    EXPECT_EQ(r.win.slider, 1);
    r.win.ExpectOnlyChecked(1);
    EXPECT_FALSE(r.win.enabled);
}

TEST(Form1Level, RestartShowsTheLevelLastChosen) {
    for (int p = 0; p < kLevelCount; ++p) {
        SCOPED_TRACE(p);
        MemoryRegistry reg;
        Seed(reg, kTable[(p + 2) % kLevelCount]);
        {
            FakeWindow win;
            Form1 form(win, reg);
            win.form = &form;
            form.Form_Load();
            win.UserMovesSlider(p);
            win.Unload();
        }
        FakeWindow win;
        Form1 form(win, reg);
        win.form = &form;
        form.Form_Load();
        EXPECT_EQ(win.slider, p);
        win.ExpectOnlyChecked(p);
    }
}

}  // namespace
}  // namespace quillaro
