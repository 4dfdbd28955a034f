/* The exported device table used as a C module uses it. */
#include "TableRun.h"

#include <stdint.h>
#include <string.h>

/* The result record as a foreign module lays it out. */
typedef struct ResultRecord {
    unsigned char senseBuffer[252];
    unsigned char status;
    unsigned char validAndKey; /* bit 0 valid, bits 4-7 sense key */
    unsigned char asc;
    unsigned char ascq;
    int32_t code;
    uint32_t detail;
} ResultRecord;

typedef char ResultRecordIs264Bytes[sizeof(ResultRecord) == 264 ? 1 : -1];

static const ResultRecord* record(const DravikResultData* data) {
    return (const ResultRecord*)(const void*)data;
}

void runDeviceTable(const ScsiDeviceObjFuncs_v2_t* table, const DravikSharedFileHandle* fileHandle,
                    DravikSenseBuffer* sense, TableRunResult* out) {
    unsigned char testUnitReady[6] = {0x00, 0, 0, 0, 0, 0};
    unsigned char inquiry[6] = {0x12, 0, 0, 0, 36, 0};
    DravikScsiDevice* device;
    DravikScsiDevice* copy;
    const ResultRecord* r;

    memset(out, 0, sizeof(*out));
    device = table->createScsiDevice(fileHandle);
    out->created = device != NULL;
    if (device == NULL)
        return;

    out->testUnitReadyOk = table->send_scsi_cmd(device, testUnitReady, 6, NULL, 0, 2, 0);
    table->getSenseBuffer(device, sense);
    r = record(table->getResultData(device));
    out->resultIsDevice = (const void*)r == (const void*)device;
    out->resultCode = r->code;
    out->resultDetail = r->detail;
    out->senseValid = r->validAndKey & 1u;
    out->senseKey = r->validAndKey >> 4;
    out->asc = r->asc;
    out->ascq = r->ascq;
    out->firstSenseByte = r->senseBuffer[0];

    copy = table->copyScsiDevice(device);
    out->copied = copy != NULL && copy != device;
    if (copy != NULL) {
        out->inquiryOk = table->send_scsi_cmd(copy, inquiry, 6, out->inquiry, 36, 1, 0);
        out->copyResultCode = record(table->getResultData(copy))->code;
        out->originalCodeAfterCopy = record(table->getResultData(device))->code;
        table->destroyScsiDevice(copy);
    }
    table->destroyScsiDevice(device);
    table->destroyScsiDevice(NULL);
}
