#include "GuardHeap.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace qln {
namespace test {

namespace {

// Written just in front of every guarded block.
struct BlockHeader {
    std::uint32_t magic;
    std::uint32_t reserved;
    std::size_t size;
    void* region;
};
static_assert(sizeof(BlockHeader) == 16 || sizeof(BlockHeader) == 24, "header size");

const std::uint32_t kMagic = 0x47554152u;  // "GUAR"
const std::size_t kQuarantine = 4096;       // freed regions kept inaccessible

std::atomic<long> g_allocations(0);
CRITICAL_SECTION g_lock;
bool g_lockReady = false;
void* g_quarantine[kQuarantine];
std::size_t g_quarantined = 0;

typedef void(__cdecl* FreeFunction)(void*);
typedef void*(__cdecl* ReallocFunction)(void*, std::size_t);
FreeFunction g_realFree = nullptr;
ReallocFunction g_realRealloc = nullptr;

void readyLock() {
    if (!g_lockReady) {
        InitializeCriticalSection(&g_lock);
        g_lockReady = true;
    }
}

std::size_t pageSize() {
    static std::size_t size = 0;
    if (size == 0) {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        size = info.dwPageSize;
    }
    return size;
}

std::size_t alignmentFor(std::size_t size) {
    std::size_t alignment = 16;
    while (alignment > 1 && size % alignment != 0)
        alignment /= 2;
    return alignment;
}

BlockHeader headerOf(const void* block) {
    BlockHeader header;
    std::memcpy(&header, static_cast<const unsigned char*>(block) - sizeof(BlockHeader),
                sizeof(header));
    return header;
}

// 1: a live guarded block; 0: not one of ours; -1: a guarded block already
// freed (its pages are inaccessible).
int classify(const void* block) {
    if (block == nullptr)
        return 0;
    MEMORY_BASIC_INFORMATION info;
    const void* front = static_cast<const unsigned char*>(block) - sizeof(BlockHeader);
    if (VirtualQuery(front, &info, sizeof(info)) == 0 || info.State != MEM_COMMIT)
        return 0;
    if (info.Protect == PAGE_NOACCESS && info.Type == MEM_PRIVATE)
        return -1;
    if (info.Protect != PAGE_READWRITE || info.Type != MEM_PRIVATE)
        return 0;
    const BlockHeader header = headerOf(block);
    return header.magic == kMagic && header.region == info.AllocationBase ? 1 : 0;
}

void fault(const void* block) {
    // A freed guarded block: touch it so that the fault names the place.
    volatile const unsigned char* bytes = static_cast<const unsigned char*>(block);
    (void)bytes[0];
    std::abort();
}

void* guardedAllocate(std::size_t size) {
    const std::size_t page = pageSize();
    const std::size_t body = size + sizeof(BlockHeader) + 16;
    const std::size_t pages = (body + page - 1) / page + 1;
    unsigned char* region = static_cast<unsigned char*>(
        VirtualAlloc(nullptr, pages * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (region == nullptr)
        return nullptr;
    DWORD old = 0;
    VirtualProtect(region + (pages - 1) * page, page, PAGE_NOACCESS, &old);
    unsigned char* end = region + (pages - 1) * page;
    unsigned char* block = end - size;
    block -= reinterpret_cast<std::uintptr_t>(block) % alignmentFor(size);
    BlockHeader header = {};
    header.magic = kMagic;
    header.size = size;
    header.region = region;
    std::memcpy(block - sizeof(BlockHeader), &header, sizeof(header));
    ++g_allocations;
    return block;
}

void guardedRelease(void* block) {
    void* region = headerOf(block).region;
    MEMORY_BASIC_INFORMATION info;
    VirtualQuery(region, &info, sizeof(info));
    DWORD old = 0;
    EnterCriticalSection(&g_lock);
    VirtualProtect(region, info.RegionSize, PAGE_NOACCESS, &old);
    void*& slot = g_quarantine[g_quarantined++ % kQuarantine];
    if (slot != nullptr)
        VirtualFree(slot, 0, MEM_RELEASE);
    slot = region;
    LeaveCriticalSection(&g_lock);
}

// The replacements.
void* __cdecl guardMalloc(std::size_t size) {
    return guardedAllocate(size);
}

void* __cdecl guardCalloc(std::size_t count, std::size_t size) {
    if (size != 0 && count > SIZE_MAX / size)
        return nullptr;
    return guardedAllocate(count * size);  // fresh pages are zero
}

void __cdecl guardFree(void* block) {
    switch (classify(block)) {
    case 1:
        guardedRelease(block);
        return;
    case -1:
        fault(block);
        return;
    default:
        if (block != nullptr)
            g_realFree(block);
    }
}

void* __cdecl guardRealloc(void* block, std::size_t size) {
    switch (classify(block)) {
    case 0:
        if (block != nullptr)
            return g_realRealloc(block, size);
        return guardedAllocate(size);
    case -1:
        fault(block);
        return nullptr;
    default:
        break;
    }
    void* moved = guardedAllocate(size);
    if (moved == nullptr)
        return nullptr;
    const std::size_t old = headerOf(block).size;
    std::memcpy(moved, block, old < size ? old : size);
    guardedRelease(block);
    return moved;
}

void* __cdecl guardNew(std::size_t size) {
    void* block = guardedAllocate(size);
    if (block == nullptr)
        throw std::bad_alloc();
    return block;
}

void* __cdecl guardNewNothrow(std::size_t size, const std::nothrow_t&) {
    return guardedAllocate(size);
}

void __cdecl guardDelete(void* block) {
    guardFree(block);
}

void __cdecl guardDeleteSized(void* block, std::size_t) {
    guardFree(block);
}

void __cdecl guardDeleteNothrow(void* block, const std::nothrow_t&) {
    guardFree(block);
}

// Mangled names of the operator forms for this width (size_t is "j" on 32
// bits, "y" on 64).
#if SIZE_MAX == 0xFFFFFFFFu
#define QLN_SIZE_CODE "j"
#else
#define QLN_SIZE_CODE "y"
#endif

struct Replacement {
    const char* dll;
    const char* name;
    void* function;
    bool release;  // also patched in the test program
};

const Replacement kReplacements[] = {
    {"msvcrt.dll", "malloc", reinterpret_cast<void*>(&guardMalloc), false},
    {"msvcrt.dll", "calloc", reinterpret_cast<void*>(&guardCalloc), false},
    {"msvcrt.dll", "realloc", reinterpret_cast<void*>(&guardRealloc), true},
    {"msvcrt.dll", "free", reinterpret_cast<void*>(&guardFree), true},
    {"libstdc++-6.dll", "_Znw" QLN_SIZE_CODE, reinterpret_cast<void*>(&guardNew), false},
    {"libstdc++-6.dll", "_Zna" QLN_SIZE_CODE, reinterpret_cast<void*>(&guardNew), false},
    {"libstdc++-6.dll", "_Znw" QLN_SIZE_CODE "RKSt9nothrow_t",
     reinterpret_cast<void*>(&guardNewNothrow), false},
    {"libstdc++-6.dll", "_Zna" QLN_SIZE_CODE "RKSt9nothrow_t",
     reinterpret_cast<void*>(&guardNewNothrow), false},
    {"libstdc++-6.dll", "_ZdlPv", reinterpret_cast<void*>(&guardDelete), true},
    {"libstdc++-6.dll", "_ZdaPv", reinterpret_cast<void*>(&guardDelete), true},
    {"libstdc++-6.dll", "_ZdlPv" QLN_SIZE_CODE, reinterpret_cast<void*>(&guardDeleteSized), true},
    {"libstdc++-6.dll", "_ZdaPv" QLN_SIZE_CODE, reinterpret_cast<void*>(&guardDeleteSized), true},
    {"libstdc++-6.dll", "_ZdlPvRKSt9nothrow_t", reinterpret_cast<void*>(&guardDeleteNothrow),
     true},
    {"libstdc++-6.dll", "_ZdaPvRKSt9nothrow_t", reinterpret_cast<void*>(&guardDeleteNothrow),
     true},
};

}  // namespace

GuardHeap::GuardHeap(const std::vector<const wchar_t*>& modules) {
    readyLock();
    // The runtime's own functions, not an import slot that is about to change.
    HMODULE runtime = GetModuleHandleW(L"msvcrt.dll");
    g_realFree = reinterpret_cast<FreeFunction>(
        reinterpret_cast<void*>(GetProcAddress(runtime, "free")));
    g_realRealloc = reinterpret_cast<ReallocFunction>(
        reinterpret_cast<void*>(GetProcAddress(runtime, "realloc")));
    HMODULE program = GetModuleHandleW(nullptr);
    for (const Replacement& r : kReplacements) {
        if (r.release)
            patch(program, r.dll, r.name, r.function);
    }
    for (const wchar_t* name : modules) {
        HMODULE module = GetModuleHandleW(name);
        if (module == nullptr)
            continue;
        for (const Replacement& r : kReplacements)
            patch(module, r.dll, r.name, r.function);
    }
}

GuardHeap::~GuardHeap() {}

void GuardHeap::patch(HMODULE module, const char* dll, const char* name, void* replacement) {
    std::unique_ptr<ImportPatch> p(new ImportPatch(module, dll, name, replacement));
    if (p->applied())
        patches_.push_back(std::move(p));
}

long GuardHeap::allocations() {
    return g_allocations.load();
}

void* GuardHeap::allocate(std::size_t size) {
    readyLock();
    return guardedAllocate(size);
}

void GuardHeap::release(void* block) {
    if (classify(block) == 1)
        guardedRelease(block);
}

bool GuardHeap::frontIntact(const void* block) {
    return classify(block) == 1;
}

GuardedBuffer::GuardedBuffer(std::size_t size)
    : data_(static_cast<unsigned char*>(GuardHeap::allocate(size))) {
    if (data_ != nullptr)
        std::memset(data_, 0xCC, size);
}

GuardedBuffer::~GuardedBuffer() {
    GuardHeap::release(data_);
}

}  // namespace test
}  // namespace qln
