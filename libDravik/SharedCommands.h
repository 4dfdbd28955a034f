// Commands that the block and the multimedia command sets define alike, sent
// by one implementation for both device classes. Private to the library's
// sources; not part of the exported interface.
#pragma once

#include <cstdint>

#include "BigEndian.h"
#include "ScsiDevice.h"

namespace scsi {
namespace detail {

// READ, WRITE, WRITE AND VERIFY, VERIFY and SYNCHRONIZE CACHE of 10, 12 and
// 16 bytes lay out alike: the flags in byte 1, the logical block address from
// byte 2 and the block count after it (after the group number in the 10-byte
// block). Puts the address and the count into a block of `length` bytes.
inline void putBlockRange(std::uint8_t* cdb, unsigned int length, std::uint64_t lba, std::uint32_t blocks) {
    if (length == 16) {
        putBE(cdb + 2, lba, 8);
        putBE32(cdb + 10, blocks);
        return;
    }
    putBE32(cdb + 2, static_cast<std::uint32_t>(lba));
    if (length == 10)
        putBE16(cdb + 7, blocks);
    else
        putBE32(cdb + 6, blocks);
}

// One of those commands, on the device's default time-out.
inline bool sendBlockRange(ScsiDevice& device, std::uint8_t opcode, std::uint8_t flags, unsigned int length,
                           std::uint64_t lba, std::uint32_t blocks, void* data, std::uint32_t dataLength,
                           DXFER_DIRECTION direction) {
    std::uint8_t cdb[16] = {opcode, flags};
    putBlockRange(cdb, length, lba, blocks);
    return device.send_scsi_cmd(cdb, length, data, dataLength, direction, 0);
}

// SYNCHRONIZE CACHE(10) of `blocks` blocks from `lba` (0 blocks: to the end
// of the medium), without data.
inline bool synchronizeCache10(ScsiDevice& device, std::uint32_t lba, std::uint16_t blocks, bool immediate) {
    return sendBlockRange(device, 0x35, static_cast<std::uint8_t>(immediate ? 0x02 : 0), 10, lba, blocks,
                          nullptr, 0, DXFER_NONE);
}

}  // namespace detail
}  // namespace scsi
