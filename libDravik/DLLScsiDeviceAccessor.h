// A transport made by a library loaded at run time. The library's factory
// makes the real accessor; this wrapper forwards every transport operation to
// it and keeps the library loaded for as long as any wrapper of it lives.
#pragma once

#include "DravikConfig.h"
#include "ScsiDevice.h"
#include "ScsiDeviceAccessor.h"
#include "qln/Array.h"
#include "qln/DynamicLibrary.h"
#include "qln/SharedResource.h"
#include "qln/Storage.h"
#include "qln/String.h"

namespace scsi {

class DLLScsiDeviceAccessor;

// Shared holder of a loaded accessor library. The use count is atomic, so
// wrappers of one library may be copied and destroyed on different threads.
typedef qln::SharedResource<qln::PointerStorage<qln::DynamicLibrary, 0, 3>, 1> SharedAccessorLibrary;
// Sole owner of a new loaded-accessor wrapper.
typedef qln::TransferResource<qln::PointerStorage<DLLScsiDeviceAccessor, 0, 3>> DLLAccessorTransfer;

// What an accessor library exports under the symbol named in the
// serialization string: it receives every token of the string (the type, the
// library path and the symbol included) and answers a new accessor, owned by
// the caller from then on, or null when it cannot make one.
typedef ScsiDeviceAccessor* (*ScsiDeviceAccessorFactory)(const qln::Array<qln::String>& tokens);

class DRAVIK_API DLLScsiDeviceAccessor : public ScsiDeviceAccessor {
public:
    // Type token of a serialization string that names a loaded accessor.
    static const char* const serialization_prefix;

    // Wraps an accessor that a caller made with a library it holds. Nothing
    // is wrapped without a loaded library and an accessor; the accessor is
    // then destroyed before the call returns.
    static DLLAccessorTransfer wrapExternalAccessor(const SharedAccessorLibrary& library,
                                                    AccessorTransfer accessor);

    // The copy forwards to a clone of the other's inner accessor and shares
    // its library.
    DLLScsiDeviceAccessor(const DLLScsiDeviceAccessor& other);
    DLLScsiDeviceAccessor& operator=(const DLLScsiDeviceAccessor& other);
    // Destroys the inner accessor while its library is still loaded, then
    // gives up this wrapper's use of the library.
    ~DLLScsiDeviceAccessor() override;

    bool serialize(qln::String& out) const override;
    // Null when the inner accessor cannot be cloned.
    ScsiDeviceAccessor* clone() const override;

protected:
    void send_scsi_cmd(void* cdb, unsigned int cdbLen, void* data, unsigned int dataLen,
                       DXFER_DIRECTION direction, unsigned int timeoutMs,
                       command_result_info& result) override;
    // The inner accessor's name.
    const char* vGetName() const override;
    bool isEmulated() const override;
    int doReset(SCSI_RESET_TARGET target) override;
    bool getAddress(scsi_idlun& out) const override;
    unsigned int getMaxXferSz() const override;
    bool getDriverErrStr(unsigned int code, qln::String& out) const override;
    bool getHostErrStr(unsigned int code, qln::String& out) const override;

    static const char* getName();

    // Loads the library of token 1 and lets the factory of token 2 make the
    // accessor; empty when any step fails (the library is unloaded again).
    static DLLAccessorTransfer deserialize(const qln::Array<qln::String>& tokens);

private:
    friend class ScsiDevice;

    DLLScsiDeviceAccessor(const SharedAccessorLibrary& library, AccessorTransfer inner);

    // Never empty in a wrapper made from a factory or a caller's accessor;
    // empty only in a copy whose inner clone failed.
    AccessorTransfer inner;
    SharedAccessorLibrary library;
};

}  // namespace scsi
