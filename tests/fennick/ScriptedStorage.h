// Scripted storage for the storage-query, volume and drive tests, through
// import-table fakes of the test program:
// - ScriptedDevices: devices opened by a path of the test's own, each with its
//   answers per control code;
// - ScriptedVolumes: volumes added to the machine's volume search (or put in
//   its place), with their mount points, drive types and network drives.
// Both answer only for what the test added and pass everything else to the
// system. One object of each at a time.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>
#include <winioctl.h>

#include "ImportFakes.h"

namespace fennick_test {

// A device answer: the bytes (copied up to the output length) or an error.
struct IoAnswer {
    bool succeeds;
    DWORD error;
    std::vector<unsigned char> bytes;
};

struct IoCall {
    std::wstring path;  // of the device the handle was opened for
    DWORD code;
    std::vector<unsigned char> input;
    DWORD outputSize;
};

struct OpenCall {
    std::wstring path;
    DWORD access;
    DWORD share;
    DWORD disposition;
};

struct ScriptedDevice {
    DWORD openError = 0;  // when not 0, opening fails with this error
    std::map<DWORD, IoAnswer> answers;  // a code without answer fails with error 1

    void answer(DWORD code, const std::vector<unsigned char>& bytes) {
        answers[code] = IoAnswer{true, 0, bytes};
    }
    void refuse(DWORD code, DWORD error) { answers[code] = IoAnswer{false, error, {}}; }
};

template <class Record>
std::vector<unsigned char> bytesOf(const Record& record) {
    const unsigned char* raw = reinterpret_cast<const unsigned char*>(&record);
    return std::vector<unsigned char>(raw, raw + sizeof(record));
}

inline DISK_GEOMETRY geometryOf(LONGLONG cylinders, DWORD tracks, DWORD sectors, DWORD bytes,
                                MEDIA_TYPE media = FixedMedia) {
    DISK_GEOMETRY geometry = {};
    geometry.Cylinders.QuadPart = cylinders;
    geometry.MediaType = media;
    geometry.TracksPerCylinder = tracks;
    geometry.SectorsPerTrack = sectors;
    geometry.BytesPerSector = bytes;
    return geometry;
}

class ScriptedDevices {
public:
    ScriptedDevices();
    ~ScriptedDevices();
    bool applied() const;

    // The device opened by `path` (letter case ignored).
    ScriptedDevice& add(const std::wstring& path);

    const std::vector<OpenCall>& opens() const { return opens_; }
    const std::vector<IoCall>& calls() const { return calls_; }
    void clearCalls() {
        opens_.clear();
        calls_.clear();
    }
    // Handles of the scripted devices that are still open.
    std::size_t openHandles() const { return handles_.size(); }

private:
    ScriptedDevices(const ScriptedDevices&) = delete;
    ScriptedDevices& operator=(const ScriptedDevices&) = delete;
    friend struct ScriptedDevicesAccess;

    std::map<std::wstring, ScriptedDevice> devices_;  // by upper-cased path
    std::map<HANDLE, std::wstring> handles_;
    std::vector<OpenCall> opens_;
    std::vector<IoCall> calls_;
    qln::test::ImportPatches patches_;
};

struct ScriptedVolume {
    std::wstring name;  // "\\?\Volume{...}\"
    // As GetVolumePathNamesForVolumeNameW lists them; each "X:\" of them is
    // also a logical drive that resolves to the volume.
    std::vector<std::wstring> mountPoints;
    UINT driveType = DRIVE_FIXED;  // GetDriveTypeW of the name
    bool searched = true;          // returned by the volume search
    // Errors of the next mount-point requests, one a call (ERROR_MORE_DATA
    // reports the length the list needs); afterwards the list is answered.
    std::vector<DWORD> pathNameRefusals;
};

class ScriptedVolumes {
public:
    // With `replaceMachine` the machine's own volumes and drives are left
    // out of the search.
    explicit ScriptedVolumes(bool replaceMachine = false);
    ~ScriptedVolumes();
    // The volume search, its names and mount points are faked.
    bool applied() const;
    // GetDriveTypeW is faked too (a program that never asks for drive types
    // does not import it).
    bool driveTypesApplied() const { return driveTypePatch_->applied(); }

    ScriptedVolume& add(const std::wstring& name, const std::vector<std::wstring>& mountPoints);
    // A root ("\\?\...\") that resolves to a volume name.
    void resolveRoot(const std::wstring& root, const std::wstring& name);
    // A network drive letter that resolves to `name`.
    void addNetworkDrive(char letter, const std::wstring& name);

    // Buffer lengths of the mount-point requests for the scripted volumes.
    const std::vector<DWORD>& pathNameCalls() const { return pathNameCalls_; }
    // Drive indexes asked of the network-drive test.
    const std::vector<int>& netDriveCalls() const { return netDriveCalls_; }
    unsigned searches() const { return searches_; }
    void clearCalls() {
        pathNameCalls_.clear();
        netDriveCalls_.clear();
        searches_ = 0;
    }

private:
    ScriptedVolumes(const ScriptedVolumes&) = delete;
    ScriptedVolumes& operator=(const ScriptedVolumes&) = delete;
    friend struct ScriptedVolumesAccess;

    ScriptedVolume* find(const wchar_t* name);
    // The scripted name `root` resolves to; null for roots of the machine.
    const std::wstring* resolve(const wchar_t* root) const;
    DWORD scriptedDrives() const;

    bool replaceMachine_;
    std::vector<std::unique_ptr<ScriptedVolume>> volumes_;
    std::map<std::wstring, std::wstring> roots_;  // upper-cased root to name
    std::map<int, std::wstring> networkDrives_;
    std::vector<DWORD> pathNameCalls_;
    std::vector<int> netDriveCalls_;
    unsigned searches_ = 0;
    std::map<HANDLE, std::vector<std::wstring>> searchesOpen_;
    qln::test::ImportPatches patches_;
    std::unique_ptr<qln::test::ImportPatch> driveTypePatch_;
};

}  // namespace fennick_test
