// What Dravik adds on the road of a command, in its code-to-text lookups and
// in its logging. Run through tools/bench.sh.
#include <windows.h>
#include <ntddscsi.h>

#include <cstring>
#include <string>
#include <vector>

#include "BenchTable.h"
#include "ImportPatch.h"
#include "InstantAccessor.h"
#include "ScsiDevice.h"
#include "ScsiDeviceAccessor.h"
#include "qln/Log.h"

using bench::InstantAccessor;
using scsi::ScsiDevice;

namespace {

// The listed ASC/ASCQ pairs (with the places the list marks unassigned) and
// vendor ids, from the tables the library is generated from.
struct AscPair {
    unsigned char asc;
    unsigned char ascq;
};
const AscPair kListedPairs[] = {
#define SCSI_ASC_ROW(asc, first, count)
#define SCSI_ASC_TEXT(asc, ascq, text) {asc, ascq},
#define SCSI_ASC_UNASSIGNED(asc, ascq) {asc, ascq},
#define SCSI_ASC_RANGE(asc, first, last, text)
#include "ScsiAscTable.inc"
#undef SCSI_ASC_ROW
#undef SCSI_ASC_TEXT
#undef SCSI_ASC_UNASSIGNED
#undef SCSI_ASC_RANGE
};
const char* const kVendorIds[] = {
#define SCSI_VENDOR(id, name) id,
#include "ScsiVendorTable.inc"
#undef SCSI_VENDOR
};

// The pass-through answered by a fake of Dravik.dll's DeviceIoControl: every
// request on the bench's handle completes with GOOD status and the whole
// transfer length, as a device that has the data ready.
HANDLE g_benchHandle = nullptr;
decltype(&DeviceIoControl) g_realDeviceIoControl = nullptr;

BOOL WINAPI fakeDeviceIoControl(HANDLE handle, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                                DWORD outSize, LPDWORD returned, LPOVERLAPPED overlapped) {
    if (handle != g_benchHandle)
        return g_realDeviceIoControl(handle, code, in, inSize, out, outSize, returned, overlapped);
    SCSI_PASS_THROUGH* header = static_cast<SCSI_PASS_THROUGH*>(out);
    header->ScsiStatus = 0;
    header->SenseInfoLength = 0;
    if (returned != nullptr)
        *returned = outSize;
    return TRUE;
}

void commandRoad(bench::Table& table) {
    unsigned char testUnitReady[6] = {0, 0, 0, 0, 0, 0};
    const unsigned count = table.count(2000000);

    InstantAccessor direct(false);
    scsi::command_result_info result = {};
    const double baseline = table.run("transport send_scsi_cmd, called directly", count, [&] {
        direct.sendDirect(testUnitReady, 6, result);
        bench::keep(result.result.code == scsi::CMD_RESULT_OK);
    });

    ScsiDevice device(scsi::AccessorTransfer(new InstantAccessor(false)));
    table.run("ScsiDevice::send_scsi_cmd, 6-byte block, no data", count, [&] {
        bench::keep(device.send_scsi_cmd(testUnitReady, 6, nullptr, 0, scsi::DXFER_NONE, 0));
    }, baseline);

    qln::test::ImportPatch patch(GetModuleHandleW(L"Dravik.dll"), "kernel32.dll",
                                 "DeviceIoControl", reinterpret_cast<void*>(&fakeDeviceIoControl));
    if (!patch.applied()) {
        table.info("skipped", "pass-through: DeviceIoControl of Dravik.dll not patched");
        return;
    }
    g_realDeviceIoControl = patch.originalAs<decltype(&DeviceIoControl)>();
    g_benchHandle = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ScsiDevice passThrough(qln::SharedFileHandle(static_cast<qln::Handle>(g_benchHandle)));
    table.run("pass-through send_scsi_cmd, 6-byte block, no data", count / 4, [&] {
        bench::keep(passThrough.send_scsi_cmd(testUnitReady, 6, nullptr, 0, scsi::DXFER_NONE, 0));
    });

    const unsigned kReadBytes = 64 * 1024;
    std::vector<unsigned char> data(kReadBytes);
    unsigned char read10[10] = {0x28, 0, 0, 0, 0, 0, 0, 0, 128, 0};
    const double readNs = table.run(
        "pass-through send_scsi_cmd, 64 KiB read", table.count(20000), [&] {
            bench::keep(passThrough.send_scsi_cmd(read10, 10, data.data(), kReadBytes,
                                                  scsi::DXFER_FROM_DEVICE, 0));
        });
    table.info("64 KiB read",
               std::to_string(kReadBytes) + " B to the caller per command, " +
                   std::to_string(int(kReadBytes / readNs * 1e3)) + " MB/s");
}

void codeToText(bench::Table& table) {
    const unsigned listed = sizeof(kListedPairs) / sizeof(kListedPairs[0]);
    // As many pairs that the list does not hold: assigned ASC values with
    // ASCQ values past the end of their rows.
    std::vector<AscPair> unlisted;
    for (unsigned asc = 0; asc < 0x80 && unlisted.size() < listed; ++asc) {
        for (unsigned ascq = 0x60; ascq < 0x80 && unlisted.size() < listed; ++ascq) {
            bool isListed = false;
            for (const AscPair& pair : kListedPairs)
                isListed = isListed || (pair.asc == asc && pair.ascq == ascq);
            if (!isListed)
                unlisted.push_back({static_cast<unsigned char>(asc), static_cast<unsigned char>(ascq)});
        }
    }
    const unsigned rounds = table.count(2000);
    table.run("getASCerrstr, " + std::to_string(listed) + " listed pairs", rounds * listed,
              [&, i = 0u]() mutable {
                  const AscPair& pair = kListedPairs[i++ % listed];
                  bench::keep(ScsiDevice::getASCerrstr(pair.asc, pair.ascq));
              });
    const unsigned misses = unsigned(unlisted.size());
    table.run("getASCerrstr, " + std::to_string(misses) + " unlisted pairs", rounds * misses,
              [&, i = 0u]() mutable {
                  const AscPair& pair = unlisted[i++ % misses];
                  bench::keep(ScsiDevice::getASCerrstr(pair.asc, pair.ascq));
              });

    const unsigned vendors = sizeof(kVendorIds) / sizeof(kVendorIds[0]);
    std::vector<std::string> missing;
    for (unsigned i = 0; i < vendors; ++i)
        missing.push_back("QLN" + std::to_string(10000 + i));
    table.run("xlateVendorID, " + std::to_string(vendors) + " listed ids", rounds * vendors,
              [&, i = 0u]() mutable { bench::keep(ScsiDevice::xlateVendorID(kVendorIds[i++ % vendors])); });
    table.run("xlateVendorID, " + std::to_string(vendors) + " unlisted ids", rounds * vendors,
              [&, i = 0u]() mutable {
                  bench::keep(ScsiDevice::xlateVendorID(missing[i++ % vendors].c_str()));
              });

    scsi::sense_info sense = {};
    sense.status = 2;
    sense.valid = 1;
    sense.senseKey = 5;
    sense.asc = 0x24;
    table.run("getSenseErrStr, with codes", table.count(200000), [&] {
        qln::Buffer<char> text = ScsiDevice::getSenseErrStr(sense, true);
        bench::keep(text.getLength());
    });

    ScsiDevice device(scsi::AccessorTransfer(new InstantAccessor(true)));
    unsigned char testUnitReady[6] = {0, 0, 0, 0, 0, 0};
    device.send_scsi_cmd(testUnitReady, 6, nullptr, 0, scsi::DXFER_NONE, 0);
    table.info("getLastErrStr line", device.getLastErrStr().getLowerByteString().c_str());
    table.run("getLastErrStr, CHECK CONDITION line", table.count(200000), [&] {
        qln::String text = device.getLastErrStr();
        bench::keep(text.size());
    });
}

// Takes every message and drops it.
class DiscardingSink : public qln::LogSink {
public:
    void write(const qln::String&, int, const qln::String& text) override {
        bench::keep(text.size());
    }
};

qln::Logger* s_benchLogger = nullptr;

void logging(bench::Table& table) {
    const unsigned count = table.count(5000000);
    unsigned opcode = 0x28;
    qln::LogFactory::resetPriorities(qln::LOG_WARN);
    table.run("log message below the priority (gated off)", count, [&] {
        QLN_LOG(s_benchLogger, "bench.Logging", qln::LOG_TRACE,
                "187 " + "SCSI command issued from opcode " + opcode++);
    });

    DiscardingSink sink;
    qln::LogSink* previous = qln::LogFactory::setSink(&sink);
    qln::LogFactory::resetPriorities(qln::LOG_TRACE);
    table.run("log message written to a discarding sink", count / 20, [&] {
        QLN_LOG(s_benchLogger, "bench.Logging", qln::LOG_TRACE,
                "187 " + "SCSI command issued from opcode " + opcode++);
    });
    qln::LogFactory::resetPriorities(qln::LOG_WARN);
    qln::LogFactory::setSink(previous);
}

}  // namespace

int main(int argc, char** argv) {
    bench::Table table(argc, argv);
    commandRoad(table);
    codeToText(table);
    logging(table);
    return 0;
}
