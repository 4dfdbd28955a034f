#include "ScsiMMCParsers.h"

#include <algorithm>

#include "BigEndian.h"

namespace scsi {
namespace mmc_parse {

namespace {

using detail::getBE16;
using detail::getBE32;

// The bytes of the answer that both the length field and the transfer vouch
// for: the field counts the bytes after itself.
std::size_t usableBytes(unsigned long fieldValue, std::size_t fieldEnd, std::size_t received) {
    const unsigned long long claimed = static_cast<unsigned long long>(fieldValue) + fieldEnd;
    return claimed < received ? static_cast<std::size_t>(claimed) : received;
}

}  // namespace

std::size_t tocDescriptorCount(const unsigned char* answer, std::size_t received,
                               std::size_t descriptorSize) {
    if (answer == nullptr || received < 4 || descriptorSize == 0)
        return 0;
    const std::size_t usable = usableBytes(getBE16(answer), 2, received);
    return usable < 4 ? 0 : (usable - 4) / descriptorSize;
}

std::size_t performanceDescriptorCount(const unsigned char* answer, std::size_t received) {
    if (answer == nullptr || received < 8)
        return 0;
    const std::size_t usable = usableBytes(getBE32(answer), 4, received);
    return usable < 8 ? 0 : (usable - 8) / 16;
}

bool hasCurrentCapacity(const unsigned char* answer, std::size_t received) {
    if (answer == nullptr || received < 12)
        return false;
    return usableBytes(answer[3], 4, received) >= 12;
}

std::size_t formatCapacityCount(const unsigned char* answer, std::size_t received) {
    if (!hasCurrentCapacity(answer, received))
        return 0;
    return (usableBytes(answer[3], 4, received) - 12) / 8;
}

std::size_t featureCodes(const unsigned char* answer, std::size_t received,
                         unsigned short* codes, std::size_t capacity) {
    if (answer == nullptr || received < 8)
        return 0;
    const std::size_t usable = usableBytes(getBE32(answer), 4, received);
    std::size_t count = 0;
    std::size_t offset = 8;
    while (offset + 4 <= usable && count < capacity) {
        codes[count++] = static_cast<unsigned short>(getBE16(answer + offset));
        offset += 4 + answer[offset + 3];
    }
    return count;
}

std::size_t profileNumbersReversed(const unsigned char* answer, std::size_t received,
                                   unsigned short* numbers, std::size_t capacity) {
    if (answer == nullptr || received < 12)
        return 0;
    const std::size_t usable = usableBytes(getBE32(answer), 4, received);
    if (usable < 12)
        return 0;
    const std::size_t claimed = answer[11] / 4u;
    const std::size_t count = std::min(std::min(claimed, (usable - 12) / 4), capacity);
    for (std::size_t i = 0; i < count; ++i)
        numbers[count - 1 - i] = static_cast<unsigned short>(getBE16(answer + 12 + 4 * i));
    return count;
}

long performanceAnnouncedCount(const unsigned char* answer, std::size_t received) {
    if (answer == nullptr || received < 4)
        return 0;
    const unsigned long count = getBE32(answer) / 16;
    return count > 0x7FFF ? -1 : static_cast<long>(count);
}

}  // namespace mmc_parse
}  // namespace scsi
