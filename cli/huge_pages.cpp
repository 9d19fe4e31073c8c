// The command's memory on transparent huge pages.
//
// Extracting a document of a few megabytes fills a handful of large buffers
// once each (the input, the decoded text, the rendered text, the UTF-8
// output) and, for XML formats, a tree of many small nodes. Each first touch
// of a 4 KB page is a page fault, and on virtual machines a fault costs
// several microseconds: for a 4 MB Word file the faults took more time than
// all the decoding. Huge pages fault in 2 MB at a time. So:
//  - every allocation from 1 MB up gets a mapping of its own, aligned to 2 MB
//    and marked for huge pages; it is unmapped on delete;
//  - the heap, where the smaller ones live, grows 64 MB of address space at a
//    time (memory is only used as it is touched), marked for huge pages too.
// Where the system does not give huge pages the advice changes nothing.
//
// The global operator new and delete are replaced in the command only: the
// library itself allocates as any C++ code does. The other forms of new and
// delete (arrays, sized, nothrow) forward to these two in the C++ runtime.
// Builds with AddressSanitizer keep its allocator, which checks every block.
#include "cli/huge_pages.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <new>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILLMARK_NO_LARGE_ALLOCATIONS 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define QUILLMARK_NO_LARGE_ALLOCATIONS 1
#endif

#if defined(__linux__) && defined(__GLIBC__) && !defined(QUILLMARK_NO_LARGE_ALLOCATIONS)

namespace {

constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kLargeFrom = size_t{1} << 20;
// A block starts this far into its mapping, which keeps the alignment every
// allocation needs and tells large blocks from malloc's at a glance: only a
// pointer 64 bytes past a 2 MB boundary can be one of ours.
constexpr size_t kOffset = 64;
// At most this many large blocks live at once; beyond, malloc serves them.
constexpr int kMaxBlocks = 64;

struct Block {
    uintptr_t base = 0;  // 0: free slot
    size_t length = 0;
};

std::mutex gMutex;
Block gBlocks[kMaxBlocks];
std::atomic<int> gLive{0};

void* MapLarge(size_t size) {
    if (size > SIZE_MAX - kOffset - 2 * kHugePage) return nullptr;
    size_t length = (size + kOffset + kHugePage - 1) & ~(kHugePage - 1);
    // Map one huge page more than needed and trim both ends to a 2 MB
    // boundary, so every page of the block can be a huge page.
    size_t mapped = length + kHugePage;
    void* raw = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    uintptr_t start = reinterpret_cast<uintptr_t>(raw);
    uintptr_t base = (start + kHugePage - 1) & ~(kHugePage - 1);
    if (base > start) munmap(raw, base - start);
    uintptr_t end = start + mapped;
    if (end > base + length) munmap(reinterpret_cast<void*>(base + length), end - (base + length));
    madvise(reinterpret_cast<void*>(base), length, MADV_HUGEPAGE);  // advice only: failure is harmless
    {
        std::lock_guard<std::mutex> lock(gMutex);
        for (Block& b : gBlocks) {
            if (b.base != 0) continue;
            b = {base, length};
            gLive.fetch_add(1, std::memory_order_relaxed);
            return reinterpret_cast<void*>(base + kOffset);
        }
    }
    munmap(reinterpret_cast<void*>(base), length);  // no slot left: malloc serves it
    return nullptr;
}

// True (and the block unmapped) when p is one of ours.
bool UnmapLarge(void* p) {
    uintptr_t at = reinterpret_cast<uintptr_t>(p);
    if ((at & (kHugePage - 1)) != kOffset || gLive.load(std::memory_order_relaxed) == 0) return false;
    Block found;
    {
        std::lock_guard<std::mutex> lock(gMutex);
        for (Block& b : gBlocks) {
            if (b.base != at - kOffset) continue;
            found = b;
            b = Block();
            gLive.fetch_sub(1, std::memory_order_relaxed);
            break;
        }
    }
    if (found.base == 0) return false;
    munmap(reinterpret_cast<void*>(found.base), found.length);
    return true;
}

}  // namespace

namespace quillmark::cli {

void UseHugePages() {
    constexpr size_t kHeapPad = size_t{64} << 20;
    mallopt(M_TOP_PAD, kHeapPad);
    mallopt(M_TRIM_THRESHOLD, 2 * kHeapPad);  // and keeps it
    // Make the heap grow now: allocations (below malloc's mmap threshold)
    // until the break moves.
    char* before = static_cast<char*>(sbrk(0));
    void* probes[8] = {};
    for (void*& p : probes) {
        p = std::malloc(96 << 10);
        if (static_cast<char*>(sbrk(0)) != before) break;
    }
    char* after = static_cast<char*>(sbrk(0));
    for (void* p : probes) std::free(p);
    uintptr_t from = (reinterpret_cast<uintptr_t>(before) + kHugePage - 1) & ~(kHugePage - 1);
    uintptr_t to = reinterpret_cast<uintptr_t>(after) & ~(kHugePage - 1);
    if (before != reinterpret_cast<char*>(-1) && to > from)
        madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);  // advice only
}

void UseDefaultHeapGrowth() {
    mallopt(M_TOP_PAD, 128 << 10);  // malloc's default
    mallopt(M_TRIM_THRESHOLD, 128 << 10);
    malloc_trim(0);
}

}  // namespace quillmark::cli

void* operator new(std::size_t size) {
    if (size >= kLargeFrom)
        if (void* p = MapLarge(size)) return p;
    for (;;) {
        if (void* p = std::malloc(size ? size : 1)) return p;
        std::new_handler handler = std::get_new_handler();
        if (!handler) throw std::bad_alloc();
        handler();
    }
}

void operator delete(void* p) noexcept {
    if (!p || UnmapLarge(p)) return;
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept { operator delete(p); }

#else

namespace quillmark::cli {
void UseHugePages() {}
void UseDefaultHeapGrowth() {}
}  // namespace quillmark::cli

#endif
