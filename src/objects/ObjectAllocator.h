#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <iosfwd>

#include "objects/OAException.h"

// How a pool lays out and checks its pages. The defaults describe a small,
// unchecked pool; the engine's own pools use DefaultMMConfig (BlockAllocator.h).
struct OAConfig {
    bool UseCPPMemManager = false; // bypass the pool: every block is its own heap array
    std::uint32_t ObjectsPerPage = 4;
    std::uint32_t MaxPages = 500;     // 0 = unlimited
    bool DebugOn = false;             // signature bytes and checked frees
    std::uint32_t PadBytes = 0;       // guard bytes on each side of a block
    std::uint32_t HeaderSize = 0;     // bytes before each block; the last one is the in-use flag
    std::uint32_t Alignment = 0;      // 0 or 1 = none
    std::uint32_t LeftAlignSize = 0;  // computed: filler after the page link
    std::uint32_t InterAlignSize = 0; // computed: filler after each block
    bool ThreadSafe = false;          // reported only; forces a header so blocks can be flagged
    std::uint32_t MinThreadBlocks = 1;
    std::uint32_t MaxThreadBlocks = 20;
};

// What a pool has done so far. The thread counters are reported for
// completeness and stay 0: pools are used from the main thread only.
struct OAStats {
    std::size_t ObjectSize = 0;  // client size of a block, as requested
    std::size_t FreeObjects = 0; // worked out when the statistics are asked for
    std::size_t ObjectsInUse = 0;
    std::size_t ThreadObjectsInUse = 0;
    std::size_t PagesInUse = 0;
    std::size_t PageSize = 0;
    std::size_t MostObjects = 0;
    std::size_t MostThreadObjects = 0;
    std::size_t Allocations = 0;
    std::size_t ThreadAllocations = 0;
    std::size_t Deallocations = 0;
    std::size_t ThreadDeallocations = 0;
    std::size_t ThreadObjectsFree = 0;
};

// Called with a block and the client size of a block.
using OAObjectCallback = std::function<void(const void* block, std::size_t size)>;

// A pool of equal-sized blocks carved out of heap pages.
//
// Page layout, from its start: a pointer-sized link to the next page (newest
// page first), LeftAlignSize filler, then ObjectsPerPage slots of BlockStride
// bytes, each made of HeaderSize header bytes, PadBytes guard bytes, the block,
// PadBytes guard bytes and InterAlignSize filler.
//
// A free block holds the pointer to the next free block in its first bytes, so
// a block is never smaller than a pointer: an ObjectSize below that is rounded
// up for the slot (the statistics still report the requested size), which keeps
// the free-list link clear of the guard bytes and of the neighbouring slot.
class ObjectAllocator {
  public:
    ObjectAllocator(std::size_t objectSize, const OAConfig& config);
    ~ObjectAllocator();
    ObjectAllocator(const ObjectAllocator&) = delete;
    ObjectAllocator& operator=(const ObjectAllocator&) = delete;

    // Throws OAException E_NO_PAGES or E_NO_MEMORY when no block can be had.
    //
    // Messages and container nodes come and go by the thousand a frame, so
    // the plain pool's work is done inline here, and only the counters that
    // cannot be worked out later are kept up: each is a load and a store on
    // every call, and together they cost more than the pop itself. The free
    // count is left to GetStats. (BM_Pool96AllocFree: 5.5 ns a pair out of
    // line with every counter, 4.5 ns out of line without the free count,
    // 3.2 ns inline.)
    void* Allocate() {
        if (!plain || !freeList)
            return AllocateChecked();
        std::byte* block = freeList;
        std::memcpy(&freeList, block, sizeof freeList);
        if (inUseFlagOffset != 0)
            block[-inUseFlagOffset] = std::byte{1};
        stats.Allocations += 1;
        stats.ObjectsInUse += 1;
        if (stats.ObjectsInUse > stats.MostObjects)
            stats.MostObjects = stats.ObjectsInUse;
        return block;
    }
    // A null pointer is ignored. In debug mode a bad pointer throws OAException
    // (E_BAD_ADDRESS, E_BAD_BOUNDARY, E_MULTIPLE_FREE, E_CORRUPTED_BLOCK) and
    // leaves the pool untouched.
    void Free(void* object) {
        if (!plain || !object) {
            FreeChecked(object);
            return;
        }
        auto* block = static_cast<std::byte*>(object);
        if (inUseFlagOffset != 0)
            block[-inUseFlagOffset] = std::byte{0};
        std::memcpy(block, &freeList, sizeof freeList);
        freeList = block;
        stats.ObjectsInUse -= 1;
        stats.Deallocations += 1;
    }

    // Calls back for every block in use, page by page; returns ObjectsInUse.
    // Blocks from the heap bypass (UseCPPMemManager) cannot be listed.
    std::size_t DumpMemoryInUse(const OAObjectCallback& callback) const;
    // In debug mode with guard bytes, checks every block of every page; the
    // first damaged block is passed to the callback (if any) and then reported
    // as E_CORRUPTED_BLOCK. Returns 0 when nothing is damaged.
    unsigned ValidatePages(const OAObjectCallback& callback) const;
    void DumpStatistics(std::ostream& os) const;

    const OAConfig& GetConfig() const { return config; }
    // Up to date when returned; a reference kept from an earlier call has all
    // but FreeObjects up to date.
    const OAStats& GetStats() const;
    std::size_t GetBlockStride() const { return blockStride; }
    std::size_t GetFirstBlockOffset() const { return firstBlockOffset; }
    const void* GetPageList() const { return pageList; }

  private:
    // The other modes and a new page.
    void* AllocateChecked();
    void FreeChecked(void* object);
    void AllocateNewPage();
    std::byte* BlockAt(std::byte* page, std::size_t slot) const;
    const std::byte* PageHolding(const std::byte* address) const;
    bool IsFree(const std::byte* block) const;
    // Returns the error text when a guard byte was overwritten, else null.
    const char* DamagedGuard(const std::byte* block) const;

    OAConfig config;
    mutable OAStats stats;
    std::size_t blockSize; // ObjectSize rounded up to hold the free-list link
    std::size_t pageAlignment;
    std::size_t blockStride;
    std::size_t firstBlockOffset;
    std::byte* pageList = nullptr;
    std::byte* freeList = nullptr;
    bool plain = false;                 // pages, no debug checks: the inline paths
    std::ptrdiff_t inUseFlagOffset = 0; // of a block's in-use flag, before it; 0: no header
};
