#include "DLLScsiDeviceAccessor.h"

#include <winerror.h>

#include <utility>

#include "qln/Log.h"

namespace scsi {

namespace {

qln::Logger* s_logger = nullptr;
const char* const kChannel = "libDravik.DLLScsiDeviceAccessor";

// Tokens of a loaded-accessor serialization string.
enum { TOKEN_LIBRARY = 1, TOKEN_SYMBOL = 2, REQUIRED_TOKENS = 3 };

}  // namespace

const char* const DLLScsiDeviceAccessor::serialization_prefix = "dll";

const char* DLLScsiDeviceAccessor::getName() {
    return "DLLScsiDeviceAccessor";
}

DLLScsiDeviceAccessor::DLLScsiDeviceAccessor(const SharedAccessorLibrary& libraryHolder,
                                             AccessorTransfer innerAccessor)
    : ScsiDeviceAccessor(), inner(innerAccessor.take()), library(libraryHolder) {}

DLLScsiDeviceAccessor::DLLScsiDeviceAccessor(const DLLScsiDeviceAccessor& other)
    : ScsiDeviceAccessor(other), inner(other.inner), library(other.library) {}

DLLScsiDeviceAccessor& DLLScsiDeviceAccessor::operator=(const DLLScsiDeviceAccessor& other) {
    ScsiDeviceAccessor::operator=(other);
    // The new inner accessor is made before the previous one goes, and the
    // previous one goes while this wrapper still holds its library.
    inner = other.inner;
    library = other.library;
    return *this;
}

DLLScsiDeviceAccessor::~DLLScsiDeviceAccessor() {
    // The inner accessor's code lives in the library: destroy it first.
    inner.reset();
    library.release();
}

ScsiDeviceAccessor* DLLScsiDeviceAccessor::clone() const {
    const ScsiDeviceAccessor* transport = inner.get();
    if (transport == nullptr)
        return nullptr;
    AccessorTransfer copy(transport->clone());
    if (!copy.isValid())
        return nullptr;  // a wrapper never forwards to nothing
    return new DLLScsiDeviceAccessor(library, AccessorTransfer(copy.take()));
}

// A copy whose inner clone failed answers as a transport that cannot reach
// its device.
bool DLLScsiDeviceAccessor::serialize(qln::String& out) const {
    const ScsiDeviceAccessor* transport = inner.get();
    return transport != nullptr && transport->serialize(out);
}

void DLLScsiDeviceAccessor::send_scsi_cmd(void* cdb, unsigned int cdbLen, void* data,
                                          unsigned int dataLen, DXFER_DIRECTION direction,
                                          unsigned int timeoutMs, command_result_info& result) {
    ScsiDeviceAccessor* transport = inner.get();
    if (transport == nullptr) {
        result.result.code = CMD_RESULT_DRIVER_ERROR;
        result.result.detail = ERROR_INVALID_FUNCTION;
        return;
    }
    transport->send_scsi_cmd(cdb, cdbLen, data, dataLen, direction, timeoutMs, result);
}

const char* DLLScsiDeviceAccessor::vGetName() const {
    const ScsiDeviceAccessor* transport = inner.get();
    return transport != nullptr ? transport->vGetName() : "";
}

bool DLLScsiDeviceAccessor::isEmulated() const {
    const ScsiDeviceAccessor* transport = inner.get();
    return transport != nullptr && transport->isEmulated();
}

int DLLScsiDeviceAccessor::doReset(SCSI_RESET_TARGET target) {
    ScsiDeviceAccessor* transport = inner.get();
    return transport != nullptr ? transport->doReset(target) : -1;
}

bool DLLScsiDeviceAccessor::getAddress(scsi_idlun& out) const {
    const ScsiDeviceAccessor* transport = inner.get();
    return transport != nullptr && transport->getAddress(out);
}

unsigned int DLLScsiDeviceAccessor::getMaxXferSz() const {
    const ScsiDeviceAccessor* transport = inner.get();
    return transport != nullptr ? transport->getMaxXferSz() : 0;
}

bool DLLScsiDeviceAccessor::getDriverErrStr(unsigned int code, qln::String& out) const {
    const ScsiDeviceAccessor* transport = inner.get();
    return transport != nullptr && transport->getDriverErrStr(code, out);
}

bool DLLScsiDeviceAccessor::getHostErrStr(unsigned int code, qln::String& out) const {
    const ScsiDeviceAccessor* transport = inner.get();
    return transport != nullptr && transport->getHostErrStr(code, out);
}

DLLAccessorTransfer DLLScsiDeviceAccessor::deserialize(const qln::Array<qln::String>& tokens) {
    DLLAccessorTransfer result;
    if (tokens.size() < REQUIRED_TOKENS) {
        QLN_LOG(s_logger, kChannel, qln::LOG_WARN,
                "79 " + "DLLScsiAccessor requires at least 3 serialization tokens for deserialization");
        return result;
    }

    const qln::String& path = tokens[TOKEN_LIBRARY];
    const qln::String& symbol = tokens[TOKEN_SYMBOL];
    SharedAccessorLibrary libraryHolder(new qln::DynamicLibrary(path));
    if (!libraryHolder.get()->load()) {
        QLN_LOG(s_logger, kChannel, qln::LOG_ERROR,
                "76 " + "The library " + path + " did not dynamically load");
    } else if (void* address = libraryHolder.get()->getSymbol(symbol.getLowerByteString().c_str())) {
        ScsiDeviceAccessorFactory factory = reinterpret_cast<ScsiDeviceAccessorFactory>(address);
        // Held at once, so that the accessor goes before the library should
        // anything below fail.
        AccessorTransfer made(factory(tokens));
        if (made.isValid())
            result = DLLAccessorTransfer(new DLLScsiDeviceAccessor(libraryHolder, std::move(made)));
    } else {
        QLN_LOG(s_logger, kChannel, qln::LOG_ERROR,
                "73 " + "The library " + path + " did not have the symbol: " + symbol);
    }
    // Without a wrapper this was the last use: the library is unloaded here.
    libraryHolder.release();
    return result;
}

DLLAccessorTransfer DLLScsiDeviceAccessor::wrapExternalAccessor(const SharedAccessorLibrary& libraryHolder,
                                                                AccessorTransfer accessor) {
    DLLAccessorTransfer result;
    const qln::DynamicLibrary* loaded = libraryHolder.get();
    if (loaded != nullptr && loaded->isLoaded() && accessor.isValid())
        result = DLLAccessorTransfer(new DLLScsiDeviceAccessor(libraryHolder, std::move(accessor)));
    // The caller handed the accessor over: one not wrapped is destroyed here,
    // before the call returns, not whenever the caller's argument goes.
    accessor.reset();
    return result;
}

}  // namespace scsi
