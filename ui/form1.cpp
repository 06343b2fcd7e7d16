#include "form1.h"

#include "apply_level.h"

namespace quillaro {

namespace {
constexpr AccelerationLevel kLevels[] = {AccelerationLevel::Off, AccelerationLevel::Basic,
                                         AccelerationLevel::Standard, AccelerationLevel::Full};

// Why the level controls are greyed; nothing while they work.
const char* GreyedReason(WriteRefusal refusal) {
    switch (refusal) {
        case WriteRefusal::None: break;
        case WriteRefusal::NoDevice:
            return "No PCI sound device with DirectSound settings was found.";
        case WriteRefusal::NotPermitted:
            return "Only an administrator can change the acceleration level.";
        case WriteRefusal::Incomplete:
            return "The sound device's DirectSound settings are incomplete.";
    }
    return nullptr;
}

void AppendDecimal(SliderTip& text, std::uint32_t number) {
    char digits[10];
    std::size_t count = 0;
    do digits[count++] = static_cast<char>('0' + number % 10);
    while ((number /= 10) != 0);
    while (count > 0) (void)text.Append({&digits[--count], 1});
}

// While the level controls work: which device they set, and that the others keep their own
// levels, so a user with two sound devices knows which one moves. Lines end in CR LF.
void DeviceTip(const DeviceName& name, std::uint32_t otherDevices, SliderTip& tip) {
    // Always fits: the tip has room for the longest name and the longest count.
    (void)(tip.Assign("Sound device: ") && tip.Append(name.view()));
    if (otherDevices == 0) return;
    (void)tip.Append("\r\n");
    AppendDecimal(tip, otherDevices);
    const bool one = otherDevices == 1;
    (void)(tip.Append(" other sound device") && (one || tip.Append("s")) &&
           tip.Append(" with DirectSound settings ") &&
           tip.Append(one ? "keeps its own level." : "keep their own levels."));
}
}  // namespace

void Form1::Form_Load() {
    Discover();
    window_.FillTrayIconData();
}

void Form1::Form_RegistryChanged() { Discover(); }

// Finds the device and shows its level; the level controls work only when its keys accept
// writes, so a user who may only read sees the stored level greyed, and why.
void Form1::Discover() {
    ScanResult scan = ScanForDevice(registry_);
    device_ = std::move(scan.device);
    ShowLevel(scan.level);
    ShowLevelControls(scan.refusal, scan.name, scan.otherDevices);
    discovered_ = true;
}

void Form1::Form_HiddenStart() {
    // A hidden window without an icon could not be reached: start in the notification area, as
    // after a minimise, or minimised on the taskbar when there is no notification area to use.
    if (AddIcon()) {
        iconShown_ = true;
        return;
    }
    window_.ShowMinimized();
}

void Form1::Form_FirstShown() {
    // Windows may hand the first show of a process the starter's own show value in place of
    // the program's, and refuse it when it is one Windows does not know: a window left neither
    // visible nor in the notification area could not be reached, so it is shown again.
    if (!iconShown_ && !window_.Visible()) window_.Show();
}

// A busy shell (Explorer at log-on, under load) can answer an add with a time-out although it
// added the icon; every later add of the same icon would then be refused as a duplicate. So a
// failed add is followed by a removal of whatever may be there and one more add.
bool Form1::AddIcon() {
    if (window_.NotifyIcon(TrayMessage::Add)) return true;
    window_.NotifyIcon(TrayMessage::Delete);
    return window_.NotifyIcon(TrayMessage::Add);
}

void Form1::Form_Shown() {
    // The window stands for the program again, whoever showed it: the icon goes, and with it
    // the meaning of mouse moves as the icon's callbacks.
    if (!iconShown_) return;
    // Cleared before the shell is called: the call waits on the shell, and meanwhile the window
    // handles messages sent to it, a mouse move over column 516 among them.
    iconShown_ = false;
    window_.NotifyIcon(TrayMessage::Delete);
}

// Slider at the level's position (0 for none) and a check mark on that level's item alone;
// only what differs from what is shown is changed.
void Form1::ShowLevel(std::optional<AccelerationLevel> level) {
    const int position = level ? PositionOf(*level) : 0;
    if (window_.SliderValue() != position) window_.SetSliderValue(position);
    if (!discovered_ || level_ != level)
        for (AccelerationLevel each : kLevels) window_.SetChecked(each, level == each);
    level_ = level;
}

// The level controls enabled or greyed, with the slider's tooltip; changed only when either
// differs from what is shown.
void Form1::ShowLevelControls(WriteRefusal refusal, const DeviceName& name,
                              std::uint32_t otherDevices) {
    const bool enabled = refusal == WriteRefusal::None;
    SliderTip tip;
    if (enabled)
        DeviceTip(name, otherDevices, tip);
    else
        (void)tip.Assign(GreyedReason(refusal));
    if (discovered_ && enabled == enabled_ && tip == tip_) return;
    enabled_ = enabled;
    tip_ = tip;
    window_.SetLevelControls(enabled, tip_.c_str());
}

void Form1::Apply(int position) {
    if (ApplyLevel(registry_, device_, position)) {
        ShowLevel(LevelAtPosition(position));
        return;
    }
    // Not stored: show what the registry holds rather than a level it does not, and grey the
    // controls if the keys no longer accept writes.
    Discover();
}

void Form1::Slider1_Scroll() { Apply(window_.SliderValue()); }

void Form1::MenuLevel_Click(AccelerationLevel level) {
    ShowLevel(level);
    Apply(PositionOf(level));
}

void Form1::Form_Resize() {
    if (window_.State() != WindowState::Minimized) return;
    // Without an icon the window stays on the taskbar, so it can always be reached.
    if (!iconShown_ && !AddIcon()) return;
    iconShown_ = true;
    window_.Hide();
}

void Form1::Form_MouseMove(std::uint32_t lParam) {
    // Ordinary mouse moves over the client area arrive here too; only the icon's count.
    if (!iconShown_) return;
    const std::uint32_t message = lParam & 0xFFFF;
    if (message == kIconDoubleClick)
        MenuShow_Click();
    else if (message == kIconRightButtonDown)
        window_.PopupMenu();
}

void Form1::Form_TaskbarCreated() {
    if (!iconShown_ || AddIcon()) return;
    // The icon cannot come back: bring the window back instead.
    MenuShow_Click();
}

void Form1::Form_ShowRequest() {
    if (!window_.Visible() || window_.State() == WindowState::Minimized)
        MenuShow_Click();
    else
        window_.Activate();  // shown already, maximised or not: only to the front
}

void Form1::MenuShow_Click() {
    window_.SetStateNormal();
    iconShown_ = false;  // before the shell call, as in Form_Shown
    window_.NotifyIcon(TrayMessage::Delete);
    window_.Show();
    // Windows may hand the first show of a process the show command its starter gave (a hide,
    // after a hidden start); that is spent by now, so a second show always takes.
    if (!window_.Visible()) window_.Show();
}

void Form1::MenuExit_Click() { window_.Unload(); }

void Form1::Form_Unload() {
    iconShown_ = false;
    window_.NotifyIcon(TrayMessage::Delete);
}

}  // namespace quillaro
