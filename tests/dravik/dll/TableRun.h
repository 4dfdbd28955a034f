/* A run of the exported device table from C (TableRun.c): what the C side
 * saw, for the C++ test to check. */
#pragma once

#include "ScsiDeviceObjFuncs.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct TableRunResult {
    int created;                /* createScsiDevice answered a device */
    int testUnitReadyOk;        /* send_scsi_cmd of TEST UNIT READY */
    int resultIsDevice;         /* getResultData answered the device's own address */
    int resultCode;             /* read from the record as C sees it */
    unsigned int resultDetail;
    unsigned int senseKey;
    unsigned int asc;
    unsigned int ascq;
    unsigned int senseValid;
    unsigned char firstSenseByte;
    int copied;                 /* copyScsiDevice answered another device */
    int inquiryOk;              /* send_scsi_cmd of INQUIRY through the copy */
    unsigned char inquiry[36];
    int copyResultCode;
    int originalCodeAfterCopy;  /* the original's record after the copy's command */
} TableRunResult;

/* Creates a device on `fileHandle`, sends TEST UNIT READY, reads its sense
 * bytes into `sense` and its result record, copies the device, sends INQUIRY
 * through the copy, then destroys both and a null device. */
void runDeviceTable(const ScsiDeviceObjFuncs_v2_t* table, const DravikSharedFileHandle* fileHandle,
                    DravikSenseBuffer* sense, TableRunResult* out);

#ifdef __cplusplus
}
#endif
