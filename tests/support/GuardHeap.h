// A guard-page heap for the modules under test. While installed, the heap
// imports of the named modules (the C allocation functions and the C++
// operator new and delete forms) go to an allocator that places every block
// at the very end of its own pages, followed by a no-access page, and that
// makes a freed block inaccessible. A read or write past a block, and any use
// after free, faults where it happens instead of passing unseen.
//
// The release imports of the test program itself are routed here too, so
// that a block a module made and the program frees (an inline destructor of a
// returned object) reaches the same allocator. Blocks of the ordinary heap
// are told apart and freed by the ordinary heap.
//
// Install once, before the first allocation that is to be watched, and keep
// it for the life of the process: a guarded block must never reach the
// ordinary heap's free.
#pragma once

#include <windows.h>

#include <cstddef>
#include <memory>
#include <vector>

#include "ImportPatch.h"

namespace qln {
namespace test {

class GuardHeap {
public:
    // Patches the allocation and release imports of each module, and the
    // release imports of the calling program.
    explicit GuardHeap(const std::vector<const wchar_t*>& modules);
    ~GuardHeap();

    // How many imports were replaced (0 means nothing is watched).
    std::size_t patched() const { return patches_.size(); }

    // Guarded blocks handed out so far, by every patched module.
    static long allocations();

    // A block of exactly `size` bytes that ends at a no-access page; for the
    // caller's own buffers. Its alignment is the largest power of two up to
    // 16 that divides the size.
    static void* allocate(std::size_t size);
    static void release(void* block);
    // True while the bytes just before a guarded block are as the allocator
    // wrote them (nothing was written in front of the block).
    static bool frontIntact(const void* block);

private:
    GuardHeap(const GuardHeap&) = delete;
    GuardHeap& operator=(const GuardHeap&) = delete;
    void patch(HMODULE module, const char* dll, const char* name, void* replacement);

    std::vector<std::unique_ptr<ImportPatch>> patches_;
};

// A caller's buffer of `size` bytes on the guarded heap, filled with 0xCC.
class GuardedBuffer {
public:
    explicit GuardedBuffer(std::size_t size);
    ~GuardedBuffer();
    unsigned char* data() { return data_; }
    bool frontIntact() const { return GuardHeap::frontIntact(data_); }

private:
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;
    unsigned char* data_;
};

}  // namespace test
}  // namespace qln
