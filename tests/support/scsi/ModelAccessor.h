// A transport that hands every command to a model device, so a device object
// can be tested without the system's pass-through. It fills the result record
// the way a pass-through transport does: sense bytes with a zeroed tail, the
// sense summary, code 1 for a status other than GOOD, code 6 for a short
// transfer with status GOOD; a failing row gives its code and detail. The
// data area is zeroed before the answer goes in unless the model's
// leavesCallerBytes is set.
#pragma once

#include "ModelScsiDevice.h"
#include "ScsiDevice.h"
#include "ScsiDeviceAccessor.h"

namespace scsi {
namespace test {

class ModelAccessor : public ScsiDeviceAccessor {
public:
    explicit ModelAccessor(const ModelDevicePtr& model);
    ModelAccessor(const ModelAccessor& other);
    ~ModelAccessor() override;

    // A holder to give to ScsiDevice's accessor constructor.
    static AccessorTransfer transfer(const ModelDevicePtr& model);

    ScsiDeviceAccessor* clone() const override;
    const ModelDevicePtr& model() const { return model_; }

    // Time-out (ms) of the last command that reached this accessor.
    unsigned int lastTimeoutMs() const { return lastTimeoutMs_; }

protected:
    void send_scsi_cmd(void* cdb, unsigned int cdbLen, void* data, unsigned int dataLen,
                       DXFER_DIRECTION direction, unsigned int timeoutMs,
                       command_result_info& result) override;
    const char* vGetName() const override { return "Model"; }
    bool isEmulated() const override;
    bool getAddress(scsi_idlun& out) const override;
    unsigned int getMaxXferSz() const override;
    bool getDriverErrStr(unsigned int code, qln::String& out) const override;
    bool getHostErrStr(unsigned int code, qln::String& out) const override;

private:
    ModelAccessor& operator=(const ModelAccessor&) = delete;
    ModelDevicePtr model_;
    unsigned int lastTimeoutMs_;
};

}  // namespace test
}  // namespace scsi
