// The device core of the SCSI command library: opening a device, the command
// road every command method follows, the success rule and the last result.
#pragma once

#include "DravikConfig.h"
#include "ScsiDeviceAccessor.h"
#include "ScsiStrings.h"
#include "ScsiTypes.h"
#include "ScsiTexts.h"
#include "qln/Buffer.h"
#include "qln/FileHandle.h"
#include "qln/SharedResource.h"
#include "qln/Storage.h"
#include "qln/String.h"

namespace scsi {

// Shared holder of a device's transport (plain use count).
typedef qln::SharedResource<qln::PointerStorage<ScsiDeviceAccessor, 0, 3>, 0> SharedAccessor;
// Sole owner of a transport being handed to a device.
typedef qln::TransferResource<qln::PointerStorage<ScsiDeviceAccessor, 0, 3>> AccessorTransfer;

// Devices made from serialization strings
class ScsiDevice;
// Sole owner of a new device object.
typedef qln::TransferResource<qln::PointerStorage<ScsiDevice, 0, 3>> ScsiDeviceTransfer;
// (end of devices made from serialization strings)

// Base of every device object. Copies share one accessor (and through it one
// file handle); each copy keeps its own last result, time-out and texts.
// The class has no virtual operations: resultData is its first member, so
// the device's address is the address of its result record.
class DRAVIK_API ScsiDevice {
public:
    enum _USB_CLASS_MASS_STORAGE_TYPES {
        USB_MASS_STORAGE_NONE = 0,
        USB_MASS_STORAGE_BULK_ONLY = 1,
        USB_MASS_STORAGE_UAS = 2
    };

    enum { DEFAULT_TIMEOUT_MS = 20000 };

    // Opens a device for reading and writing; `access` is accepted and not
    // read. An empty holder (value -1) when the device cannot be opened.
    static qln::SharedFileHandle openScsiDevice(const qln::String& path, unsigned long access,
                                                unsigned long shareMode);
    static qln::SharedFileHandle openScsiDevice(const char* path, unsigned long access,
                                                unsigned long shareMode);
    static qln::SharedFileHandle openScsiDevice(const qln::CString& path, unsigned long access,
                                                unsigned long shareMode);

    // A device on an open handle, reached through the system's pass-through.
    explicit ScsiDevice(const qln::SharedFileHandle& fileHandle);
    // A device that owns the given accessor (taken out of the holder). An
    // empty holder gives a device without transport: every command fails.
    explicit ScsiDevice(AccessorTransfer accessor);
    ScsiDevice(const ScsiDevice& other);
    ScsiDevice& operator=(const ScsiDevice& other);
    ~ScsiDevice();

    // The command road: sends one command block of cdbLen bytes with dataLen
    // bytes at data in `direction` (commands without data pass null, 0 and
    // DXFER_NONE) and answers the success rule. timeoutMs 0 means the
    // device's default time-out.
    bool send_scsi_cmd(void* cdb, unsigned int cdbLen, void* data, unsigned int dataLen,
                       DXFER_DIRECTION direction, unsigned int timeoutMs);

    // The success rule applied to the last result.
    bool success() const;
    bool lastCommandSuccess() const;

    const cmd_result_info& getLastResult() const { return resultData.result; }
    const sense_info& getLastSense() const { return resultData.sense; }
    const command_result_info& getResultData() const { return resultData; }

    // The 252 raw sense bytes of the last command.
    void getSenseBuffer(qln::Buffer<unsigned char>& out);

    bool getAddress(scsi_idlun& out) const;
    int isEmulated() const;
    // Largest transfer of one command in bytes; 0 without an accessor.
    unsigned int getMaxXferSz() const;
    _USB_CLASS_MASS_STORAGE_TYPES isUSBMassStorage() const { return USB_MASS_STORAGE_NONE; }

    // Serialization strings

    // A device on the transport a serialization string names
    // ("dll:<library>:<factory symbol>[:<tokens for the factory>...]"), with
    // the default time-out; empty when no transport can be made of it. The
    // library may be named by a drive-letter path ("C:\Tools\acc.dll").
    static ScsiDeviceTransfer deserialize(const qln::String& serialization);
    // The transport's serialization string; false when it has none (the
    // system's pass-through has none), and `out` is then left as it was.
    bool serialize(qln::String& out) const;

    // (end of serialization strings)

    // Diagnostic dumps at level 1 on "libDravik.ScsiDevice".
    static void print_cdb(const void* bytes, int length);
    static void print_sense_buffer(const void* bytes, int length);
    static void print_cdb_response(const void* bytes, int length);

    // Code-to-text lookups and error texts

    // One line for a sense summary: status, sense key and additional sense
    // texts (English locale), followed by the codes when withCodes is set
    // (always outside English). The terminated line, or an empty buffer when
    // there is nothing to say.
    static qln::Buffer<char> getSenseErrStr(const sense_info& sense, bool withCodes);
    // The status byte with bits 0 and 7 ignored.
    static const char* getstatusstr(int status);
    static const char* getsensestr(unsigned char senseKey);
    static const char* getASCerrstr(unsigned char asc, unsigned char ascq);
    // `row` is a version descriptor shifted right by 5.
    static const char* getstandardstr(unsigned int row);
    static const char* getperipheraldevicetype(int type);
    static const char* getlogpagestr(unsigned char page, _SPC_PERIPHERAL_DEVICE_TYPES type);
    static const char* getvpdpagestr(unsigned char page, _SPC_PERIPHERAL_DEVICE_TYPES type);
    // The company of an 8-byte T10 vendor identification, blank-padded as in
    // INQUIRY data (not terminated); emptystr when the list has none.
    static const char* xlateVendorID(const char* id);
    // The VERSION byte of standard INQUIRY data.
    static const char* inqVersion(unsigned char version);
    // The queue algorithm modifier in the low 4 bits of `flags`.
    static const char* getQAMstr(unsigned char flags);

    // The error line of a result record (its sense and result fields) and of
    // this device's last result, built from the catalog texts of `strings`.
    qln::String getErrStr(const command_result_info& info) const;
    qln::String getLastErrStr() const;

    // (end of code-to-text lookups and error texts)

protected:
    command_result_info resultData;  // must stay the first member
    unsigned int defaultTimeout;     // milliseconds
    ScsiStrings strings;
    SharedAccessor accessor;

private:
    bool isAccessorValid(const SharedAccessor& holder) const;
};

}  // namespace scsi
