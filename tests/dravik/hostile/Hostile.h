// Hostile device answers for every parser of the library. A seeded generator
// answers each command through the model device: transferred lengths from 0
// to the request (and beyond), length fields of the answer set to the edges
// (0, 1, what arrived ± 1, a descriptor ± 1, the field's maximum), random
// status and sense bytes. Everything runs on the guarded heap (see main.cpp),
// so a read or write outside the bytes that arrived or the caller's buffer
// faults at once.
//
// A failure names the method, the road and the case's seed; run the program
// with --replay=<case seed> to run that case alone. --seed=<n> starts another
// series, --answers=<n> sets the cases per method and road for longer runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ModelRoads.h"
#include "ModelScsiDevice.h"
#include "ScsiMMCDevice.h"
#include "ScsiSBCDevice.h"

namespace hostile {

// Options of the run (set from the command line).
struct RunOptions {
    std::uint32_t seed = 20261210;
    unsigned answers = 400;  // answers per method and road
    std::uint32_t replay = 0;  // when set: only the case of this seed
};
RunOptions& options();

// Names the case that runs, for the report of a fault; empty between cases.
void setCurrentCase(const std::string& text);
// Prints the current case when the process faults (an access violation),
// before the system's crash report.
void reportFaultsOfCases();

// What one command got from the generator.
struct Answered {
    std::uint8_t opcode = 0;
    std::uint32_t arrived = 0;  // bytes that reached the caller (all of them when not GOOD)
};

// A length field of an answer: its offset, width in bytes (1, 2 or 4), the
// bytes in front of what it counts, and the size of the descriptors it counts.
struct LengthField {
    unsigned offset;
    unsigned width;
    unsigned counted;  // the field's value counts the bytes after this offset
    unsigned descriptor;
};

class Generator {
public:
    explicit Generator(std::uint32_t seed) : random_(seed) {}

    // The answer to one command: made from the length fields the command's
    // operation code has (or every header place when it has none listed).
    scsi::test::ModelAnswer answer(const scsi::test::ModelCommand& command);

    const std::vector<Answered>& answered() const { return answered_; }
    unsigned pick(unsigned bound) { return bound ? unsigned(random_() % bound) : 0; }

private:
    std::uint32_t edgeValue(const LengthField& field, std::uint32_t size);
    scsi::test::Bytes sense();

    std::mt19937 random_;
    std::vector<Answered> answered_;
};

// Runs `body` once per answer case on both roads, each with a fresh model
// device whose every answer comes from a generator seeded for that case. The
// body calls the method and checks what must hold for every answer.
typedef std::function<void(scsi::test::ModelRoad& road, Generator& generator)> CaseBody;
void forEachAnswer(const char* method, const CaseBody& body);

// One method under test: its name for the report and the call, with the
// checks that must hold for every answer.
template <class Device>
struct MethodCase {
    const char* name;
    std::function<void(Device&, Generator&)> call;
};

// Runs each of `methods` through forEachAnswer on a `Made` device from the
// road, then `afterwards` on that device: what it keeps must stay usable.
template <class Made, class Device, std::size_t N>
void forEachMethod(const MethodCase<Device> (&methods)[N], const std::function<void(Made&)>& afterwards) {
    for (const MethodCase<Device>& method : methods) {
        forEachAnswer(method.name, [&](scsi::test::ModelRoad& road, Generator& g) {
            std::unique_ptr<Made> device = road.template make<Made>();
            method.call(*device, g);
            afterwards(*device);
        });
    }
}

// One of `lengths`, picked by the generator.
inline std::uint32_t lengthOf(Generator& generator, std::initializer_list<std::uint32_t> lengths) {
    return *(lengths.begin() + generator.pick(unsigned(lengths.size())));
}

// A block-command device that the roads can make (from a transport, through a
// primary-command device, or from a handle).
struct SbcDeviceOnModel : scsi::ScsiSBCDevice {
    explicit SbcDeviceOnModel(scsi::AccessorTransfer accessor)
        : scsi::ScsiSBCDevice(scsi::ScsiSPCDevice(std::move(accessor))) {}
    explicit SbcDeviceOnModel(const qln::SharedFileHandle& handle) : scsi::ScsiSBCDevice(handle) {}
};

// A multimedia device that the roads can make, built from a primary-command
// device as its users build it.
struct MmcDeviceOnModel : scsi::ScsiMMCDevice {
    explicit MmcDeviceOnModel(scsi::AccessorTransfer accessor)
        : scsi::ScsiMMCDevice(lvalue(scsi::ScsiSPCDevice(std::move(accessor)))) {}
    explicit MmcDeviceOnModel(const qln::SharedFileHandle& handle)
        : scsi::ScsiMMCDevice(lvalue(scsi::ScsiSPCDevice(handle))) {}

private:
    static scsi::ScsiSPCDevice& lvalue(scsi::ScsiSPCDevice&& device) { return device; }
};

// Bytes that arrived for the commands of `opcode`: the most of any of them.
std::uint32_t mostArrived(const Generator& generator, std::uint8_t opcode);

// Whole descriptors of `size` bytes after a header of `header` bytes.
inline std::uint32_t wholeDescriptors(std::uint32_t arrived, std::uint32_t header, std::uint32_t size) {
    return arrived > header ? (arrived - header) / size : 0;
}

}  // namespace hostile
