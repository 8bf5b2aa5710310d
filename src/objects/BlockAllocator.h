#pragma once

#include <cstddef>
#include <iosfwd>
#include <memory>
#include <type_traits>

#include "objects/ObjectAllocator.h"

// The configuration every engine pool runs with.
//
// Blocks carry records with pointers and std::string members, so they must be
// pointer-aligned. A 4-byte header after an 8-byte page link would put every
// block on a 4-byte boundary, hence the explicit alignment: with it the first
// block and every stride land on multiples of 8 (page starts are 16-aligned).
struct DefaultMMConfig : OAConfig {
    static constexpr std::uint32_t kAlignment = 8;

    DefaultMMConfig() {
        ObjectsPerPage = 250;
        MaxPages = 2000;
        HeaderSize = 4;
        Alignment = kAlignment;
        ThreadSafe = true;
        MinThreadBlocks = 10;
        MaxThreadBlocks = 30;
    }
};

// What the engine's reports see of a pool, whatever its block size.
class BaseBlockAllocator {
  public:
    virtual std::size_t GetBlockSize() const = 0;
    virtual void DumpStatistics(std::ostream& os) const = 0;
    virtual const OAStats* GetStatistics() const = 0;
    virtual std::size_t DumpMemoryInUse(const OAObjectCallback& callback) const = 0;
    virtual unsigned ValidatePages(const OAObjectCallback& callback) const = 0;
    virtual ~BaseBlockAllocator() = default;
};

// One process-wide pool of N-byte blocks, created on first use and destroyed
// at exit. Whoever keeps pool blocks in a static object should call Instance()
// in that object's constructor: the pool then outlives it.
template <std::size_t N, class Config = DefaultMMConfig>
class BlockAllocator final : public BaseBlockAllocator {
  public:
    static BlockAllocator& Instance() {
        static BlockAllocator instance;
        return instance;
    }

    ObjectAllocator& GetAllocator() { return allocator; }
    void* Allocate() { return allocator.Allocate(); }
    void Free(void* block) { allocator.Free(block); }

    std::size_t GetBlockSize() const override { return allocator.GetStats().ObjectSize; }
    void DumpStatistics(std::ostream& os) const override { allocator.DumpStatistics(os); }
    const OAStats* GetStatistics() const override { return &allocator.GetStats(); }
    std::size_t DumpMemoryInUse(const OAObjectCallback& callback) const override {
        return allocator.DumpMemoryInUse(callback);
    }
    unsigned ValidatePages(const OAObjectCallback& callback) const override {
        return allocator.ValidatePages(callback);
    }

    BlockAllocator(const BlockAllocator&) = delete;
    BlockAllocator& operator=(const BlockAllocator&) = delete;

  private:
    BlockAllocator() : allocator(N, Config()) {}

    ObjectAllocator allocator;
};

// Block sizes of the general pools, smallest first.
inline constexpr std::size_t kPoolBlockSizes[] = {4, 16, 32, 64, 96};

// The smallest general pool that holds `size` bytes, or 0 if none does.
constexpr std::size_t PoolBlockSizeFor(std::size_t size) {
    for (std::size_t blockSize : kPoolBlockSizes)
        if (size <= blockSize)
            return blockSize;
    return 0;
}

// Standard allocator that takes single elements (the nodes of list- and
// tree-based containers) from the smallest general pool that fits them.
// Requests for several elements at once go to the heap.
template <class T> class PoolAllocator {
  public:
    using value_type = T;
    using is_always_equal = std::true_type;
    static constexpr std::size_t kBlockSize = PoolBlockSizeFor(sizeof(T));
    static_assert(kBlockSize != 0, "element is larger than every block pool");
    static_assert(alignof(T) <= DefaultMMConfig::kAlignment,
                  "pool blocks are not aligned enough for this element");

    using Pool = BlockAllocator<kBlockSize>;

    // Touching the pool here makes it outlive any container built with this
    // allocator, static containers included.
    PoolAllocator() { Pool::Instance(); }
    template <class U> PoolAllocator(const PoolAllocator<U>&) { Pool::Instance(); }

    T* allocate(std::size_t n) {
        if (n == 1)
            return static_cast<T*>(Pool::Instance().Allocate());
        return std::allocator<T>().allocate(n);
    }

    void deallocate(T* p, std::size_t n) {
        if (n == 1)
            Pool::Instance().Free(p);
        else
            std::allocator<T>().deallocate(p, n);
    }

    template <class U> bool operator==(const PoolAllocator<U>&) const { return true; }
    template <class U> bool operator!=(const PoolAllocator<U>&) const { return false; }
};
