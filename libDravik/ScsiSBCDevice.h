// The device object of the SCSI block commands (disks): READ, WRITE, WRITE AND
// VERIFY and VERIFY in their 6- to 16-byte forms, START STOP UNIT, the
// capacity reads, SYNCHRONIZE CACHE, SANITIZE and READ DEFECT DATA.
#pragma once

#include <cstddef>
#include <cstdint>

#include "DravikConfig.h"
#include "ScsiSPCDevice.h"
#include "qln/Buffer.h"
#include "qln/FileHandle.h"

namespace scsi {

// The capacity of a block device in host byte order.
struct sbc_capacity {
    std::uint64_t numBlocks;    // last logical block address + 1
    std::uint32_t blockLength;  // bytes per logical block
};

// READ CAPACITY(16) parameter data as the device returns them, big-endian.
struct sbc_read_capacity_16_resp_t {
    std::uint8_t returnedLba[8];       // 0-7: RETURNED LOGICAL BLOCK ADDRESS (the last one)
    std::uint8_t blockLength[4];       // 8-11: LOGICAL BLOCK LENGTH IN BYTES
    std::uint8_t protection;           // 12: RC BASIS (5..4), P_TYPE (3..1), PROT_EN (0)
    std::uint8_t exponents;            // 13: P_I_EXPONENT (7..4), LOGICAL BLOCKS PER PHYSICAL
                                       //     BLOCK EXPONENT (3..0)
    std::uint8_t lowestAlignedLba[2];  // 14-15: LBPME (14 bit 7), LBPRZ (14 bit 6),
                                       //        LOWEST ALIGNED LOGICAL BLOCK ADDRESS (13..0)
    std::uint8_t reserved[16];         // 16-31
};

// POWER CONDITION field of START STOP UNIT. The type is fixed so that any int
// a caller passes is a value of it; the method masks it to the field.
enum _SBC_POWER_CONDITIONS : int {
    SBC_POWER_START_VALID = 0x0,
    SBC_POWER_ACTIVE = 0x1,
    SBC_POWER_IDLE = 0x2,
    SBC_POWER_STANDBY = 0x3,
    SBC_POWER_LU_CONTROL = 0x7,
    SBC_POWER_FORCE_IDLE_0 = 0xA,
    SBC_POWER_FORCE_STANDBY_0 = 0xB
};

// SERVICE ACTION field of SANITIZE. The type is fixed so that any int a
// caller passes is a value of it; the method masks it to the field.
enum _SBC_SANITIZE_SERVICEACTIONS : int {
    SBC_SANITIZE_OVERWRITE = 0x01,  // the only one with a parameter list
    SBC_SANITIZE_BLOCK_ERASE = 0x02,
    SBC_SANITIZE_CRYPTO_ERASE = 0x03,
    SBC_SANITIZE_EXIT_FAILURE_MODE = 0x1F
};

static_assert(sizeof(sbc_capacity) == 16, "sbc_capacity is 16 bytes on both widths");
static_assert(offsetof(sbc_capacity, blockLength) == 8, "block length follows the block count");
static_assert(sizeof(sbc_read_capacity_16_resp_t) == 32, "READ CAPACITY(16) data are 32 bytes");
static_assert(offsetof(sbc_read_capacity_16_resp_t, blockLength) == 8, "block length at byte 8");
static_assert(offsetof(sbc_read_capacity_16_resp_t, protection) == 12, "protection at byte 12");
static_assert(offsetof(sbc_read_capacity_16_resp_t, lowestAlignedLba) == 14,
              "lowest aligned LBA at byte 14");

// A device of the block command set. It adds no state to the primary-command
// device: copies share its transport and the cached INQUIRY data move to the
// new object. Every command method sends exactly one command (readCapacity
// at most two) and answers the success rule of the last one; the caller's
// data length goes to the transport as given (READ CAPACITY(16) asks for no
// more than its record holds).
class DRAVIK_API ScsiSBCDevice : public ScsiSPCDevice {
public:
    explicit ScsiSBCDevice(const qln::SharedFileHandle& fileHandle);
    // Shares the device's transport and time-out; takes its INQUIRY data over.
    explicit ScsiSBCDevice(const ScsiSPCDevice& device);
    ScsiSBCDevice(const ScsiSBCDevice& other);
    ScsiSBCDevice(ScsiSBCDevice&& other);
    ScsiSBCDevice& operator=(const ScsiSBCDevice& other);
    ScsiSBCDevice& operator=(ScsiSBCDevice&& other);
    ~ScsiSBCDevice();

    ScsiDevice& getScsiDevice() { return *this; }
    const ScsiDevice& getScsiDevice() const { return *this; }

    // The 6-byte forms carry a 21-bit LBA: one above 1FFFFFh is refused
    // (false, nothing sent, the last result as it was). Blocks 0 means 256.
    bool read6(void* data, std::uint32_t dataLen, std::uint32_t lba, std::uint8_t blocks);
    bool write6(void* data, std::uint32_t dataLen, std::uint32_t lba, std::uint8_t blocks);
    bool read10(void* data, std::uint32_t dataLen, std::uint32_t lba, std::uint16_t blocks, bool fua,
                bool cachingAllowed);
    bool write10(void* data, std::uint32_t dataLen, std::uint32_t lba, std::uint16_t blocks, bool fua,
                 bool cachingAllowed);
    bool read12(void* data, std::uint32_t dataLen, std::uint32_t lba, std::uint32_t blocks, bool fua,
                bool cachingAllowed);
    bool write12(void* data, std::uint32_t dataLen, std::uint32_t lba, std::uint32_t blocks, bool fua,
                 bool cachingAllowed);
    bool read16(void* data, std::uint32_t dataLen, std::uint64_t lba, std::uint32_t blocks, bool fua,
                bool cachingAllowed);
    bool write16(void* data, std::uint32_t dataLen, std::uint64_t lba, std::uint32_t blocks, bool fua,
                 bool cachingAllowed);
    bool writeVerify10(void* data, std::uint32_t dataLen, std::uint32_t lba, std::uint16_t blocks,
                       bool byteCheck, bool cachingAllowed);
    bool writeVerify12(void* data, std::uint32_t dataLen, std::uint32_t lba, std::uint32_t blocks,
                       bool byteCheck, bool cachingAllowed);
    bool writeVerify16(void* data, std::uint32_t dataLen, std::uint64_t lba, std::uint32_t blocks,
                       bool byteCheck, bool cachingAllowed);
    // VERIFY moves no data (DXFER_NONE); the buffer and length are handed to
    // the transport unchanged.
    bool verify10(std::uint32_t lba, std::uint16_t blocks, void* data, std::uint16_t dataLen,
                  bool byteCheck, bool cachingAllowed);
    bool verify12(std::uint32_t lba, std::uint32_t blocks, void* data, std::uint16_t dataLen,
                  bool byteCheck, bool cachingAllowed);
    bool verify16(std::uint64_t lba, std::uint32_t blocks, void* data, std::uint16_t dataLen,
                  bool byteCheck, bool cachingAllowed);
    // The low four bits of the power condition are sent.
    bool startStopUnit(_SBC_POWER_CONDITIONS powerCondition, bool loadEject, bool start, bool immediate);

    // The outputs are written on success only.
    bool readCapacity10(std::uint32_t& lastLba, std::uint32_t& blockLength, std::uint32_t lba, bool pmi);
    // The device writes up to `allocationLength` bytes into `response`, and
    // never more than the record's 32, whatever length SBC would allow.
    bool readCapacity16(sbc_read_capacity_16_resp_t& response, std::uint32_t allocationLength,
                        std::uint64_t lba, bool pmi);
    // READ CAPACITY(10), and READ CAPACITY(16) when the capacity does not fit
    // it. The record is written on success only.
    bool readCapacity(sbc_capacity& capacity);

    bool synchronizeCache10(std::uint32_t lba, std::uint16_t blocks, bool immediate);
    bool synchronizeCache16(std::uint64_t lba, std::uint32_t blocks, bool immediate);

    // SANITIZE with IMMED set: returns once the device has accepted it.
    // OVERWRITE needs a pattern of 1 to 65531 bytes and a count of 1 to 31;
    // otherwise nothing is sent. The pattern is not read for other actions.
    bool sanitize(_SBC_SANITIZE_SERVICEACTIONS serviceAction, const qln::Buffer<unsigned char>* pattern,
                  std::uint8_t overwriteCount, bool invert, bool ause);
    // READ DEFECT DATA into the caller's memory as the device returns them.
    bool readDefectData10(void* data, std::uint16_t allocationLength, bool plist, bool glist,
                          std::uint8_t format);
    bool readDefectData12(void* data, std::uint32_t allocationLength, bool plist, bool glist,
                          std::uint8_t format, std::uint32_t addressDescriptorIndex);
};

}  // namespace scsi
