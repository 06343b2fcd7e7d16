#include "form1_window.h"

#include <commctrl.h>

#include <array>
#include <string_view>

#include "resource.h"
#include "single_instance.h"

namespace quillaro::win32 {

namespace {

// Design sizes in twips (1/1440 inch).
constexpr int kClientWidth = 2730;
constexpr int kClientHeight = 1320;

// The trackbar places its thumb 2 pixels below its top edge, draws each tick mark 2 pixels below
// the thumb and 3 pixels long, and its focus rectangle along its bottom edge, at every display
// scale: that room is pixels, not twips. One free row keeps the ticks off the focus rectangle.
constexpr int kSliderTickRoom = 2 + 2 + 3 + 1 + 1;

// The longest thumb that leaves the tick marks their room in a slider this many pixels high.
int SliderThumbLength(int sliderHeight) {
    int length = sliderHeight - kSliderTickRoom;
    // The trackbar makes the thumb (length / 2) | 1 pixels wide. Wine's theme shrinks its thumb
    // image (15 pixels wide at 120 dpi, 17 at 144) to 11 or 13 pixels with gaps in the left
    // outline, so a thumb of those widths is made one step narrower.
    while (length > 0 && ((length / 2 | 1) == 11 || (length / 2 | 1) == 13)) --length;
    return length;
}

struct ControlLayout {
    int id;
    const char* caption;  // nullptr for the slider
    int left, top, width, height;
};

// The heading above the slider, which names what the slider sets.
constexpr char kHeading[] = "DirectX Sound Acceleration";

// In creation order.
constexpr std::array<ControlLayout, 6> kControls{{
    {Slider1, nullptr, 120, 480, 2415, 375},
    {Label5, kLevelNames[3], 2280, 960, 375, 255},
    {Label4, kLevelNames[2], 1320, 960, 735, 255},
    {Label3, kLevelNames[1], 720, 960, 495, 255},
    {Label2, kLevelNames[0], 240, 960, 255, 255},
    {Label1, kHeading, 120, 120, 2415, 255},
}};

// The slider's tooltip breaks its lines where the text does, and wraps only lines wider than
// this many twips (comctl32 shows a single line, cut at the first line break, without a width).
constexpr int kTipWidth = 3 * kClientWidth;

struct MenuEntry {
    MenuCommand command;
    const char* caption;
};

constexpr std::array<MenuEntry, 6> kMenu{{
    {MenuOff, "Acceleration Off"},
    {MenuBasic, "Basic Acceleration"},
    {MenuStandard, "Standard Acceleration"},
    {MenuFull, "Full Acceleration"},
    {MenuShow, "Show Quillaro"},
    {MenuExit, "Exit Quillaro"},
}};

UINT LevelCommand(AccelerationLevel level) { return MenuOff + static_cast<UINT>(level); }

constexpr DWORD kFrameStyle = WS_OVERLAPPEDWINDOW;

int CALLBACK FontFound(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool FontInstalled(HDC dc, std::string_view face) {
    LOGFONTA query{};
    query.lfCharSet = DEFAULT_CHARSET;
    face.copy(query.lfFaceName, LF_FACESIZE - 1);
    bool found = false;
    EnumFontFamiliesExA(dc, &query, FontFound, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

}  // namespace

bool RegisterForm1Class(HINSTANCE instance) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = Form1Window::WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    return RegisterClassExA(&windowClass) != 0 ||
           GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

Form1Window::Form1Window(HINSTANCE instance, RegistryApi& registry,
                         SliderAccessible& accessible, ComApartment& com)
    : instance_(instance), form_(*this, registry), accessible_(accessible) {
    accessible_.Serve(*this, com);
}

Form1Window::~Form1Window() {
    if (hwnd_) DestroyWindow(hwnd_);
}

bool Form1Window::Create() {
    using InitCommonControlsExFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    commonControls_ = LoadCommonControls();
    const auto initCommonControls =
        LibraryFunction<InitCommonControlsExFn>(commonControls_.get(), "InitCommonControlsEx");
    if (!initCommonControls) return false;
    const INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
    initCommonControls(&controls);
    {
        const ScreenDC screen;
        if (!screen) return false;
        dpi_ = GetDeviceCaps(screen.get(), LOGPIXELSX);
    }

    RECT frame{0, 0, Pixels(kClientWidth), Pixels(kClientHeight)};
    AdjustWindowRectEx(&frame, kFrameStyle, FALSE, 0);
    hwnd_ = CreateWindowExA(0, kWindowClass, kCaption, kFrameStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                            frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                            instance_, this);
    if (!hwnd_) return false;
    taskbarCreated_ = RegisterWindowMessageA("TaskbarCreated");
    showRequest_ = RegisterWindowMessageA(kShowRequestMessage);

    bigIcon_.reset(static_cast<HICON>(LoadImageA(instance_, MAKEINTRESOURCEA(IDI_QUILLARO),
                                                 IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                                 GetSystemMetrics(SM_CYICON), 0)));
    smallIcon_.reset(static_cast<HICON>(LoadImageA(instance_, MAKEINTRESOURCEA(IDI_QUILLARO),
                                                   IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                   GetSystemMetrics(SM_CYSMICON), 0)));
    SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.get()));
    SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));

    if (!CreateFonts() || !CreateControls() || !CreateMenu()) return false;
    // Without the tooltip the slider only loses its explanation: the window goes on.
    sliderTip_.Create(instance_, hwnd_, slider_, Pixels(kTipWidth));
    form_.Form_Load();
    return true;
}

bool Form1Window::CreateFonts() {
    // MS Sans Serif 8.25 pt where it is installed, else its TrueType successor, else the
    // closest widths to hand, so the fixed layout keeps every caption whole.
    // A table of its own: a list in the loop would be writable data, a section of the file.
    static constexpr const char* const kFaces[] = {"MS Sans Serif", "Microsoft Sans Serif",
                                                   "Tahoma", "Arial"};
    const char* face = kFaces[0];
    if (const ScreenDC screen{}) {
        for (const char* candidate : kFaces) {
            if (FontInstalled(screen.get(), candidate)) {
                face = candidate;
                break;
            }
        }
    }
    const int height = -MulDiv(825, dpi_, 72 * 100);
    auto make = [&](int weight) {
        return UniqueFont(CreateFontA(height, 0, 0, 0, weight, FALSE, FALSE, FALSE,
                                      ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                      DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, face));
    };
    font_ = make(FW_NORMAL);
    boldFont_ = make(FW_BOLD);
    return font_ && boldFont_;
}

bool Form1Window::CreateControls() {
    for (const ControlLayout& control : kControls) {
        const bool isSlider = control.caption == nullptr;
        const DWORD style = isSlider ? WS_CHILD | WS_VISIBLE | WS_TABSTOP | TBS_HORZ |
                                           TBS_BOTTOM | TBS_AUTOTICKS | TBS_FIXEDLENGTH
                                     : WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX;
        HWND child = CreateWindowExA(
            0, isSlider ? TRACKBAR_CLASSA : "STATIC", isSlider ? "" : control.caption, style,
            Pixels(control.left), Pixels(control.top), Pixels(control.width),
            Pixels(control.height), hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)),
            instance_, nullptr);
        if (!child) return false;
        HFONT font = control.id == Label1 ? boldFont_.get() : font_.get();
        SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (isSlider) slider_ = child;
        // Windows' accessible object names a control by the static text just before it in
        // z-order: the heading goes there, so the slider is named also where this program's
        // own object cannot be had. Only the slider takes the focus, so no tab order changes.
        if (control.id == Label1)
            SetWindowPos(child, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    // The slider's questions from screen readers are answered here; everything else goes on to
    // the trackbar.
    SetWindowLongPtrA(slider_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    trackbarProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(slider_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SliderProc)));
    if (!trackbarProc_) return false;
    SendMessageA(slider_, TBM_SETRANGE, FALSE, MAKELPARAM(0, kLevelCount - 1));
    SendMessageA(slider_, TBM_SETLINESIZE, 0, 1);
    SendMessageA(slider_, TBM_SETPAGESIZE, 0, 1);
    SendMessageA(slider_, TBM_SETTICFREQ, 1, 0);
    RECT sliderClient{};
    GetClientRect(slider_, &sliderClient);
    SendMessageA(slider_, TBM_SETTHUMBLENGTH, SliderThumbLength(sliderClient.bottom), 0);
    SendMessageA(slider_, TBM_SETPOS, TRUE, 0);
    return true;
}

bool Form1Window::CreateMenu() {
    menu_.reset(CreatePopupMenu());
    if (!menu_) return false;
    for (const MenuEntry& entry : kMenu)
        if (!AppendMenuA(menu_.get(), MF_STRING, entry.command, entry.caption)) return false;
    return true;
}

void Form1Window::ShowFirstTime(int showCommand) {
    // ShowWindow refuses a value it does not know, which would leave the window hidden with no
    // icon: such a start is an ordinary one.
    if (showCommand < SW_HIDE || showCommand > SW_MAX) showCommand = SW_SHOWNORMAL;
    if (showCommand == SW_HIDE) {
        // The window stays hidden. Windows may still hand the first show that follows the
        // starter's hide (a hide does not spend it); the show from the icon repeats itself.
        ShowWindow(hwnd_, SW_HIDE);
        form_.Form_HiddenStart();
    } else {
        ShowWindow(hwnd_, showCommand);
        form_.Form_FirstShown();
        UpdateWindow(hwnd_);
        SetFocus(slider_);
    }
    firstShown_ = true;
}

LRESULT CALLBACK Form1Window::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* creating = static_cast<Form1Window*>(
            reinterpret_cast<const CREATESTRUCTA*>(lParam)->lpCreateParams);
        creating->hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creating));
    }
    auto* self = reinterpret_cast<Form1Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcA(hwnd, message, wParam, lParam);
    return self->Handle(message, wParam, lParam);
}

LRESULT CALLBACK Form1Window::SliderProc(HWND slider, UINT message, WPARAM wParam,
                                         LPARAM lParam) {
    auto* self = reinterpret_cast<Form1Window*>(GetWindowLongPtrA(slider, GWLP_USERDATA));
    if (message == WM_GETOBJECT) {
        LRESULT answer = 0;
        if (self->accessible_.Answer(slider, wParam, lParam, answer)) return answer;
    } else if (message == WM_DESTROY) {
        self->accessible_.Disconnect();
    }
    return CallWindowProcA(self->trackbarProc_, slider, message, wParam, lParam);
}

LRESULT Form1Window::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SIZE:
            if (slider_) form_.Form_Resize();
            return 0;
        case WM_WINDOWPOSCHANGED:
            // Every route to a visible window passes here: ShowWindow, SetWindowPos and
            // SetWindowPlacement, from this program or from another one.
            if (reinterpret_cast<const WINDOWPOS*>(lParam)->flags & SWP_SHOWWINDOW)
                form_.Form_Shown();
            return DefWindowProcA(hwnd_, message, wParam, lParam);  // sends WM_SIZE and WM_MOVE
        case WM_MOUSEMOVE:
            form_.Form_MouseMove(static_cast<std::uint32_t>(lParam));
            return 0;
        case WM_HSCROLL:
            if (reinterpret_cast<HWND>(lParam) == slider_) OnScroll(LOWORD(wParam));
            return 0;
        case WM_COMMAND:
            if (HIWORD(wParam) == 0 && lParam == 0) OnCommand(LOWORD(wParam));
            return 0;
        case WM_ENTERIDLE:
            // The menu loop waits for input. A menu whose window is not the foreground one takes
            // no keys, and a click elsewhere does not close it. Wine can take the foreground away
            // inside the menu loop, when it reads the late focus-out of the window's hiding; ask
            // again. Windows grants it while the shell's permission from the click lasts, or
            // while the user works in the menu, and refuses it otherwise.
            if (wParam == MSGF_MENU && GetForegroundWindow() != hwnd_) SetForegroundWindow(hwnd_);
            return 0;
        case WM_ACTIVATE:
            // The slider is the only control that takes the focus.
            if (LOWORD(wParam) != WA_INACTIVE) SetFocus(slider_);
            return 0;
        case WM_DESTROY: {
            sliderTip_.OwnerDestroyed();
            form_.Form_Unload();
            HWND closing = hwnd_;
            hwnd_ = nullptr;
            SetWindowLongPtrA(closing, GWLP_USERDATA, 0);
            PostQuitMessage(0);
            return 0;
        }
        default:
            if (message == taskbarCreated_ && taskbarCreated_ != 0) {
                form_.Form_TaskbarCreated();
                return 0;
            }
            if (message == showRequest_ && showRequest_ != 0) {
                // Before the first show the asking start gets no answer and asks again.
                if (!firstShown_) return 0;
                form_.Form_ShowRequest();
                return kShowRequestDone;
            }
            return DefWindowProcA(hwnd_, message, wParam, lParam);
    }
}

void Form1Window::OnScroll(int code) {
    // Every move of the thumb by the user writes at once. The end-of-move notification and
    // drag updates that leave the thumb where it was write nothing new.
    const int position = SliderValue();
    if (code == TB_ENDTRACK) {
        lastTrackPosition_ = -1;
        return;
    }
    if ((code == TB_THUMBTRACK || code == TB_THUMBPOSITION) && position == lastTrackPosition_)
        return;
    lastTrackPosition_ = position;
    form_.Slider1_Scroll();
}

void Form1Window::OnCommand(UINT command) {
    switch (command) {
        case MenuOff: form_.MenuOff_Click(); break;
        case MenuBasic: form_.MenuBasic_Click(); break;
        case MenuStandard: form_.MenuStandard_Click(); break;
        case MenuFull: form_.MenuFull_Click(); break;
        case MenuShow: form_.MenuShow_Click(); break;
        case MenuExit: form_.MenuExit_Click(); break;
        default: break;
    }
}

int Form1Window::SliderValue() const {
    return static_cast<int>(SendMessageA(slider_, TBM_GETPOS, 0, 0));
}

void Form1Window::SetSliderValue(int position) {
    // TBM_SETPOS sends no scroll notification, so a position set here never writes.
    SendMessageA(slider_, TBM_SETPOS, TRUE, position);
    // The trackbar announces the moves the user makes; whether it announces a move made with
    // TBM_SETPOS is not documented (Wine's announces none), so screen readers are told here.
    NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, slider_, OBJID_CLIENT, CHILDID_SELF);
}

void Form1Window::SetChecked(AccelerationLevel level, bool checked) {
    CheckMenuItem(menu_.get(), LevelCommand(level),
                  MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void Form1Window::SetLevelControls(bool enabled, const char* tip) {
    EnableWindow(slider_, enabled);
    for (int level = 0; level < kLevelCount; ++level)
        EnableMenuItem(menu_.get(), LevelCommand(static_cast<AccelerationLevel>(level)),
                       MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
    // The icon's callbacks are mouse moves to row 0 (a mouse message in the low word), above the
    // slider at every scale (it starts 480 twips down), so they never bring up the tip.
    sliderTip_.Say(tip);
    // The tip is the slider's description to a screen reader, which reads it again when told.
    NotifyWinEvent(EVENT_OBJECT_DESCRIPTIONCHANGE, slider_, OBJID_CLIENT, CHILDID_SELF);
}

WindowState Form1Window::State() const {
    if (IsIconic(hwnd_)) return WindowState::Minimized;
    if (IsZoomed(hwnd_)) return WindowState::Maximized;
    return WindowState::Normal;
}

// The window comes back in its normal size, also when it was maximised before minimising.
void Form1Window::PlaceNormal(UINT showCommand) {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    GetWindowPlacement(hwnd_, &placement);
    placement.flags &= ~WPF_RESTORETOMAXIMIZED;
    placement.showCmd = showCommand;
    SetWindowPlacement(hwnd_, &placement);
}

bool Form1Window::Visible() const { return IsWindowVisible(hwnd_) != FALSE; }

void Form1Window::SetStateNormal() { PlaceNormal(IsWindowVisible(hwnd_) ? SW_SHOWNORMAL : SW_HIDE); }

void Form1Window::Hide() { ShowWindow(hwnd_, SW_HIDE); }

void Form1Window::Show() {
    PlaceNormal(SW_SHOWNORMAL);
    // Some window managers (Wine's among them) keep the restore-to-maximised flag of a window
    // minimised from the maximised state; bring it down to its normal size then.
    if (IsZoomed(hwnd_)) ShowWindow(hwnd_, SW_RESTORE);
    SetForegroundWindow(hwnd_);
}

void Form1Window::ShowMinimized() { ShowWindow(hwnd_, SW_SHOWMINNOACTIVE); }

void Form1Window::Activate() { SetForegroundWindow(hwnd_); }

void Form1Window::PopupMenu() {
    POINT pointer{};
    GetCursorPos(&pointer);
    // The menu closes when the user clicks elsewhere only if its owner is the foreground window.
    SetForegroundWindow(hwnd_);
    const UINT chosen =
        static_cast<UINT>(TrackPopupMenu(menu_.get(), TPM_LEFTALIGN | TPM_LEFTBUTTON |
                                                          TPM_RETURNCMD | TPM_NONOTIFY,
                                         pointer.x, pointer.y, 0, hwnd_, nullptr));
    PostMessageA(hwnd_, WM_NULL, 0, 0);
    if (chosen != 0) OnCommand(chosen);
}

void Form1Window::FillTrayIconData() { sysTray_.Fill(hwnd_, smallIcon_.get()); }

bool Form1Window::NotifyIcon(TrayMessage message) { return sysTray_.NotifyIcon(message); }

void Form1Window::Unload() {
    if (hwnd_) DestroyWindow(hwnd_);
}

// The slider is named by the heading above it, says its level by name, and is described by
// its tooltip.
const char* Form1Window::AccessibleText(SliderFact fact) const {
    if (fact == SliderFact::Name) return kHeading;
    if (fact == SliderFact::Description) return form_.sliderTip().c_str();
    const auto level = LevelAtPosition(SliderValue());
    return level ? kLevelNames[PositionOf(*level)] : "";
}

}  // namespace quillaro::win32
