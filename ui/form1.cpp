#include "form1.h"

#include "apply_level.h"

namespace quillaro {

namespace {
constexpr AccelerationLevel kLevels[] = {AccelerationLevel::Off, AccelerationLevel::Basic,
                                         AccelerationLevel::Standard, AccelerationLevel::Full};
}

void Form1::Form_Load() {
    ScanResult scan = ScanForDevice(registry_);
    device_ = std::move(scan.device);
    ShowLevel(scan.level);
    window_.SetLevelControlsEnabled(device_.has_value());
    window_.FillTrayIconData();
}

// Slider at the level's position (0 for none), and a check mark on that level's item alone.
void Form1::ShowLevel(std::optional<AccelerationLevel> level) {
    window_.SetSliderValue(level ? PositionOf(*level) : 0);
    for (AccelerationLevel each : kLevels) window_.SetChecked(each, level == each);
}

void Form1::Apply(int position) {
    if (ApplyLevel(registry_, device_, position)) {
        ShowLevel(LevelAtPosition(position));
        return;
    }
    // Not stored: show what the registry holds rather than a level it does not.
    ShowLevel(device_ ? ReadDeviceLevel(registry_, *device_) : std::nullopt);
}

void Form1::Slider1_Scroll() { Apply(window_.SliderValue()); }

void Form1::MenuLevel_Click(AccelerationLevel level) {
    for (AccelerationLevel each : kLevels) window_.SetChecked(each, each == level);
    window_.SetSliderValue(PositionOf(level));
    Apply(PositionOf(level));
}

void Form1::Form_Resize() {
    if (window_.State() != WindowState::Minimized) return;
    // Without an icon the window stays on the taskbar, so it can always be reached.
    if (!iconShown_ && !window_.NotifyIcon(TrayMessage::Add)) return;
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
    if (!iconShown_ || window_.NotifyIcon(TrayMessage::Add)) return;
    // The icon cannot come back: bring the window back instead.
    MenuShow_Click();
}

void Form1::MenuShow_Click() {
    window_.SetStateNormal();
    window_.NotifyIcon(TrayMessage::Delete);
    iconShown_ = false;
    window_.Show();
}

void Form1::MenuExit_Click() { window_.Unload(); }

void Form1::Form_Unload() {
    window_.NotifyIcon(TrayMessage::Delete);
    iconShown_ = false;
}

}  // namespace quillaro
