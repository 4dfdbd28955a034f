// The transport of a device object: carries one command descriptor block to
// the device, moves the data and fills the device's result record.
#pragma once

#include "DravikConfig.h"
#include "ScsiTypes.h"
#include "qln/FileHandle.h"
#include "qln/SharedResource.h"
#include "qln/Storage.h"
#include "qln/String.h"

namespace scsi {

class ScsiDevice;
class DLLScsiDeviceAccessor;

class DRAVIK_API ScsiDeviceAccessor {
public:
    ScsiDeviceAccessor();
    explicit ScsiDeviceAccessor(const qln::SharedFileHandle& fileHandle);
    ScsiDeviceAccessor(const ScsiDeviceAccessor& other);
    ScsiDeviceAccessor& operator=(const ScsiDeviceAccessor& other);
    virtual ~ScsiDeviceAccessor();

    // Writes the serialization string of this transport; false when it has none.
    virtual bool serialize(qln::String& out) const;
    // A new accessor of the same kind on the same device, owned by the caller.
    virtual ScsiDeviceAccessor* clone() const = 0;

protected:
    // Sends one command block and fills `result` (sense bytes, summary, code, detail).
    virtual void send_scsi_cmd(void* cdb, unsigned int cdbLen, void* data, unsigned int dataLen,
                               DXFER_DIRECTION direction, unsigned int timeoutMs,
                               command_result_info& result) = 0;
    virtual const char* vGetName() const = 0;
    virtual bool isEmulated() const = 0;
    // -1: not supported.
    virtual int doReset(SCSI_RESET_TARGET target);
    virtual bool getAddress(scsi_idlun& out) const;
    // Largest transfer of one command, in bytes.
    virtual unsigned int getMaxXferSz() const = 0;
    virtual bool getDriverErrStr(unsigned int code, qln::String& out) const = 0;
    virtual bool getHostErrStr(unsigned int code, qln::String& out) const = 0;

    const qln::SharedFileHandle& getFileHandle() const { return fileHandle; }

    // Fills the summary from the status byte and the sense bytes (fixed or
    // descriptor format); `valid` stays clear for sense data it cannot read.
    static void summarize_sense(sense_info& out, unsigned char statusByte,
                                const unsigned char* senseData, unsigned int senseLen);

private:
    friend class ScsiDevice;
    friend class DLLScsiDeviceAccessor;

    qln::SharedFileHandle fileHandle;
};

}  // namespace scsi

namespace qln {

// Accessors copy polymorphically.
template <>
struct ClonePolicy<scsi::ScsiDeviceAccessor> {
    static scsi::ScsiDeviceAccessor* clone(const scsi::ScsiDeviceAccessor& source) {
        return source.clone();
    }
};

}  // namespace qln
