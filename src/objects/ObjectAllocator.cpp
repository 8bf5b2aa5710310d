#include "objects/ObjectAllocator.h"

#include <algorithm>
#include <cstring>
#include <iomanip>
#include <new>
#include <ostream>
#include <unordered_set>

namespace {

// Pages and free blocks are chained through pointers stored in their first bytes.
constexpr std::size_t kLinkSize = sizeof(void*);

constexpr unsigned char kUnallocatedPattern = 0xAA;
constexpr unsigned char kAllocatedPattern = 0xBB;
constexpr unsigned char kFreedPattern = 0xCC;
constexpr unsigned char kPadPattern = 0xDD;
constexpr unsigned char kAlignPattern = 0xEE;

constexpr std::uint32_t kThreadSafeHeaderSize = 4;

// Links may sit at addresses that are not pointer-aligned when no alignment is
// configured, so they are copied rather than dereferenced.
std::byte* ReadLink(const std::byte* at) {
    std::byte* next;
    std::memcpy(&next, at, sizeof next);
    return next;
}

void WriteLink(std::byte* at, std::byte* next) {
    std::memcpy(at, &next, sizeof next);
}

// Filler that brings `size` to the next multiple of `alignment`. A size that is
// already a multiple larger than the alignment still gets a whole alignment of
// filler; that wastes a little but keeps every page layout reproducible.
std::uint32_t FillerFor(std::size_t size, std::size_t alignment) {
    if (size <= alignment)
        return static_cast<std::uint32_t>(alignment - size);
    return static_cast<std::uint32_t>((size / alignment + 1) * alignment - size);
}

bool IsPowerOfTwo(std::size_t value) {
    return value != 0 && (value & (value - 1)) == 0;
}

std::uintptr_t Address(const void* p) {
    return reinterpret_cast<std::uintptr_t>(p);
}

} // namespace

ObjectAllocator::ObjectAllocator(std::size_t objectSize, const OAConfig& configuration)
    : config(configuration) {
    if (config.ThreadSafe && config.HeaderSize == 0)
        config.HeaderSize = kThreadSafeHeaderSize;
    // A page without slots could never satisfy an allocation.
    config.ObjectsPerPage = std::max<std::uint32_t>(config.ObjectsPerPage, 1);

    stats.ObjectSize = objectSize;
    blockSize = std::max(objectSize, kLinkSize);

    config.LeftAlignSize = 0;
    config.InterAlignSize = 0;
    if (config.Alignment > 1) {
        config.LeftAlignSize =
            FillerFor(kLinkSize + config.PadBytes + config.HeaderSize, config.Alignment);
        config.InterAlignSize =
            FillerFor(blockSize + 2 * config.PadBytes + config.HeaderSize, config.Alignment);
    }
    firstBlockOffset = kLinkSize + config.LeftAlignSize + config.HeaderSize + config.PadBytes;
    blockStride = config.HeaderSize + 2 * config.PadBytes + blockSize + config.InterAlignSize;
    stats.PageSize = kLinkSize + config.LeftAlignSize + config.ObjectsPerPage * blockStride;

    // Block offsets are aligned relative to the page start, so the page itself
    // must be at least as aligned as the blocks are meant to be.
    pageAlignment = __STDCPP_DEFAULT_NEW_ALIGNMENT__;
    if (IsPowerOfTwo(config.Alignment))
        pageAlignment = std::max<std::size_t>(pageAlignment, config.Alignment);

    plain = !config.UseCPPMemManager && !config.DebugOn;
    if (config.HeaderSize > 0)
        inUseFlagOffset = static_cast<std::ptrdiff_t>(config.PadBytes) + 1;
    if (!config.UseCPPMemManager)
        AllocateNewPage();
}

ObjectAllocator::~ObjectAllocator() {
    while (pageList) {
        std::byte* next = ReadLink(pageList);
        ::operator delete(pageList, std::align_val_t(pageAlignment));
        pageList = next;
    }
}

std::byte* ObjectAllocator::BlockAt(std::byte* page, std::size_t slot) const {
    return page + firstBlockOffset + slot * blockStride;
}

void ObjectAllocator::AllocateNewPage() {
    if (config.MaxPages != 0 && stats.PagesInUse == config.MaxPages)
        throw OAException(OAException::E_NO_PAGES,
                          "allocate_new_page: The maximum number of pages has been allocated.");

    auto* page = static_cast<std::byte*>(
        ::operator new(stats.PageSize, std::align_val_t(pageAlignment), std::nothrow));
    if (!page)
        throw OAException(OAException::E_NO_MEMORY,
                          "allocate_new_page: No system memory available.");

    const std::uint32_t pad = config.PadBytes;
    if (config.DebugOn) {
        std::memset(page, kUnallocatedPattern, stats.PageSize);
        std::memset(page + kLinkSize, kAlignPattern, config.LeftAlignSize);
        for (std::size_t slot = 0; slot < config.ObjectsPerPage; ++slot) {
            std::byte* block = BlockAt(page, slot);
            std::memset(block - pad, kPadPattern, pad);
            std::memset(block + blockSize, kPadPattern, pad);
            if (slot + 1 < config.ObjectsPerPage)
                std::memset(block + blockSize + pad, kAlignPattern, config.InterAlignSize);
        }
    }

    // Every block of a new page starts free, so every in-use flag starts clear.
    if (config.HeaderSize > 0)
        for (std::size_t slot = 0; slot < config.ObjectsPerPage; ++slot)
            std::memset(BlockAt(page, slot) - pad - config.HeaderSize, 0, config.HeaderSize);

    WriteLink(page, pageList);
    pageList = page;
    // Pushed in slot order, so the page's last slot is handed out first.
    for (std::size_t slot = 0; slot < config.ObjectsPerPage; ++slot) {
        std::byte* block = BlockAt(page, slot);
        WriteLink(block, freeList);
        freeList = block;
    }
    stats.PagesInUse += 1;
}

void* ObjectAllocator::AllocateChecked() {
    if (config.UseCPPMemManager) {
        auto* block = new char[stats.ObjectSize];
        stats.Allocations += 1;
        stats.ObjectsInUse += 1;
        stats.MostObjects = std::max(stats.MostObjects, stats.ObjectsInUse);
        return block;
    }

    if (!freeList)
        AllocateNewPage();
    std::byte* block = freeList;
    freeList = ReadLink(block);
    if (config.HeaderSize > 0)
        block[-static_cast<std::ptrdiff_t>(config.PadBytes) - 1] = std::byte{1};
    if (config.DebugOn)
        std::memset(block, kAllocatedPattern, blockSize);

    stats.Allocations += 1;
    stats.ObjectsInUse += 1;
    stats.MostObjects = std::max(stats.MostObjects, stats.ObjectsInUse);
    return block;
}

void ObjectAllocator::FreeChecked(void* object) {
    if (!object)
        return;
    if (config.UseCPPMemManager) {
        delete[] static_cast<char*>(object);
        stats.ObjectsInUse -= 1;
        stats.Deallocations += 1;
        return;
    }

    auto* block = static_cast<std::byte*>(object);
    if (config.DebugOn) {
        const std::byte* page = PageHolding(block);
        if (!page)
            throw OAException(OAException::E_BAD_ADDRESS, "validate_object: Object not on a page.");
        const std::size_t offset = static_cast<std::size_t>(block - page);
        if (offset < firstBlockOffset || (offset - firstBlockOffset) % blockStride != 0)
            throw OAException(OAException::E_BAD_BOUNDARY,
                              "validate_object: Object on bad boundary in page.");
        if (IsFree(block))
            throw OAException(OAException::E_MULTIPLE_FREE,
                              "FreeObject: Object has already been freed.");
        if (const char* damage = DamagedGuard(block))
            throw OAException(OAException::E_CORRUPTED_BLOCK, damage);
        std::memset(block, kFreedPattern, blockSize);
    }

    if (config.HeaderSize > 0)
        block[-static_cast<std::ptrdiff_t>(config.PadBytes) - 1] = std::byte{0};
    WriteLink(block, freeList);
    freeList = block;

    stats.ObjectsInUse -= 1;
    stats.Deallocations += 1;
}

const std::byte* ObjectAllocator::PageHolding(const std::byte* address) const {
    for (const std::byte* page = pageList; page; page = ReadLink(page))
        if (Address(address) >= Address(page) && Address(address) < Address(page) + stats.PageSize)
            return page;
    return nullptr;
}

bool ObjectAllocator::IsFree(const std::byte* block) const {
    if (config.HeaderSize > 0)
        return block[-static_cast<std::ptrdiff_t>(config.PadBytes) - 1] == std::byte{0};
    for (const std::byte* free = freeList; free; free = ReadLink(free))
        if (free == block)
            return true;
    return false;
}

const char* ObjectAllocator::DamagedGuard(const std::byte* block) const {
    const auto pad = static_cast<std::ptrdiff_t>(config.PadBytes);
    const std::byte* end = block + blockSize;
    for (std::ptrdiff_t i = 0; i < pad; ++i) {
        if (block[-(i + 1)] != std::byte{kPadPattern})
            return "check_padbytes: Memory corrupted before block.";
        if (end[i] != std::byte{kPadPattern})
            return "check_padbytes: Memory corrupted after block.";
    }
    return nullptr;
}

std::size_t ObjectAllocator::DumpMemoryInUse(const OAObjectCallback& callback) const {
    if (config.UseCPPMemManager || !callback)
        return stats.ObjectsInUse;

    // Without headers the free list is the only record of which blocks are free.
    std::unordered_set<const std::byte*> freeBlocks;
    if (config.HeaderSize == 0)
        for (const std::byte* free = freeList; free; free = ReadLink(free))
            freeBlocks.insert(free);

    for (std::byte* page = pageList; page; page = ReadLink(page)) {
        for (std::size_t slot = 0; slot < config.ObjectsPerPage; ++slot) {
            const std::byte* block = BlockAt(page, slot);
            const bool free = config.HeaderSize > 0 ? IsFree(block) : freeBlocks.count(block) > 0;
            if (!free)
                callback(block, stats.ObjectSize);
        }
    }
    return stats.ObjectsInUse;
}

unsigned ObjectAllocator::ValidatePages(const OAObjectCallback& callback) const {
    if (!config.DebugOn || config.PadBytes == 0)
        return 0;
    for (std::byte* page = pageList; page; page = ReadLink(page)) {
        for (std::size_t slot = 0; slot < config.ObjectsPerPage; ++slot) {
            const std::byte* block = BlockAt(page, slot);
            if (const char* damage = DamagedGuard(block)) {
                if (callback)
                    callback(block, stats.ObjectSize);
                throw OAException(OAException::E_CORRUPTED_BLOCK, damage);
            }
        }
    }
    return 0;
}

const OAStats& ObjectAllocator::GetStats() const {
    // Every block of every page is either handed out or free. The heap bypass
    // has no pages, and no free blocks.
    stats.FreeObjects = stats.PagesInUse * config.ObjectsPerPage - stats.ObjectsInUse;
    if (config.UseCPPMemManager)
        stats.FreeObjects = 0;
    return stats;
}

void ObjectAllocator::DumpStatistics(std::ostream& os) const {
    GetStats();
    constexpr int kStatWidth = 29;
    constexpr int kConfigWidth = 19;
    const std::ios_base::fmtflags savedFlags = os.flags();
    const char savedFill = os.fill(' ');
    // The caller's formatting (hex, showpos, ...) must not leak into the report.
    os.flags(std::ios_base::dec | std::ios_base::left);

    os << "Object Allocator for object size " << stats.ObjectSize << ": " << '\n';
    os << std::string(40, '-') << '\n';

    os << "Statistics:\n";
    auto stat = [&](const char* label, std::size_t value) {
        os << std::setw(kStatWidth) << label << value << '\n';
    };
    stat("\tAllocations:", stats.Allocations);
    stat("\tDeallocations:", stats.Deallocations);
    stat("\tThreadAllocations:", stats.ThreadAllocations);
    stat("\tThreadDeallocations:", stats.ThreadDeallocations);
    stat("\tObjects in use:", stats.ObjectsInUse);
    stat("\tObjects free:", stats.FreeObjects);
    stat("\tThread objects in use:", stats.ThreadObjectsInUse);
    stat("\tThread objects free:", stats.ThreadObjectsFree);
    stat("\tPages in use:", stats.PagesInUse);
    stat("\tPage size (bytes):", stats.PageSize);
    stat("\tMost Objects in use:", stats.MostObjects);
    stat("\tMost thread objects in use:", stats.MostThreadObjects);

    os << "Configuration:\n";
    if (config.UseCPPMemManager)
        os << "\tUsing global new and delete." << '\n';
    os << std::boolalpha;
    auto setting = [&](const char* label, auto value) {
        os << std::setw(kConfigWidth) << label << value << '\n';
    };
    setting("\tDebug mode:", config.DebugOn);
    setting("\tThread Safe mode", config.ThreadSafe);
    setting("\tMin thread blocks", config.MinThreadBlocks);
    setting("\tMax thread blocks", config.MaxThreadBlocks);
    setting("\tObjects per page:", config.ObjectsPerPage);
    setting("\tMax Pages:", config.MaxPages);
    setting("\tPad Bytes:", config.PadBytes);
    setting("\tHeader Blocks:", config.HeaderSize);
    setting("\tAlignment:", config.Alignment);
    setting("\tLeft Align:", config.LeftAlignSize);
    setting("\tRight Align:", config.InterAlignSize);

    os.flags(savedFlags);
    os.fill(savedFill);
}
