// Commands that the block and the multimedia command sets define alike, sent
// by one implementation for both device classes. Private to the library's
// sources; not part of the exported interface.
#pragma once

#include <cstdint>

#include "BigEndian.h"
#include "ScsiDevice.h"

namespace scsi {
namespace detail {

// SYNCHRONIZE CACHE(10) of `blocks` blocks from `lba` (0 blocks: to the end
// of the medium), without data, on the device's default time-out.
inline bool synchronizeCache10(ScsiDevice& device, std::uint32_t lba, std::uint16_t blocks, bool immediate) {
    std::uint8_t cdb[10] = {0x35, static_cast<std::uint8_t>(immediate ? 0x02 : 0)};
    putBE32(cdb + 2, lba);
    putBE16(cdb + 7, blocks);
    return device.send_scsi_cmd(cdb, sizeof(cdb), nullptr, 0, DXFER_NONE, 0);
}

}  // namespace detail
}  // namespace scsi
