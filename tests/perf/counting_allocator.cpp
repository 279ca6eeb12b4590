#include "tests/perf/counting_allocator.h"

#include <atomic>
#include <cstdlib>
#include <new>

// A sanitizer runtime owns malloc itself; replacing it under one would break the sanitizer.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QUIB_SANITIZED_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define QUIB_SANITIZED_HEAP 1
#endif
#endif

#if !defined(QUIB_SANITIZED_HEAP) && defined(__GLIBC__)
#define QUIB_COUNT_C_HEAP 1
#endif

namespace {

std::atomic<bool> Counting{false};
std::atomic<int64_t> Allocations{0};

void CountAllocation()
{
    if (Counting.load(std::memory_order_relaxed)) {
        Allocations.fetch_add(1, std::memory_order_relaxed);
    }
}

}  // namespace

#ifdef QUIB_COUNT_C_HEAP

// glibc's own allocator under its second name: the replacements below count and pass on,
// and whatever any of them returns is freed by the ordinary free.
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);

void* malloc(size_t size) noexcept
{
    CountAllocation();
    return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) noexcept
{
    CountAllocation();
    return __libc_calloc(count, size);
}

void* realloc(void* block, size_t size) noexcept
{
    CountAllocation();
    return __libc_realloc(block, size);
}

void* memalign(size_t alignment, size_t size) noexcept
{
    CountAllocation();
    return __libc_memalign(alignment, size);
}

void* aligned_alloc(size_t alignment, size_t size) noexcept
{
    CountAllocation();
    return __libc_memalign(alignment, size);
}

int posix_memalign(void** block, size_t alignment, size_t size) noexcept
{
    CountAllocation();
    void* const result = __libc_memalign(alignment, size);
    if (result == nullptr) {
        return 12;  // ENOMEM
    }
    *block = result;
    return 0;
}
}

namespace {
void* RawAllocate(size_t size)
{
    return __libc_malloc(size == 0 ? 1 : size);
}
void* RawAllocateAligned(size_t size, size_t alignment)
{
    return __libc_memalign(alignment, size == 0 ? 1 : size);
}
}  // namespace

#else

namespace {
void* RawAllocate(size_t size)
{
    return std::malloc(size == 0 ? 1 : size);
}
void* RawAllocateAligned(size_t size, size_t alignment)
{
    // aligned_alloc wants a whole number of alignments.
    const size_t rounded = (size + alignment - 1) / alignment * alignment;
    return std::aligned_alloc(alignment, rounded == 0 ? alignment : rounded);
}
}  // namespace

#endif

void StartCountingAllocations()
{
    Allocations.store(0, std::memory_order_relaxed);
    Counting.store(true, std::memory_order_seq_cst);
}

int64_t StopCountingAllocations()
{
    Counting.store(false, std::memory_order_seq_cst);
    return Allocations.load(std::memory_order_relaxed);
}

bool CountsCAllocations()
{
#ifdef QUIB_COUNT_C_HEAP
    return true;
#else
    return false;
#endif
}

// ---- the replaceable global allocation functions ----

void* operator new(size_t size)
{
    CountAllocation();
    void* const block = RawAllocate(size);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

void* operator new[](size_t size)
{
    return operator new(size);
}

void* operator new(size_t size, const std::nothrow_t&) noexcept
{
    CountAllocation();
    return RawAllocate(size);
}

void* operator new[](size_t size, const std::nothrow_t&) noexcept
{
    CountAllocation();
    return RawAllocate(size);
}

void* operator new(size_t size, std::align_val_t alignment)
{
    CountAllocation();
    void* const block = RawAllocateAligned(size, static_cast<size_t>(alignment));
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

void* operator new[](size_t size, std::align_val_t alignment)
{
    return operator new(size, alignment);
}

void* operator new(size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept
{
    CountAllocation();
    return RawAllocateAligned(size, static_cast<size_t>(alignment));
}

void* operator new[](size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept
{
    CountAllocation();
    return RawAllocateAligned(size, static_cast<size_t>(alignment));
}

void operator delete(void* block) noexcept
{
    std::free(block);
}

void operator delete[](void* block) noexcept
{
    std::free(block);
}

void operator delete(void* block, size_t) noexcept
{
    std::free(block);
}

void operator delete[](void* block, size_t) noexcept
{
    std::free(block);
}

void operator delete(void* block, const std::nothrow_t&) noexcept
{
    std::free(block);
}

void operator delete[](void* block, const std::nothrow_t&) noexcept
{
    std::free(block);
}

void operator delete(void* block, std::align_val_t) noexcept
{
    std::free(block);
}

void operator delete[](void* block, std::align_val_t) noexcept
{
    std::free(block);
}

void operator delete(void* block, size_t, std::align_val_t) noexcept
{
    std::free(block);
}

void operator delete[](void* block, size_t, std::align_val_t) noexcept
{
    std::free(block);
}

void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept
{
    std::free(block);
}

void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept
{
    std::free(block);
}
