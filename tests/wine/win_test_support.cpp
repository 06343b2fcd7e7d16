#include "win_test_support.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>
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

long long RegQueryDword(const std::string& keyPath, const std::string& valueName) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return -1;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    std::string command = "reg.exe query \"HKLM\\" + keyPath + "\" /v \"" + valueName + "\"";
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
    CloseHandle(writeEnd);
    std::string output;
    if (started) {
        char buffer[512];
        DWORD read = 0;
        while (ReadFile(readEnd, buffer, sizeof buffer, &read, nullptr) && read > 0)
            output.append(buffer, read);
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(readEnd);
    // A line such as "    Acceleration    REG_DWORD    0x8".
    std::istringstream lines(output);
    std::string name, type, number;
    while (lines >> name) {
        if (name != valueName) continue;
        if (lines >> type >> number && type == "REG_DWORD")
            return std::strtoll(number.c_str(), nullptr, 16);
    }
    return -1;
}

}  // namespace quillaro::testing
