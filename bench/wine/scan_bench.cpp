// Times the start-up scan over many devices in the real registry (Wine's, under Wine).
// Usage: scan_bench [devices] [rounds]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "seeded_registry.h"
#include "startup_scan.h"
#include "win32_registry.h"

int main(int argc, char** argv) {
    const int devices = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 10;
    quillaro::testing::SeededRegistry seeded;
    char name[64];
    for (int i = 0; i < devices; ++i) {
        std::snprintf(name, sizeof name, "VEN_%04X&DEV_%04X", 0x1000 + i % 64, i);
        // Most devices have no DirectSound settings; every tenth is a sound device.
        if (i % 10 == 9)
            seeded.AddDevice(name, "3&61aaa01&0&28", {8, 1, 1});
        else
            quillaro::testing::SeededRegistry::CreateKey(seeded.AddDeviceKey(name) + "\\3&61aaa01&0&28");
    }
    quillaro::Win32Registry registry;
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> times;
    for (int round = 0; round < rounds; ++round) {
        QueryPerformanceCounter(&start);
        const quillaro::ScanResult result = quillaro::ScanForDevice(registry);
        QueryPerformanceCounter(&end);
        if (!result.device) {
            std::fprintf(stderr, "no device found\n");
            return 1;
        }
        times.push_back(1000.0 * double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart));
    }
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    std::printf("scan of %d devices in Wine's registry, median of %d: %.2f ms (%.1f us per device)\n",
                devices, rounds, median, 1000.0 * median / devices);
    return 0;
}
