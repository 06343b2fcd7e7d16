// Measures, side by side, the time from starting a program to its window being shown: Quillaro
// (with one sound device in the registry) against a bare program that only opens a window.
// Usage: startup_bench Quillaro.exe bare_window.exe [rounds]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "seeded_registry.h"

namespace {

std::string WindowsPath(std::string path) {
    if (!path.empty() && path.front() == '/') path = "Z:" + path;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// Milliseconds from CreateProcess to a visible window of the class; -1 on failure.
double TimeToWindow(const std::string& exe, const char* windowClass) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::string command = "\"" + WindowsPath(exe) + "\"";
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return -1;
    double elapsed = -1;
    HWND window = nullptr;
    for (;;) {
        window = FindWindowA(windowClass, nullptr);
        QueryPerformanceCounter(&now);
        const double ms = 1000.0 * double(now.QuadPart - start.QuadPart) / double(frequency.QuadPart);
        if (window && IsWindowVisible(window)) {
            elapsed = ms;
            break;
        }
        if (ms > 10000) break;
        Sleep(0);
    }
    if (window) PostMessageA(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 5000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return elapsed;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: startup_bench Quillaro.exe bare_window.exe [rounds]\n");
        return 2;
    }
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 20;
    quillaro::testing::SeededRegistry seeded;
    seeded.AddDevice("VEN_1274&DEV_5880", "3&61aaa01&0&28", {8, 1, 1});

    // One untimed start of each warms the file cache and the shell.
    TimeToWindow(argv[1], "QuillaroForm1");
    TimeToWindow(argv[2], "BareWindow");
    std::vector<double> quillaro, bare;
    for (int i = 0; i < rounds; ++i) {  // alternating, so both see the same machine
        quillaro.push_back(TimeToWindow(argv[1], "QuillaroForm1"));
        bare.push_back(TimeToWindow(argv[2], "BareWindow"));
    }
    if (std::min(*std::min_element(quillaro.begin(), quillaro.end()),
                 *std::min_element(bare.begin(), bare.end())) < 0) {
        std::fprintf(stderr, "a window did not appear\n");
        return 1;
    }
    const double q = Median(quillaro), b = Median(bare);
    std::printf("start to window shown, median of %d: Quillaro %.1f ms, bare window %.1f ms, ratio %.2f\n",
                rounds, q, b, q / b);
    return 0;
}
