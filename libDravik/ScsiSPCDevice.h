// The device object of the SCSI primary commands: standard INQUIRY data read
// once and kept, vital product data pages, and one method per primary
// command (TEST UNIT READY, REQUEST SENSE, LOG SENSE, MODE SENSE/SELECT,
// REPORT LUNS, REPORT SUPPORTED OPERATION CODES, SEND DIAGNOSTIC, ...).
// The block and multimedia devices are built on it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>

#include "DravikConfig.h"
#include "ScsiDevice.h"
#include "ScsiTexts.h"
#include "ScsiTypes.h"
#include "qln/Array.h"
#include "qln/Buffer.h"
#include "qln/FileHandle.h"
#include "qln/SharedResource.h"
#include "qln/Storage.h"
#include "qln/String.h"

namespace scsi {

// Standard INQUIRY data as the device returns them, 256 bytes. An answer
// shorter than that is held zero-filled.
struct scsi_inquiry_t {
    std::uint8_t peripheral;        // 0: PERIPHERAL QUALIFIER (7..5), PERIPHERAL DEVICE TYPE (4..0)
    std::uint8_t removable;         // 1: RMB (7), LU_CONG (6)
    std::uint8_t version;           // 2: VERSION
    std::uint8_t responseFormat;    // 3: NORMACA (5), HISUP (4), RESPONSE DATA FORMAT (3..0)
    std::uint8_t additionalLength;  // 4: ADDITIONAL LENGTH n; the data hold n + 5 bytes
    std::uint8_t flags5;            // 5: SCCS, ACC, TPGS, 3PC, PROTECT
    std::uint8_t flags6;            // 6: ENCSERV, VS, MULTIP, ADDR16
    std::uint8_t flags7;            // 7: WBUS16, SYNC, CMDQUE, VS
    char vendorId[8];               // 8-15: T10 VENDOR IDENTIFICATION, blank-filled
    char productId[16];             // 16-31: PRODUCT IDENTIFICATION
    char productRevision[4];        // 32-35: PRODUCT REVISION LEVEL
    std::uint8_t vendorSpecific[20];      // 36-55
    std::uint8_t clocking;                // 56: CLOCKING, QAS, IUS
    std::uint8_t reserved57;              // 57
    std::uint8_t versionDescriptors[16];  // 58-73: eight VERSION DESCRIPTORs, big-endian
    std::uint8_t reserved74[22];          // 74-95
    std::uint8_t vendorSpecificTail[160];  // 96-255
};

// REPORT LUNS parameter data: LUN LIST LENGTH (bytes 0-3, big-endian), four
// reserved bytes, then the 8-byte logical unit numbers; the list goes on in
// the caller's memory as far as the length the caller gives.
struct spc_report_luns_data {
    std::uint8_t lunListLength[4];
    std::uint8_t reserved[4];
    std::uint8_t lun[1][8];
};

// One command descriptor of REPORT SUPPORTED OPERATION CODES (all commands).
struct spc_supported_opcode_descriptor {
    std::uint8_t opcode;            // 0: OPERATION CODE
    std::uint8_t reserved1;         // 1
    std::uint8_t serviceAction[2];  // 2-3: SERVICE ACTION, big-endian
    std::uint8_t reserved4;         // 4
    std::uint8_t flags;             // 5: CTDP (bit 1), SERVACTV (bit 0)
    std::uint8_t cdbLength[2];      // 6-7: CDB LENGTH, big-endian
};

// PREVENT field of PREVENT ALLOW MEDIUM REMOVAL. The type is fixed so that any
// int a caller passes is a value of it; the method masks it to the field.
enum _SPC_MEDIUM_REMOVAL_MODES : int {
    SPC_MEDIUM_REMOVAL_ALLOWED = 0,
    SPC_MEDIUM_REMOVAL_PREVENTED = 1,
    SPC_MEDIUM_REMOVAL_OBSOLETE_2 = 2,
    SPC_MEDIUM_REMOVAL_OBSOLETE_3 = 3
};

// SELECT REPORT field of REPORT LUNS. The type is fixed so that any int a
// caller passes is a value of it; the method sends its low byte.
enum _SPC_REPORT_LUNS_SELECT : int {
    SPC_REPORT_LUNS_ALL_ADDRESSABLE = 0x00,
    SPC_REPORT_LUNS_WELL_KNOWN = 0x01,
    SPC_REPORT_LUNS_ALL = 0x02,
    SPC_REPORT_LUNS_ADMINISTRATIVE = 0x10,
    SPC_REPORT_LUNS_SUBSIDIARY_OF_ADMINISTRATIVE = 0x11,
    SPC_REPORT_LUNS_SUBSIDIARY_OF_SELECTED = 0x12
};

// SELF-TEST CODE field of SEND DIAGNOSTIC. The type is fixed so that any int
// a caller passes is a value of it; the method masks it to the field.
enum _SPC_DIAGNOSTIC_TYPES : int {
    SPC_DIAGNOSTIC_DEFAULT_SELFTEST = 0,
    SPC_DIAGNOSTIC_BACKGROUND_SHORT = 1,
    SPC_DIAGNOSTIC_BACKGROUND_EXTENDED = 2,
    SPC_DIAGNOSTIC_ABORT_BACKGROUND = 4,
    SPC_DIAGNOSTIC_FOREGROUND_SHORT = 5,
    SPC_DIAGNOSTIC_FOREGROUND_EXTENDED = 6
};

// One parameter of the SELF-TEST RESULTS log page (10h); the page holds 20.
struct self_test_log_parameter_t {
    std::uint8_t parameterCode[2];     // 0-1: 0001h (most recent) to 0014h, big-endian
    std::uint8_t control;              // 2
    std::uint8_t parameterLength;      // 3
    std::uint8_t codeAndResults;       // 4: SELF-TEST CODE (7..5), SELF-TEST RESULTS (3..0)
    std::uint8_t selfTestNumber;       // 5
    std::uint8_t powerOnHours[2];      // 6-7: ACCUMULATED POWER ON HOURS
    std::uint8_t firstFailure[8];      // 8-15: ADDRESS OF FIRST FAILURE
    std::uint8_t senseKey;             // 16: SENSE KEY (3..0)
    std::uint8_t asc;                  // 17
    std::uint8_t ascq;                 // 18
    std::uint8_t vendorSpecific;       // 19
};

static_assert(sizeof(self_test_log_parameter_t) == 20, "self-test log parameters are 20 bytes");
static_assert(sizeof(scsi_inquiry_t) == 256, "standard INQUIRY data are 256 bytes");
static_assert(offsetof(scsi_inquiry_t, vendorId) == 8, "vendor identification at byte 8");
static_assert(offsetof(scsi_inquiry_t, productId) == 16, "product identification at byte 16");
static_assert(offsetof(scsi_inquiry_t, productRevision) == 32, "product revision at byte 32");
static_assert(offsetof(scsi_inquiry_t, versionDescriptors) == 58, "version descriptors at byte 58");
static_assert(sizeof(spc_supported_opcode_descriptor) == 8, "command descriptors are 8 bytes");
static_assert(sizeof(spc_report_luns_data) == 16, "LUN list header and one LUN");

class ScsiSBCDevice;
class ScsiMMCDevice;

// Sole owner of the cached standard INQUIRY data.
typedef qln::TransferResource<qln::PointerStorage<scsi_inquiry_t, 0, 3>> InquiryHolder;

// A device of the primary command set. Copies share the transport of the
// device core; the cached INQUIRY data have one owner and move to a copy.
// Like its base it has no virtual operations.
class DRAVIK_API ScsiSPCDevice : public ScsiDevice {
public:
    enum { INQUIRY_DATA_SIZE = 256 };

    explicit ScsiSPCDevice(const qln::SharedFileHandle& fileHandle);
    // Takes the accessor out of the holder (an empty holder: no transport).
    explicit ScsiSPCDevice(AccessorTransfer accessor);
    // Shares the device's transport, its last result and its time-out.
    explicit ScsiSPCDevice(const ScsiDevice& device);
    // The copy takes the cached INQUIRY data over; the source has none
    // afterwards and reads them again when it needs them.
    ScsiSPCDevice(const ScsiSPCDevice& other);
    ScsiSPCDevice(ScsiSPCDevice&& other);
    ScsiSPCDevice& operator=(const ScsiSPCDevice& other);
    ScsiSPCDevice& operator=(ScsiSPCDevice&& other);
    ~ScsiSPCDevice();

    ScsiDevice& getScsiDevice() { return *this; }
    const ScsiDevice& getScsiDevice() const { return *this; }

    // INQUIRY of `length` bytes into `buffer`: the standard data (evpd false,
    // pageCode 0) or the vital product data page `pageCode` (evpd true). A
    // short VPD answer that holds its whole page (PAGE LENGTH of bytes 2-3,
    // plus 4) is accepted; a VPD answer of another page fails with
    // CMD_RESULT_VPD_MISMATCH.
    bool inquiry(std::uint8_t pageCode, void* buffer, std::uint16_t length, bool evpd);
    // Makes sure the standard INQUIRY data are cached (read from the device
    // unless useCache is set and they are cached already) and copies them
    // into `data` when given. True exactly when data are cached.
    bool inquiry(scsi_inquiry_t* data, bool useCache);

    // Fields of the standard INQUIRY data (read once, then from the cache);
    // the empty text when the device does not report them.
    qln::String getVendorId();
    qln::String getProductId();
    qln::String getProductRevision();
    // The company behind the vendor identification; empty when unknown.
    qln::String getVendorName();

    bool testUnitReady();
    // 252 bytes of sense data into `senseData`, zeroed first; a short answer
    // is a success.
    bool requestSense(void* senseData);
    // Cumulative values of a log page; `length` bytes into `buffer`.
    bool logSense(std::uint8_t pageCode, void* buffer, std::uint16_t length,
                  std::uint16_t parameterPointer, std::uint8_t subpageCode);
    // Current values of a mode page (block descriptors disabled): the page
    // data after the mode parameter header, at most `length` bytes, into
    // `buffer`; the header's MODE DATA LENGTH into `total` when given.
    bool modeSense6(std::uint8_t pageCode, void* buffer, std::uint8_t length, std::uint8_t subpageCode,
                    std::uint8_t* total);
    bool modeSense10(std::uint8_t pageCode, void* buffer, std::uint16_t length,
                     std::uint8_t subpageCode, std::uint16_t* total);
    bool modeSelect6(void* buffer, std::uint8_t length, bool pf, bool sp);
    bool modeSelect10(void* buffer, std::uint16_t length, bool pf, bool sp);
    bool preventAllowMediumRemoval(_SPC_MEDIUM_REMOVAL_MODES mode);
    bool reportLUNS(spc_report_luns_data* data, std::uint32_t length, _SPC_REPORT_LUNS_SELECT select);
    // The device's list of supported commands replaces the array's contents
    // on success; on failure the array stays as it was. A list shorter than
    // asked for counts once its 4-byte header arrived, and only the whole
    // descriptors that arrived are taken. The first argument is not read.
    bool reportSupportedOpCodes(std::uint8_t unused, std::uint8_t requestedOpCode,
                                qln::Array<spc_supported_opcode_descriptor>& descriptors);
    // Whether one command (operation code and service action) is supported
    // as the standard defines it; `supported` is set on success only.
    bool isOpCodeAndServiceActionSupported(std::uint8_t opCode, std::uint16_t serviceAction,
                                           bool& supported);
    // `timeoutMs` 0: the device's default time-out.
    bool sendDiagnostic(_SPC_DIAGNOSTIC_TYPES selfTestCode, bool devOffL, bool unitOffL,
                        void* parameterList, std::uint16_t parameterListLength, std::uint32_t timeoutMs);
    // Fills the buffer's whole length; with inc512 the length must be a
    // non-zero multiple of 512.
    bool securityProtocolIn(std::uint8_t securityProtocol, std::uint16_t protocolSpecific,
                            qln::Buffer<unsigned char>& buffer, bool inc512);

    // Page support, each list read from the device on first demand; the VPD
    // and mode lists are read again when `refresh` is set.
    bool hasLogPage(std::uint8_t pageCode);
    bool hasVPDPage(std::uint8_t pageCode, bool refresh);
    bool hasModePage(std::uint8_t pageCode, std::uint8_t subpageCode, bool useModeSense10, bool refresh);
    // "0x<code> <name>" for each supported log page; the array is left alone
    // when the list cannot be read.
    bool availLogPages(qln::Array<qln::String>& pages);
    qln::String getLogPageString(std::uint8_t pageCode) const;
    qln::String getVPDPageString(std::uint8_t pageCode) const;
    // The unit serial number (VPD page 80h); with `force` asked for even when
    // the device does not list the page. Empty when none is available.
    qln::String getSerialNumber(bool force);

    // The 20 parameters of the SELF-TEST RESULTS log page; `raiseMessage`
    // logs a malformed page as an error rather than a warning.
    bool getSelfTestResults(self_test_log_parameter_t (*results)[20], bool raiseMessage);
    bool startBackgroundTest(bool extended);
    // Whether a self-test runs; `percent` (may be null) gets its progress, -1
    // when the device reports none.
    bool isSelfTestRunning(std::int8_t* percent);
    bool getTemperature(std::uint8_t& temperature);
    bool getMaxTemperature(std::uint8_t& temperature);
    // Whether the device is an ATA or ATAPI device behind a translation layer.
    bool isATADevice();

protected:
    // PERIPHERAL DEVICE TYPE of the cached INQUIRY data, SPC_UNKNOWN_DEVICE_TYPE
    // while nothing is cached. Sends nothing.
    _SPC_PERIPHERAL_DEVICE_TYPES cachedPeripheralDeviceType() const;

    // A copy of the cached data can be handed over from a const source.
    mutable InquiryHolder cachedInquiry;
    std::uint32_t logPages[2];  // supported log pages 00h-3Fh: bit c % 32 of word c / 32
    std::uint32_t vpdPages[8];  // supported VPD pages 00h-FFh, same order
    std::multimap<std::uint8_t, std::uint8_t> modePages;  // page code -> subpage code
    std::uint32_t cacheFlags;   // bit 0 log, bit 1 VPD, bit 2 mode page list read

private:
    friend class ScsiSBCDevice;
    friend class ScsiMMCDevice;

    // Forgets the page lists (not the INQUIRY data).
    void clearCachedInfo();
    // Bytes of a `requested`-byte transfer that arrived, by the last result.
    std::uint32_t bytesArrived(std::uint32_t requested) const;
    // The bytes of an answer that counts: one that arrived whole (`sent`), or
    // a short one whose `header` bytes arrived; 0 for any other outcome.
    std::uint32_t answerWithHeader(bool sent, std::uint32_t requested, std::uint32_t header) const;
    void copyPageSets(const ScsiSPCDevice& other);
    // Both MODE SENSE forms: header of `headerSize` bytes (4 or 8) first, then
    // the whole answer; the header's MODE DATA LENGTH goes to `total`.
    bool modeSense(bool tenByte, std::uint8_t pageCode, void* buffer, std::uint32_t length,
                   std::uint8_t subpageCode, std::uint8_t* total6, std::uint16_t* total10);
};

}  // namespace scsi
