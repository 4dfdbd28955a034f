// How many whole descriptors of a multimedia answer may be read: every count
// here stays within both the length the drive reports and the bytes that
// actually arrived, so a hostile length field never reads past the answer.
#ifndef DRAVIK_SCSIMMCPARSERS_H
#define DRAVIK_SCSIMMCPARSERS_H

#include <cstddef>

#include "DravikConfig.h"

namespace scsi {
namespace mmc_parse {

// READ TOC/PMA/ATIP: 2-byte data length, descriptors from byte 4.
DRAVIK_API std::size_t tocDescriptorCount(const unsigned char* answer, std::size_t received,
                                          std::size_t descriptorSize);

// GET PERFORMANCE: 4-byte data length, 16-byte descriptors from byte 8.
DRAVIK_API std::size_t performanceDescriptorCount(const unsigned char* answer,
                                                  std::size_t received);

// READ FORMAT CAPACITIES: list length in byte 3, the current/maximum
// descriptor at byte 4 (present when this is true), the formattable ones
// after it, 8 bytes each.
DRAVIK_API bool hasCurrentCapacity(const unsigned char* answer, std::size_t received);
DRAVIK_API std::size_t formatCapacityCount(const unsigned char* answer, std::size_t received);

// GET CONFIGURATION: the feature codes of the descriptors whose 4-byte
// header lies inside the answer (a last descriptor cut short still names
// its feature), in the drive's order; writes at most `capacity` codes and
// returns how many it wrote.
DRAVIK_API std::size_t featureCodes(const unsigned char* answer, std::size_t received,
                                    unsigned short* codes, std::size_t capacity);

// The Profile List descriptor at byte 8: its profile numbers, the drive's
// last one first; at most `capacity`, returns how many it wrote.
DRAVIK_API std::size_t profileNumbersReversed(const unsigned char* answer, std::size_t received,
                                              unsigned short* numbers, std::size_t capacity);

// GET PERFORMANCE probe (at least 4 bytes): the descriptors its data length
// announces, or -1 when that number does not fit a non-negative 16-bit
// count (the descriptor count field of the full read is 16 bits).
DRAVIK_API long performanceAnnouncedCount(const unsigned char* answer, std::size_t received);

}  // namespace mmc_parse
}  // namespace scsi

#endif  // DRAVIK_SCSIMMCPARSERS_H
