#include "Hostile.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

using scsi::test::Bytes;
using scsi::test::ModelAnswer;
using scsi::test::ModelCommand;

namespace hostile {

namespace {

// Length fields by operation code, as the answers of those commands carry them.
std::vector<LengthField> fieldsOf(const ModelCommand& command) {
    const std::uint8_t opcode = command.cdb.empty() ? 0 : command.cdb[0];
    const bool evpd = command.cdb.size() > 1 && (command.cdb[1] & 1) != 0;
    switch (opcode) {
    case 0x03:  // REQUEST SENSE
        return {{7, 1, 8, 1}};
    case 0x12:  // INQUIRY
        if (evpd)
            return {{2, 2, 4, 1}, {4 + 3, 1, 8, 1}};
        return {{4, 1, 5, 1}};
    case 0x1A:  // MODE SENSE(6)
        return {{0, 1, 1, 1}, {3, 1, 4, 8}, {4 + 1, 1, 6, 1}};
    case 0x5A:  // MODE SENSE(10)
        return {{0, 2, 2, 1}, {6, 2, 8, 8}, {8 + 1, 1, 10, 1}};
    case 0x4D:  // LOG SENSE
        return {{2, 2, 4, 1}, {4 + 3, 1, 8, 1}, {4 + 4 + 3, 1, 12, 4}};
    case 0xA0:  // REPORT LUNS
        return {{0, 4, 8, 8}};
    case 0xA3:  // REPORT SUPPORTED OPERATION CODES
        return {{0, 4, 4, 8}, {0, 4, 4, 20}};
    case 0x46:  // GET CONFIGURATION
        return {{0, 4, 4, 4}, {8 + 3, 1, 12, 4}};
    case 0x43:  // READ TOC/PMA/ATIP
        return {{0, 2, 2, 8}, {0, 2, 2, 11}};
    case 0xAC:  // GET PERFORMANCE
        return {{0, 4, 4, 16}, {0, 4, 4, 8}};
    case 0x23:  // READ FORMAT CAPACITIES
        return {{3, 1, 4, 8}};
    case 0x42:  // READ SUB-CHANNEL
        return {{2, 2, 4, 1}};
    case 0x51:  // READ DISC INFORMATION
    case 0x52:  // READ TRACK INFORMATION
    case 0x4A:  // GET EVENT STATUS NOTIFICATION
    case 0xAD:  // READ DISC STRUCTURE
    case 0xA4:  // REPORT KEY
    case 0x5C:  // READ BUFFER CAPACITY
        return {{0, 2, 2, 1}};
    default:
        return {{0, 1, 1, 1}, {0, 2, 2, 1}, {0, 4, 4, 1}, {3, 1, 4, 1}, {4, 1, 5, 1}};
    }
}

void put(Bytes& data, const LengthField& field, std::uint32_t value) {
    for (unsigned i = 0; i < field.width; ++i) {
        const unsigned at = field.offset + i;
        if (at < data.size())
            data[at] = std::uint8_t(value >> (8 * (field.width - 1 - i)));
    }
}

char g_currentCase[256];

LONG CALLBACK reportFault(EXCEPTION_POINTERS* exception) {
    if (exception->ExceptionRecord->ExceptionCode == EXCEPTION_ACCESS_VIOLATION &&
        g_currentCase[0] != '\0') {
        std::fprintf(stderr, "\nFAULT (access violation) in %s\n", g_currentCase);
        std::fflush(stderr);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

void setCurrentCase(const std::string& text) {
    std::snprintf(g_currentCase, sizeof(g_currentCase), "%s", text.c_str());
}

void reportFaultsOfCases() {
    AddVectoredExceptionHandler(1, &reportFault);
}

RunOptions& options() {
    static RunOptions run;
    return run;
}

std::uint32_t Generator::edgeValue(const LengthField& field, std::uint32_t size) {
    const std::uint32_t maximum =
        field.width == 4 ? 0xFFFFFFFFu : (field.width == 2 ? 0xFFFFu : 0xFFu);
    // What the field would say if it counted exactly the bytes that arrived.
    const std::uint32_t exact = size > field.counted ? size - field.counted : 0;
    const std::uint32_t d = field.descriptor;
    const std::uint32_t choices[] = {0,         1,         exact,         exact + 1, exact - 1,
                                     exact + d, exact - d, d,             d + 1,     d - 1,
                                     maximum,   maximum - 1, exact / 2,   exact + 2 * d,
                                     std::uint32_t(random_())};
    std::uint32_t value = choices[pick(sizeof(choices) / sizeof(choices[0]))];
    return value & maximum;
}

Bytes Generator::sense() {
    const unsigned sizes[] = {0, 1, 7, 8, 13, 14, 18, 20, 32, 64, 252};
    Bytes bytes(sizes[pick(sizeof(sizes) / sizeof(sizes[0]))]);
    for (std::uint8_t& b : bytes)
        b = std::uint8_t(random_());
    if (!bytes.empty()) {
        const std::uint8_t formats[] = {0x70, 0x71, 0x72, 0x73, 0xF0, 0x00};
        bytes[0] = formats[pick(sizeof(formats))];
    }
    if (bytes.size() > 7) {
        const std::uint8_t lengths[] = {0, 1, 6, 10, std::uint8_t(bytes.size() - 8),
                                        std::uint8_t(bytes.size() - 7), 0xF4, 0xFF};
        bytes[7] = lengths[pick(sizeof(lengths))];
    }
    // Descriptor sense: the first descriptor's length at byte 9.
    if (bytes.size() > 9 && (bytes[0] & 0x7E) == 0x72) {
        const std::uint8_t lengths[] = {0, 1, 2, 6, 0x0A, 0xFE, 0xFF};
        bytes[9] = lengths[pick(sizeof(lengths))];
    }
    return bytes;
}

ModelAnswer Generator::answer(const ModelCommand& command) {
    ModelAnswer a;
    const std::uint32_t dataLen = command.dataLen;
    // The size of the answer the device has: around the request and around
    // the header sizes, never above what a transfer can hold.
    const std::uint32_t sizes[] = {0,           1,           2,           3,           4,
                                   5,           8,           dataLen,     dataLen,     dataLen,
                                   dataLen - 1, dataLen + 1, dataLen / 2, std::uint32_t(random_() % (dataLen + 1))};
    std::uint32_t size = sizes[pick(sizeof(sizes) / sizeof(sizes[0]))];
    size = std::min<std::uint32_t>(size, dataLen + 16);
    a.data.resize(size);
    for (std::uint8_t& b : a.data)
        b = std::uint8_t(random_());
    for (const LengthField& field : fieldsOf(command)) {
        if (pick(10) < 7)
            put(a.data, field, edgeValue(field, size));
    }
    // Usually the bytes of the answer arrive; sometimes the transport claims
    // another count, smaller or larger than the request.
    switch (pick(10)) {
    case 0:
        a.transferred = 0;
        break;
    case 1:
        a.transferred = pick(dataLen + 1);
        break;
    case 2:
        a.transferred = std::int64_t(dataLen) + 1 + pick(4096);
        break;
    default:
        break;
    }
    switch (pick(20)) {
    case 0:
    case 1:
        a.status = 2;  // CHECK CONDITION
        a.sense = sense();
        break;
    case 2:
        a.status = 0;  // GOOD, yet sense bytes
        a.sense = sense();
        break;
    case 3:
        a.status = 8;  // BUSY
        break;
    default:
        break;
    }
    if (pick(10) == 0)
        a.reportedSenseLength = int(pick(256));

    Answered record;
    record.opcode = command.cdb.empty() ? 0 : command.cdb[0];
    const std::uint32_t natural = command.direction == scsi::DXFER_FROM_DEVICE
                                      ? std::min<std::uint32_t>(size, dataLen)
                                      : (command.direction == scsi::DXFER_TO_DEVICE ? dataLen : 0);
    const std::uint32_t claimed = a.transferred >= 0 ? std::uint32_t(a.transferred) : natural;
    // An answer that is not GOOD yet passes (a recovered error) carries no
    // count of its bytes: the library can only take its whole zeroed area.
    record.arrived = a.status == 0 ? std::min(claimed, dataLen) : dataLen;
    answered_.push_back(record);
    return a;
}

std::uint32_t mostArrived(const Generator& generator, std::uint8_t opcode) {
    std::uint32_t most = 0;
    for (const Answered& a : generator.answered()) {
        if (a.opcode == opcode && a.arrived > most)
            most = a.arrived;
    }
    return most;
}

void forEachAnswer(const char* method, const CaseBody& body) {
    const scsi::test::Road roads[] = {scsi::test::Road::TestAccessor, scsi::test::Road::PassThrough};
    const std::uint32_t methodSeed = std::uint32_t(std::hash<std::string>()(method));
    for (scsi::test::Road road : roads) {
        const unsigned cases = options().replay != 0 ? 1 : options().answers;
        for (unsigned n = 0; n < cases; ++n) {
            const std::uint32_t seed =
                options().replay != 0 ? options().replay : options().seed + n * 7919u + methodSeed;
            const std::string name = std::string(method) + " on " + scsi::test::roadName(road) +
                                     ", --replay=" + std::to_string(seed);
            SCOPED_TRACE(name);
            setCurrentCase(name);
            auto model = std::make_shared<scsi::test::ModelScsiDevice>();
            Generator generator(seed);
            model->generator = [&generator](const ModelCommand& command) {
                return generator.answer(command);
            };
            scsi::test::ModelRoad modelRoad(road, model);
            ASSERT_TRUE(modelRoad.ready());
            body(modelRoad, generator);
            setCurrentCase(std::string());
            if (::testing::Test::HasFailure())
                return;
        }
    }
}

}  // namespace hostile
