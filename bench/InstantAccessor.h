// A transport that answers every command at once, as a transport does on
// completion: the sense area cleared, the status summarised, the result code
// set. Either GOOD, or CHECK CONDITION with fixed-format sense (ILLEGAL
// REQUEST, INVALID FIELD IN CDB). Its members are compiled apart from the
// timing loops, so that the direct call stays a call as on the device's road.
#pragma once

#include "ScsiDeviceAccessor.h"

namespace bench {

class InstantAccessor : public scsi::ScsiDeviceAccessor {
public:
    explicit InstantAccessor(bool checkCondition) : checkCondition_(checkCondition) {}
    ScsiDeviceAccessor* clone() const override;

    // The transport called directly, as the device object calls it.
    void sendDirect(void* cdb, unsigned int cdbLen, scsi::command_result_info& result);

protected:
    void send_scsi_cmd(void* cdb, unsigned int cdbLen, void* data, unsigned int dataLen,
                       scsi::DXFER_DIRECTION direction, unsigned int timeoutMs,
                       scsi::command_result_info& result) override;
    const char* vGetName() const override;
    bool isEmulated() const override;
    unsigned int getMaxXferSz() const override;
    bool getDriverErrStr(unsigned int code, qln::String& out) const override;
    bool getHostErrStr(unsigned int code, qln::String& out) const override;

private:
    bool checkCondition_;
};

}  // namespace bench
