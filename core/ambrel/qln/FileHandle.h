// Opening and closing files and devices for the shared holders.
#pragma once

#include "qln/Config.h"
#include "qln/SharedResource.h"
#include "qln/String.h"

namespace qln {

// Arguments of CreateFileW. Flag byte bit 0 asks for overlapped I/O; the
// other bits are reserved and must be 0.
struct CreateFileOpenArgs {
    String path;
    Uint32 desiredAccess;
    Uint32 shareMode;
    Uint32 creationDisposition;
    Uint8 flags;
};

struct AMBREL_API FileHandleResManager {
    typedef CreateFileOpenArgs OpenArgs;
    // The opened handle, or INVALID_HANDLE_VALUE (-1) when it cannot be opened.
    static Handle open(const CreateFileOpenArgs& args);
    // Closes the handle and stores -1.
    static void destroy(Handle& handle);
};

typedef DescriptorStorage<Handle, -1, FileHandleResManager> FileHandleStorage;
typedef SharedResource<FileHandleStorage, 0> SharedFileHandle;

}  // namespace qln
