// A model SCSI device for tests: a table of answers, one per kind of command,
// matched against the command block. Reached either through ModelAccessor (a
// transport handed to the device object) or through FakeDeviceIoControl (the
// system's pass-through request answered inside Dravik.dll).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "ScsiTypes.h"

namespace scsi {
namespace test {

typedef std::vector<std::uint8_t> Bytes;

// One row of the model's table.
struct ModelAnswer {
    // Command blocks that start with these bytes; empty matches every block.
    Bytes match;
    // SCSI status byte (0 GOOD, 2 CHECK CONDITION, 8 BUSY, ...).
    std::uint8_t status = 0;
    // Sense bytes the device returns.
    Bytes sense;
    // Data the device returns on a data-in command (cut to what fits).
    Bytes data;
    // Bytes reported as transferred; -1: min(data size, dataLen) on data-in,
    // dataLen on data-out, 0 without data.
    std::int64_t transferred = -1;
    // Sense length the driver reports; -1: the number of sense bytes. Lets a
    // test report more than the transport offered.
    int reportedSenseLength = -1;
    // Number of commands this row answers; 0: any number.
    unsigned int uses = 0;
    // A failing transport instead of an answer: 0 none; 3 the request fails
    // with `transportDetail` as the system error; 4 host adapter error and
    // 5 time-out (ModelAccessor only).
    int transportCode = 0;
    std::uint32_t transportDetail = 0;

    // Builders for the common rows.
    static ModelAnswer good(const Bytes& match, const Bytes& data = Bytes());
    static ModelAnswer checkCondition(const Bytes& match, const Bytes& sense);
    static ModelAnswer transportFailure(const Bytes& match, int code, std::uint32_t detail);
    // The same row, answering only `n` commands.
    ModelAnswer times(unsigned int n) const {
        ModelAnswer a(*this);
        a.uses = n;
        return a;
    }
};

// Sense bytes: fixed format (70h) of `length` bytes (at least 14 holds key,
// ASC and ASCQ) and descriptor format (72h).
Bytes fixedSense(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq, std::size_t length = 18);
Bytes descriptorSense(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq, std::size_t length = 8);

// A command as the device received it.
struct ModelCommand {
    Bytes cdb;
    std::uint32_t dataLen = 0;
    DXFER_DIRECTION direction = DXFER_NONE;
    // Milliseconds through ModelAccessor, seconds through FakeDeviceIoControl.
    std::uint32_t timeout = 0;
    // The dataLen bytes handed over with the command, whatever the direction.
    Bytes dataSent;
};

// What the device answers to one command.
struct ModelOutcome {
    int transportCode = 0;
    std::uint32_t transportDetail = 0;
    std::uint8_t status = 0;
    Bytes sense;
    int reportedSenseLength = 0;
    std::uint32_t transferred = 0;
};

class ModelScsiDevice {
public:
    ModelScsiDevice();

    // Adds a row; rows are tried in the order added, spent rows are skipped.
    ModelScsiDevice& on(const ModelAnswer& answer);
    // The answer when no row matches; CHECK CONDITION, ILLEGAL REQUEST,
    // INVALID COMMAND OPERATION CODE unless set.
    void setDefault(const ModelAnswer& answer) { defaultAnswer_ = answer; }
    void clearAnswers() {
        answers_.clear();
        used_.clear();
    }

    // Runs one command: records it, finds its row, writes the returned data
    // into `dataArea` (at most `dataAreaSize` bytes) and tells the outcome.
    ModelOutcome execute(const std::uint8_t* cdb, std::uint32_t cdbLen, const std::uint8_t* dataSent,
                         std::uint8_t* dataArea, std::uint32_t dataAreaSize, std::uint32_t dataLen,
                         DXFER_DIRECTION direction, std::uint32_t timeout);

    const std::vector<ModelCommand>& commands() const { return commands_; }
    const ModelCommand& lastCommand() const { return commands_.back(); }
    void clearCommands() { commands_.clear(); }

    // Properties of the transport in front of the device.
    bool hasAddress = false;
    scsi_idlun address = {0, 0, 0, 0};
    std::uint32_t addressError = 50;  // system error of a failed address request
    bool emulated = false;
    unsigned int maxTransfer = 0x10000;
    bool errorTexts = true;  // ModelAccessor answers its driver and host error texts
    // ModelAccessor writes only the bytes that arrived into the caller's
    // buffer and leaves the rest as the caller had it, as a loaded accessor
    // may. A device that promises zeros past the answer must write them
    // itself. (The system's pass-through always zeroes the rest.)
    bool leavesCallerBytes = false;
    // Test accessors alive on this device (ModelAccessor and its clones).
    int accessorsAlive = 0;

    // When set, makes the answer to every command instead of the table.
    std::function<ModelAnswer(const ModelCommand&)> generator;

private:
    std::vector<ModelAnswer> answers_;
    std::vector<unsigned int> used_;
    ModelAnswer defaultAnswer_;
    std::vector<ModelCommand> commands_;
};

typedef std::shared_ptr<ModelScsiDevice> ModelDevicePtr;

}  // namespace test
}  // namespace scsi
