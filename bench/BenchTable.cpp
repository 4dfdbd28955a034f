#include "BenchTable.h"

#include <cstdio>
#include <cstring>

namespace bench {

namespace {

volatile unsigned long long g_kept;

const char* wineVersion() {
    typedef const char*(__cdecl * VersionFunction)();
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    VersionFunction version =
        ntdll ? reinterpret_cast<VersionFunction>(
                    reinterpret_cast<void*>(GetProcAddress(ntdll, "wine_get_version")))
              : nullptr;
    return version ? version() : "none (Windows)";
}

}  // namespace

Table::Table(int argc, char** argv) : rounds_(5), quick_(false), ticksPerSecond_(1) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            quick_ = true;
            rounds_ = 1;
        }
    }
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    ticksPerSecond_ = double(frequency.QuadPart);

    SYSTEM_INFO system;
    GetNativeSystemInfo(&system);
    info("processors", std::to_string(system.dwNumberOfProcessors));
    info("wine", wineVersion());
    info("rounds", std::to_string(rounds_));
}

unsigned Table::count(unsigned full) const {
    return quick_ ? std::max(1u, full / 100) : full;
}

void Table::info(const char* key, const std::string& value) const {
    std::printf("info\t%d\t%s\t%s\n", int(sizeof(void*) * 8), key, value.c_str());
    std::fflush(stdout);
}

double Table::nanoseconds(long long ticks) const {
    return double(ticks) * 1e9 / ticksPerSecond_;
}

void Table::print(const std::string& operation, unsigned count, double median, double baseline,
                  const std::string& note) const {
    char ratio[32] = "-";
    if (baseline > 0)
        std::snprintf(ratio, sizeof(ratio), "%.2fx", median / baseline);
    std::printf("row\t%d\t%s\t%u\t%.1f\t%s\t%s\n", int(sizeof(void*) * 8), operation.c_str(),
                count, median, ratio, note.c_str());
    std::fflush(stdout);
}

void keep(const void* value) {
    g_kept = g_kept + reinterpret_cast<unsigned long long>(value);
}

void keep(unsigned long long value) {
    g_kept = g_kept + value;
}

}  // namespace bench
