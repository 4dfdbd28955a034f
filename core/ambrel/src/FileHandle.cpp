#include "qln/FileHandle.h"

#include <windows.h>

namespace qln {

Handle FileHandleResManager::open(const CreateFileOpenArgs& args) {
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    if (args.flags & 1)
        attributes |= FILE_FLAG_OVERLAPPED;
    HANDLE h = CreateFileW(args.path.getUCS2Buffer(), args.desiredAccess, args.shareMode, nullptr,
                           args.creationDisposition, attributes, nullptr);
    return h;
}

void FileHandleResManager::destroy(Handle& handle) {
    if (handle != INVALID_HANDLE_VALUE && handle != nullptr)
        CloseHandle(handle);
    handle = INVALID_HANDLE_VALUE;
}

}  // namespace qln
