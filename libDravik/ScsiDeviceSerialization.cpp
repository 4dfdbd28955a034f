// Devices made from serialization strings, and the strings of their transports.
#include "DLLScsiDeviceAccessor.h"
#include "ScsiDevice.h"
#include "qln/Array.h"
#include "qln/Log.h"

namespace scsi {

namespace {

qln::Logger* s_logger = nullptr;
const char* const kChannel = "libDravik.ScsiDevice";

enum { TOKEN_TYPE = 0, LEAST_TOKENS = 2 };

}  // namespace

ScsiDeviceTransfer ScsiDevice::deserialize(const qln::String& serialization) {
    ScsiDeviceTransfer result;
    const qln::Array<qln::String> tokens = serialization.tokenize(":");
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
