// What the installer waits for: the host stack of every action, a process
// scan of IsProcessRunning and the storage device-set enumeration that the
// plug-in carries. Run through tools/bench.sh.
#define PSAPI_VERSION 2
#include <windows.h>
#include <psapi.h>

#include <string>
#include <vector>

#include "BenchTable.h"
#include "HostInterface.h"
#include "InstallerHost.h"
#include "TestDevices.h"
#include "WindowsDeviceSet.h"

namespace {

void hostStack(bench::Table& table) {
    kestrine::test::InstallerHost host;
    kestrine::enterAction(host.stringSize(), host.variables(),
                          reinterpret_cast<kestrine::HostStackNode**>(host.head()));
    wchar_t parameter[kestrine::kParameterUnits];
    table.run("host stack push and pop of a 30-unit text", table.count(500000), [&] {
        kestrine::pushString(L"C:\\Program Files\\Quillon\\x.exe");
        bench::keep(static_cast<unsigned long long>(kestrine::popString(parameter)));
    });
}

unsigned runningProcesses() {
    std::vector<DWORD> ids(4096);
    DWORD used = 0;
    if (!EnumProcesses(ids.data(), DWORD(ids.size() * sizeof(DWORD)), &used))
        return 0;
    return unsigned(used / sizeof(DWORD));
}

void processScan(bench::Table& table) {
    kestrine::test::PluginModule plugin;
    kestrine::test::PluginAction isRunning = plugin.action("IsProcessRunning");
    if (isRunning == nullptr) {
        table.info("skipped", "IsProcessRunning: Kestrine.dll not loaded");
        return;
    }
    kestrine::test::InstallerHost host;
    std::wstring answer;
    table.run("IsProcessRunning of a path that does not run", table.count(200), [&] {
        host.push(L"C:\\Program Files\\Quillon\\not-running.exe");
        host.call(isRunning);
        answer = host.pop();
    }, 0, std::to_string(runningProcesses()) + " processes");
    if (answer != L"false")
        table.info("unexpected", "IsProcessRunning did not answer \"false\"");
}

void deviceEnumeration(bench::Table& table) {
    const unsigned kDevices = 24;
    qln::test::TestDevices devices;
    for (unsigned i = 0; i < kDevices; ++i) {
        const std::wstring id = devices.addDevice(L"BENCHDISK\\" + std::to_wstring(i),
                                                  libFennick::DEVCLASS_DISKDRIVE, L"Bench disk",
                                                  L"Bench disk");
        if (id.empty() || devices.addInterface(id, libFennick::DEVINTERFACE_DISK).empty()) {
            table.info("skipped", "device enumeration: test devices could not be made");
            return;
        }
    }
    libFennick::WindowsDeviceList found;
    libFennick::enumerateClassDevices(found, &libFennick::DEVCLASS_DISKDRIVE,
                                      &libFennick::DEVINTERFACE_DISK, 0, 0);
    const unsigned listed = unsigned(found.size());
    const unsigned count = table.count(50);
    const double perEnumeration = table.run(
        "enumerateClassDevices, disk class and interface", count, [&] {
            libFennick::WindowsDeviceList list;
            libFennick::enumerateClassDevices(list, &libFennick::DEVCLASS_DISKDRIVE,
                                              &libFennick::DEVINTERFACE_DISK, 0, 0);
            bench::keep(list.size());
        }, 0, std::to_string(listed) + " devices");
    if (listed > 0)
        table.info("device enumeration",
                   std::to_string(int(perEnumeration / listed)) + " ns per device");
}

}  // namespace

int main(int argc, char** argv) {
    bench::Table table(argc, argv);
    hostStack(table);
    processScan(table);
    deviceEnumeration(table);
    return 0;
}
