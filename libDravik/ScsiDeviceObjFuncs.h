/* The table of device operations that Dravik.dll exports for modules that do
 * not link its classes: ScsiDeviceObjFuncs_v2, found by its plain name on
 * both widths. Usable from C and C++.
 *
 * The objects behind the pointers are Dravik's own (a scsi::ScsiDevice, the
 * shared file handle a device is opened on, the sense-byte buffer, the result
 * record); a C module receives them from C++ code built with the same
 * compiler and passes them through. The result record's layout is fixed (see
 * ScsiTypes.h): 252 sense bytes, the four-byte sense summary, then the 32-bit
 * result code and detail.
 *
 * Entries send_scsi_cmd, getSenseBuffer and getResultData are the device's
 * member functions themselves: the device is their first argument, passed as
 * the platform passes the object to a member (on 32-bit Windows in ECX, the
 * "thiscall" convention). The others are plain C functions. */
#pragma once

#include "DravikConfig.h"

#if defined(_WIN64) || !(defined(__i386__) || defined(_M_IX86))
#define DRAVIK_MEMBER_CALL
#elif defined(__GNUC__)
#define DRAVIK_MEMBER_CALL __attribute__((thiscall))
#else
#define DRAVIK_MEMBER_CALL __thiscall
#endif

#ifdef __cplusplus

#include "ScsiDevice.h"
#include "ScsiTypes.h"
#include "qln/Buffer.h"
#include "qln/FileHandle.h"

typedef scsi::ScsiDevice DravikScsiDevice;
typedef qln::SharedFileHandle DravikSharedFileHandle;
typedef qln::Buffer<unsigned char> DravikSenseBuffer;
typedef scsi::command_result_info DravikResultData;
typedef scsi::DXFER_DIRECTION DravikDirection;
typedef bool DravikBool;
/* Arguments and results that C++ passes by reference. */
#define DRAVIK_REF(type) type&

extern "C" {

#else /* C */

#include <stdbool.h>

typedef struct DravikScsiDevice DravikScsiDevice;
typedef struct DravikSharedFileHandle DravikSharedFileHandle;
typedef struct DravikSenseBuffer DravikSenseBuffer;
typedef struct DravikResultData DravikResultData;
/* 0 to the device, 1 from the device, 2 no data. */
typedef int DravikDirection;
typedef bool DravikBool;
#define DRAVIK_REF(type) type*

#endif

typedef struct ScsiDeviceObjFuncs_v2_t {
    /* A new device on the handle, reached through the system's pass-through. */
    DravikScsiDevice* (__cdecl* createScsiDevice)(DRAVIK_REF(const DravikSharedFileHandle) fileHandle);
    /* Destroys and frees the device; null does nothing. */
    void (__cdecl* destroyScsiDevice)(DravikScsiDevice* device);
    /* Sends one command block; true when the command succeeded. A timeout of
     * 0 ms means the device's default. */
    DravikBool (DRAVIK_MEMBER_CALL* send_scsi_cmd)(DravikScsiDevice* device, void* cdb,
                                                   unsigned int cdbLen, void* data,
                                                   unsigned int dataLen, DravikDirection direction,
                                                   unsigned int timeoutMs);
    /* The 252 sense bytes of the last command into the buffer. */
    void (DRAVIK_MEMBER_CALL* getSenseBuffer)(DravikScsiDevice* device,
                                              DRAVIK_REF(DravikSenseBuffer) out);
    /* A new device sharing the given device's transport. */
    DravikScsiDevice* (__cdecl* copyScsiDevice)(const DravikScsiDevice* device);
    /* The device's result record of the last command. */
    DRAVIK_REF(const DravikResultData)(DRAVIK_MEMBER_CALL* getResultData)(const DravikScsiDevice* device);
} ScsiDeviceObjFuncs_v2_t;

DRAVIK_API extern const ScsiDeviceObjFuncs_v2_t ScsiDeviceObjFuncs_v2;

#ifdef __cplusplus
}  /* extern "C" */
#endif
