// The main window on Win32: builds the controls and the menu, turns window messages into the
// Form1 handlers and the handlers' requests into Win32 calls.
#pragma once

#include <windows.h>

#include "com_apartment.h"
#include "control_tooltip.h"
#include "form1.h"
#include "library_search.h"
#include "registry_api.h"
#include "slider_accessible.h"
#include "sys_tray.h"
#include "win32_handles.h"

namespace quillaro::win32 {

// Command identifiers of the menu items, in menu order.
enum MenuCommand : UINT {
    MenuOff = 101,
    MenuBasic,
    MenuStandard,
    MenuFull,
    MenuShow,
    MenuExit,
};

// Control identifiers, in creation order.
enum ControlId : int { Slider1 = 201, Label5, Label4, Label3, Label2, Label1 };

inline constexpr char kWindowClass[] = "QuillaroForm1";
inline constexpr char kCaption[] = "Quillaro - Brask";

class Form1Window final : public FormWindow, public SliderFacts {
public:
    // The slider's accessible object, which screen readers may hold longer than the window
    // lives, and the apartment it is handed over through, to be left after the window is gone.
    Form1Window(HINSTANCE instance, RegistryApi& registry, SliderAccessible& accessible,
                ComApartment& com);
    Form1Window(const Form1Window&) = delete;
    Form1Window& operator=(const Form1Window&) = delete;
    ~Form1Window();

    // Creates the window and runs its Load; the window is not shown yet. False when the
    // window, a control, a font or the menu could not be made: the program must not go on.
    bool Create();
    // Shows the window at the platform's default position with the slider focused; a hidden
    // show command puts the program in the notification area instead.
    void ShowFirstTime(int showCommand);

    HWND hwnd() const { return hwnd_; }
    HWND slider() const { return slider_; }
    HMENU menu() const { return menu_.get(); }
    Form1& form() { return form_; }

    // FormWindow
    int SliderValue() const override;
    void SetSliderValue(int position) override;
    void SetChecked(AccelerationLevel level, bool checked) override;
    void SetLevelControls(bool enabled, const char* tip) override;
    WindowState State() const override;
    bool Visible() const override;
    void SetStateNormal() override;
    void Hide() override;
    void Show() override;
    void ShowMinimized() override;
    void Activate() override;
    void PopupMenu() override;
    void FillTrayIconData() override;
    bool NotifyIcon(TrayMessage message) override;
    void Unload() override;

    // SliderFacts
    const char* AccessibleText(SliderFact fact) const override;

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK SliderProc(HWND slider, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    bool CreateControls();
    bool CreateFonts();
    bool CreateMenu();
    void OnCommand(UINT command);
    void OnScroll(int code);
    void PlaceNormal(UINT showCommand);
    int Pixels(int twips) const { return MulDiv(twips, dpi_, 1440); }

    HINSTANCE instance_;
    // The library of the slider's class, loaded while the window lives.
    UniqueLibrary commonControls_;
    Form1 form_;
    SysTray sysTray_;
    HWND hwnd_ = nullptr;
    HWND slider_ = nullptr;
    WNDPROC trackbarProc_ = nullptr;  // the slider's own window procedure
    int dpi_ = 96;
    UINT taskbarCreated_ = 0;
    UINT showRequest_ = 0;
    bool firstShown_ = false;  // show requests are answered from then on
    int lastTrackPosition_ = -1;
    UniqueMenu menu_;
    UniqueFont font_;
    UniqueFont boldFont_;
    UniqueIcon bigIcon_;
    UniqueIcon smallIcon_;
    ControlTooltip sliderTip_;  // names the device, or says why the slider is greyed
    SliderAccessible& accessible_;
};

// Registers the window class; once per process.
bool RegisterForm1Class(HINSTANCE instance);

}  // namespace quillaro::win32
