// Measures how the running program follows the registry: the time from another process's
// write to the slider showing it, and the processor time the program uses while it waits in the
// notification area with nothing changing, next to a bare program that only shows a window over
// the same seconds: what that one uses is the noise of the machine and Wine.
// Usage: follow_bench Quillaro.exe bare_window.exe [writes] [idle seconds]
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "seeded_registry.h"

namespace {

using quillaro::testing::SeededRegistry;

std::string WindowsPath(std::string path) {
    if (!path.empty() && path.front() == '/') path = "Z:" + path;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

double Now() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return 1000.0 * double(counter.QuadPart) / double(frequency.QuadPart);
}

// Polls until done() holds or ten seconds have passed; false on time-out.
template <typename Done>
bool Await(Done done) {
    const double deadline = Now() + 10000;
    while (!done())
        if (Now() > deadline) return false;
    return true;
}

double CpuMilliseconds(HANDLE process) {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return -1;
    auto ms = [](FILETIME t) {
        return double((ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
    };
    return ms(kernel) + ms(user);
}

PROCESS_INFORMATION Start(const char* exe) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string command = "\"" + WindowsPath(exe) + "\"";
    CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                   &process);
    return process;
}

void Close(const PROCESS_INFORMATION& process, HWND window) {
    PostMessageA(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 5000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: follow_bench Quillaro.exe bare_window.exe [writes] [idle seconds]\n");
        return 2;
    }
    const int writes = argc > 3 ? std::atoi(argv[3]) : 20;
    const int idleSeconds = argc > 4 ? std::atoi(argv[4]) : 60;
    SeededRegistry seeded;
    const std::string instance = seeded.AddDevice("VEN_1274&DEV_5880", "3&61aaa01&0&28", {8, 1, 1});
    const std::string mixer = SeededRegistry::MixerPath(instance);

    const PROCESS_INFORMATION process = Start(argv[1]);
    const PROCESS_INFORMATION bare = Start(argv[2]);
    if (!process.hProcess || !bare.hProcess) return 1;
    HWND window = nullptr, slider = nullptr;
    if (!Await([&] {
            window = FindWindowA("QuillaroForm1", nullptr);
            return window && IsWindowVisible(window);
        }))
        return 1;
    slider = FindWindowExA(window, nullptr, TRACKBAR_CLASSA, nullptr);
    auto position = [&] { return SendMessageA(slider, TBM_GETPOS, 0, 0); };

    // Another process stores Basic and Standard in turn; each time, the moment the slider shows it.
    std::vector<double> latencies;
    for (int i = 0; i < writes; ++i) {
        const bool basic = i % 2 == 0;
        const double start = Now();
        SeededRegistry::SetDword(mixer, "Acceleration", basic ? 15 : 8);
        if (!Await([&] { return position() == (basic ? 1 : 2); })) {
            std::fprintf(stderr, "the slider did not follow write %d\n", i);
            return 1;
        }
        latencies.push_back(Now() - start);
        Sleep(50);  // the program settles before the next write
    }
    std::sort(latencies.begin(), latencies.end());
    std::printf("another process's write to the slider showing it, median of %d: %.1f ms (max %.1f ms)\n",
                writes, latencies[latencies.size() / 2], latencies.back());

    // In the notification area, nothing changing.
    PostMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    if (!Await([&] { return !IsWindowVisible(window); })) return 1;
    HWND bareWindow = nullptr;
    if (!Await([&] { return (bareWindow = FindWindowA("BareWindow", nullptr)) != nullptr; })) return 1;
    Sleep(1000);
    const double before = CpuMilliseconds(process.hProcess);
    const double bareBefore = CpuMilliseconds(bare.hProcess);
    Sleep(static_cast<DWORD>(idleSeconds) * 1000);
    const double used = CpuMilliseconds(process.hProcess) - before;
    const double bareUsed = CpuMilliseconds(bare.hProcess) - bareBefore;
    std::printf("processor time over %d s idle: Quillaro in the notification area %.0f ms, "
                "a bare window %.0f ms\n", idleSeconds, used, bareUsed);

    Close(process, window);
    Close(bare, bareWindow);
    return 0;
}
