// The transport over the system's SCSI pass-through request on an open
// device handle. Made only by ScsiDevice's file-handle constructor and by its
// own clone, so it is not exported.
#pragma once

#include "ScsiDeviceAccessor.h"

namespace scsi {

class OSScsiDeviceAccessor : public ScsiDeviceAccessor {
public:
    explicit OSScsiDeviceAccessor(const qln::SharedFileHandle& fileHandle);
    OSScsiDeviceAccessor(const OSScsiDeviceAccessor& other);
    OSScsiDeviceAccessor& operator=(const OSScsiDeviceAccessor& other);
    ~OSScsiDeviceAccessor() override;

    ScsiDeviceAccessor* clone() const override;

protected:
    void send_scsi_cmd(void* cdb, unsigned int cdbLen, void* data, unsigned int dataLen,
                       DXFER_DIRECTION direction, unsigned int timeoutMs,
                       command_result_info& result) override;
    const char* vGetName() const override;
    bool isEmulated() const override;
    bool getAddress(scsi_idlun& out) const override;
    unsigned int getMaxXferSz() const override;
    bool getDriverErrStr(unsigned int code, qln::String& out) const override;
    bool getHostErrStr(unsigned int code, qln::String& out) const override;
};

}  // namespace scsi
