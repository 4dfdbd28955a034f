// Devices made from serialization strings, and the strings of their transports.
#include "DLLScsiDeviceAccessor.h"
#include "ScsiDevice.h"
#include "qln/Array.h"
#include "qln/Log.h"

namespace scsi {

namespace {

qln::Logger* s_logger = nullptr;
const char* const kChannel = "libDravik.ScsiDevice";

enum { TOKEN_TYPE = 0, TOKEN_LIBRARY = 1, LEAST_TOKENS = 2 };

bool isLetter(qln::Char16 unit) {
    return (unit >= 'A' && unit <= 'Z') || (unit >= 'a' && unit <= 'z');
}

bool isSlash(qln::Char16 unit) {
    return unit == '\\' || unit == '/';
}

// The tokens between the ":" separators, empty ones dropped, as tokenize
// gives them; except that the library of a loaded accessor may be named by a
// drive-letter path ("C:\Tools\acc.dll", "C:/Tools/acc.dll"), whose colon
// belongs to the path. Split there, the system would be asked for a library
// named by the letter alone and search its path for one.
qln::Array<qln::String> splitSerialization(const qln::String& serialization) {
    qln::Array<qln::String> tokens;
    qln::String piece;
    const qln::Uint32 size = serialization.size();
    for (qln::Uint32 i = 0; i <= size; ++i) {
        if (i < size && serialization[i] != ':') {
            piece += serialization[i];
            continue;
        }
        const bool driveColon = i + 1 < size && isSlash(serialization[i + 1]) && piece.size() == 1 &&
                                isLetter(piece[0]) && tokens.size() == TOKEN_LIBRARY &&
                                tokens[TOKEN_TYPE] == DLLScsiDeviceAccessor::serialization_prefix;
        if (driveColon) {
            piece += serialization[i];
            continue;
        }
        if (!piece.isEmpty()) {
            tokens.append(piece);
            piece.clear();
        }
    }
    return tokens;
}

}  // namespace

ScsiDeviceTransfer ScsiDevice::deserialize(const qln::String& serialization) {
    ScsiDeviceTransfer result;
    const qln::Array<qln::String> tokens = splitSerialization(serialization);
    if (tokens.size() < LEAST_TOKENS) {
        QLN_LOG(s_logger, kChannel, qln::LOG_ERROR,
                "65 " + "Serialization string is not at least two tokens: " + serialization);
        return result;
    }

    const qln::String& type = tokens[TOKEN_TYPE];
    if (type == DLLScsiDeviceAccessor::serialization_prefix) {
        DLLAccessorTransfer wrapper = DLLScsiDeviceAccessor::deserialize(tokens);
        if (wrapper.isValid()) {
            result = ScsiDeviceTransfer(new ScsiDevice(AccessorTransfer(wrapper.take())));
        } else {
            QLN_LOG(s_logger, kChannel, qln::LOG_INFO,
                    "59 " + "Accessor is not available for serialization string: " + serialization);
        }
        return result;
    }

    QLN_LOG(s_logger, kChannel, qln::LOG_ERROR, "62 " + "Unrecognized serialization type: " + type);
    return result;
}

bool ScsiDevice::serialize(qln::String& out) const {
    const ScsiDeviceAccessor* transport = accessor.get();
    return transport != nullptr && transport->serialize(out);
}

}  // namespace scsi
