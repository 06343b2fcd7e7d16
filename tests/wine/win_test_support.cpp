#include "win_test_support.h"

#include <oleacc.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <sstream>
#include <thread>
#include <utility>
#include <vector>

namespace quillaro::testing {

namespace {
double ReadTimeoutScale() {
    char text[32] = {};
    const DWORD length = GetEnvironmentVariableA("QUILLARO_TIMEOUT_SCALE", text, sizeof text);
    if (length == 0 || length >= sizeof text) return 1.0;
    char* end = nullptr;
    const double scale = std::strtod(text, &end);
    if (end == text || *end != '\0' || !(scale > 0.0) || scale > 1000.0) {
        std::fprintf(stderr, "QUILLARO_TIMEOUT_SCALE=%s is not a positive number; using 1\n", text);
        return 1.0;
    }
    return scale;
}
}  // namespace

double TimeoutScale() {
    static const double scale = ReadTimeoutScale();
    return scale;
}

std::chrono::milliseconds Scaled(std::chrono::milliseconds limit) {
    return std::chrono::milliseconds(
        static_cast<std::chrono::milliseconds::rep>(static_cast<double>(limit.count()) * TimeoutScale()));
}

DWORD WaitForObject(HANDLE object, std::chrono::milliseconds limit) {
    return WaitForSingleObject(object, static_cast<DWORD>(Scaled(limit).count()));
}

void PressKey(WORD virtualKey) {
    INPUT inputs[2] = {};
    for (INPUT& input : inputs) {
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = virtualKey;
    }
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof(INPUT));
}

namespace {
void SendMouse(DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}
}  // namespace

void ClickAt(POINT screen, bool right, int clicks) {
    // Clicks that follow earlier ones within the double-click time make a double-click: a
    // single click starts only once that time has passed, as a user's separate click would.
    static ULONGLONG lastClick = 0;
    const ULONGLONG separate = lastClick + GetDoubleClickTime() + 50;
    WaitUntil([&] { return GetTickCount64() > separate; });
    SetCursorPos(screen.x, screen.y);
    for (int i = 0; i < clicks; ++i) {
        SendMouse(right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN);
        SendMouse(right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP);
    }
    lastClick = GetTickCount64();
}

namespace {
constexpr char kTrayWindow[] = "__winex11_standalone_tray";
constexpr char kTrayIcon[] = "__winex11_tray_icon";
}  // namespace

int TrayIconCount() {
    HWND tray = FindWindowA(kTrayWindow, nullptr);
    if (!tray) return 0;
    int count = 0;
    for (HWND icon = FindWindowExA(tray, nullptr, kTrayIcon, nullptr); icon;
         icon = FindWindowExA(tray, icon, kTrayIcon, nullptr))
        if (IsWindowVisible(icon)) ++count;
    return count;
}

HWND FirstTrayIcon() {
    HWND tray = FindWindowA(kTrayWindow, nullptr);
    if (!tray) return nullptr;
    for (HWND icon = FindWindowExA(tray, nullptr, kTrayIcon, nullptr); icon;
         icon = FindWindowExA(tray, icon, kTrayIcon, nullptr))
        if (IsWindowVisible(icon)) return icon;
    return nullptr;
}

HWND OpenPopupMenu() {
    HWND menu = FindWindowA("#32768", nullptr);
    return menu && IsWindowVisible(menu) ? menu : nullptr;
}

bool WaitForMenuKeys(HWND owner) {
    return WaitUntil([&] { return GetForegroundWindow() == owner; });
}

namespace {

// Runs Wine's reg.exe with the arguments; its output, and whether it ended with status 0.
std::pair<std::string, bool> RunReg(const std::string& arguments) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return {{}, false};
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    std::string command = "reg.exe " + arguments;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
    // Read before anything else can set it; the output then says why reg.exe printed nothing.
    std::string output = started ? "" : "not started, error " + std::to_string(GetLastError()) + ": ";
    CloseHandle(writeEnd);
    // Read whether it started or not: a Wine process that ends before its start-up completes
    // fails the start, and what its loader wrote here says why. Once it has ended, nothing
    // holds the pipe open.
    char buffer[512];
    DWORD read = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &read, nullptr) && read > 0)
        output.append(buffer, read);
    DWORD status = 1;
    if (started) {
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &status);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(readEnd);
    return {output, started && status == 0};
}

}  // namespace

long long RegQueryDword(const std::string& keyPath, const std::string& valueName) {
    const auto [output, ran] =
        RunReg("query \"HKLM\\" + keyPath + "\" /v \"" + valueName + "\"");
    // A line such as "    Acceleration    REG_DWORD    0x8".
    std::istringstream lines(output);
    std::string name, type, number;
    while (lines >> name) {
        if (name != valueName) continue;
        if (lines >> type >> number && type == "REG_DWORD")
            return std::strtoll(number.c_str(), nullptr, 16);
    }
    // What reg.exe said, for a failure that names no reason of its own.
    std::fprintf(stderr, "reg query %s: %s, output [%s]\n", valueName.c_str(),
                 ran ? "exit 0" : "failed", output.c_str());
    return -1;
}

bool RegAddDword(const std::string& keyPath, const std::string& valueName, unsigned long value) {
    return RunReg("add \"HKLM\\" + keyPath + "\" /v \"" + valueName + "\" /t REG_DWORD /d " +
                  std::to_string(value) + " /f")
        .second;
}

namespace {

// What the screen shows of a window's client area, as 0xRRGGBB pixels, row by row.
std::vector<std::uint32_t> CaptureClient(HWND window, int width, int height) {
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY);
    SelectObject(memory, previous);
    GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    for (std::uint32_t& pixel : pixels) pixel &= 0xFFFFFF;
    return pixels;
}

}  // namespace

std::vector<MenuRow> ReadMenu(HWND popup, int items) {
    RECT client{};
    GetClientRect(popup, &client);
    const int width = client.right;
    const int height = client.bottom;
    if (width <= 2 || height <= 0 || items <= 0) return {};

    // Inside the menu's one-pixel frame, each item is a band of lines with text on the line's
    // background (the highlight for a selected item), and left of the text a check mark if the
    // item has one.
    constexpr int kFrame = 1;
    const int margin = std::min(kFrame + GetSystemMetrics(SM_CXMENUCHECK), width - kFrame);
    std::vector<std::uint32_t> pixels;
    auto differs = [&](int y, int left, int right) {
        const std::uint32_t* line = pixels.data() + static_cast<std::size_t>(y) * width;
        int count = 0;
        for (int x = left; x < right; ++x) count += line[x] != line[width - kFrame - 1];
        return count;
    };
    std::vector<std::pair<int, int>> bands;  // [first, last] line of each item's text
    auto findBands = [&] {
        bands.clear();
        for (int y = kFrame; y < height - kFrame; ++y) {
            if (!differs(y, margin, width - kFrame)) continue;
            if (!bands.empty() && bands.back().second == y - 1)
                bands.back().second = y;
            else
                bands.emplace_back(y, y);
        }
        return static_cast<int>(bands.size()) == items;
    };
    // A menu that has just opened may not be painted yet: wait until every item shows its text.
    // The screen is read from X, where on a loaded machine Wine's tray window can stay above
    // the menu although Windows' order has the menu first (Wine notes, section n): the menu is
    // raised before every look.
    if (!WaitUntil([&] {
            SetWindowPos(popup, HWND_TOPMOST, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
            pixels = CaptureClient(popup, width, height);
            return findBands();
        }))
        return {};
    POINT origin{0, 0};
    ClientToScreen(popup, &origin);
    std::vector<MenuRow> rows;
    for (const auto& [first, last] : bands) {
        int drawn = 0;
        for (int y = first; y <= last; ++y) drawn += differs(y, kFrame, margin);
        rows.push_back({drawn >= 4, {origin.x + width / 2, origin.y + (first + last) / 2}});
    }
    return rows;
}

void PrintTo(const Heard& heard, std::ostream* out) {
    *out << "{" << heard.name << " | " << heard.value << " | " << heard.description << "}";
}

namespace {
std::string Narrow(BSTR text) {
    char narrow[1024] = {};
    if (text) WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof narrow - 1, nullptr, nullptr);
    SysFreeString(text);
    return narrow;
}
}  // namespace

std::optional<Heard> Hear(HWND slider) {
    std::optional<Heard> heard;
    std::atomic<bool> done{false};
    std::thread reader([&] {
        // Without COM in the asking thread, AccessibleObjectFromWindow fails (0x800401F0).
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        IAccessible* object = nullptr;
        // Wine answers E_FAIL for a while to questions asked in quick succession: ask at a pace.
        const auto deadline = std::chrono::steady_clock::now() + Scaled(std::chrono::seconds(10));
        // __uuidof: linked with oleacc, IID_IAccessible names the library's import, not the IID.
        while (FAILED(AccessibleObjectFromWindow(slider, OBJID_CLIENT, __uuidof(IAccessible),
                                                 reinterpret_cast<void**>(&object))) &&
               std::chrono::steady_clock::now() < deadline)
            Sleep(200);
        if (object) {
            VARIANT self{};
            self.vt = VT_I4;
            self.lVal = CHILDID_SELF;
            BSTR name = nullptr, value = nullptr, description = nullptr;
            object->get_accName(self, &name);
            object->get_accValue(self, &value);
            object->get_accDescription(self, &description);
            heard = Heard{Narrow(name), Narrow(value), Narrow(description)};
            object->Release();
        }
        CoUninitialize();
        done = true;
    });
    PumpUntil([&] { return done.load(); }, std::chrono::seconds(20));
    reader.join();
    return heard;
}

}  // namespace quillaro::testing
