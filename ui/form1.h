// The main window's behaviour: what each event of the window, its slider and its menu items
// does. The window itself (controls, menu, notification icon) sits behind FormWindow, so these
// decisions run and are tested without Windows.
#pragma once

#include <cstdint>
#include <optional>

#include "bounded_text.h"
#include "device_name.h"
#include "levels.h"
#include "registry_api.h"
#include "startup_scan.h"

namespace quillaro {

enum class WindowState : int { Normal = 0, Minimized = 1, Maximized = 2 };

// The two messages the program sends to the notification area.
enum class TrayMessage : std::uint32_t { Add = 0, Delete = 2 };

// The mouse messages the notification icon reports through its callback.
inline constexpr std::uint32_t kIconDoubleClick = 0x203;  // WM_LBUTTONDBLCLK
inline constexpr std::uint32_t kIconRightButtonDown = 0x204;  // WM_RBUTTONDOWN

// What the handlers ask of the window.
class FormWindow {
public:
    virtual int SliderValue() const = 0;
    // Moves the thumb; never raises the slider's Scroll event.
    virtual void SetSliderValue(int position) = 0;
    virtual void SetChecked(AccelerationLevel level, bool checked) = 0;
    // The slider and the four level items, enabled (there is a device to write to) or greyed;
    // tip is the slider's tooltip, and what it says to a screen reader: which device it sets
    // while enabled, why it is greyed otherwise.
    virtual void SetLevelControls(bool enabled, const char* tip) = 0;
    virtual WindowState State() const = 0;
    virtual bool Visible() const = 0;
    virtual void SetStateNormal() = 0;
    virtual void Hide() = 0;
    // Shows the window in its normal state and brings it to the foreground.
    virtual void Show() = 0;
    // Shows the window minimised on the taskbar, without activating it.
    virtual void ShowMinimized() = 0;
    // Brings the shown window to the foreground as it is.
    virtual void Activate() = 0;
    // Pops up the menu at the pointer; returns once an item's Click has run or it was dismissed.
    virtual void PopupMenu() = 0;
    // Fills the notification icon's record from the window's handle and icon.
    virtual void FillTrayIconData() = 0;
    // Shell_NotifyIcon with the record; true when the notification area accepted it.
    virtual bool NotifyIcon(TrayMessage message) = 0;
    // Destroys the window, which raises Form_Unload and ends the program.
    virtual void Unload() = 0;

protected:
    // Never deleted through this interface, so no destructor of it lands in a vtable.
    ~FormWindow() = default;
};

// The slider's tooltip: the device's name and a line on the other devices, or why it is greyed.
inline constexpr std::size_t kLongestSliderTip = 96 + kLongestDeviceName;
using SliderTip = BoundedText<kLongestSliderTip>;

class Form1 {
public:
    Form1(FormWindow& window, RegistryApi& registry) : window_(window), registry_(registry) {}

    void Form_Load();
    // The registry below the PCI devices changed (another program, or this one's own writes):
    // finds the device again and shows what it holds now, touching only what differs.
    void Form_RegistryChanged();
    // The first show of a start whose show command would leave the window invisible.
    void Form_HiddenStart();
    // The first show of a start that asked for a window has been made.
    void Form_FirstShown();
    // The window has just become visible, by any route: the program's own Show, or a restore or
    // maximise from another program or the taskbar.
    void Form_Shown();
    void Form_Resize();
    void Form_Unload();
    // lParam as the window received it; for the icon's callback its low word is the mouse message.
    void Form_MouseMove(std::uint32_t lParam);
    // The notification area was re-created ("TaskbarCreated").
    void Form_TaskbarCreated();
    // Another start of the program asks this one to bring its window back.
    void Form_ShowRequest();
    void Slider1_Scroll();
    void MenuOff_Click() { MenuLevel_Click(AccelerationLevel::Off); }
    void MenuBasic_Click() { MenuLevel_Click(AccelerationLevel::Basic); }
    void MenuStandard_Click() { MenuLevel_Click(AccelerationLevel::Standard); }
    void MenuFull_Click() { MenuLevel_Click(AccelerationLevel::Full); }
    void MenuShow_Click();
    void MenuExit_Click();

    const std::optional<DeviceKeys>& device() const { return device_; }
    // What the slider's tooltip says now.
    const SliderTip& sliderTip() const { return tip_; }
    bool iconInNotificationArea() const { return iconShown_; }

private:
    void MenuLevel_Click(AccelerationLevel level);
    bool AddIcon();
    void Apply(int position);
    void Discover();
    void ShowLevel(std::optional<AccelerationLevel> level);
    void ShowLevelControls(WriteRefusal refusal, const DeviceName& name,
                           std::uint32_t otherDevices);

    FormWindow& window_;
    RegistryApi& registry_;
    std::optional<DeviceKeys> device_;  // mixerKeyPath and presenceKeyPath of the device
    // What the window shows; nothing before the first discovery.
    bool discovered_ = false;
    std::optional<AccelerationLevel> level_;  // by the slider and the check marks
    bool enabled_ = false;                    // the level controls
    SliderTip tip_;
    bool iconShown_ = false;
};

}  // namespace quillaro
