// On 64-bit Windows pointers are 64 bits wide, and so are the values the
// skin engine builds from them: interception contexts, timer identifiers,
// user values. Wine places the heap and the stacks below 4 GiB, where a
// value cut to 32 bits still works. In the 64-bit test program every C++
// allocation therefore comes from a heap above 4 GiB: the free address space
// below is reserved first, then the heap is made.
#ifdef _WIN64
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <new>

namespace {

constexpr std::uintptr_t kFourGiB = std::uintptr_t{1} << 32;

void ReserveLowAddressSpace() {
    std::uintptr_t address = 0x10000;
    MEMORY_BASIC_INFORMATION info{};
    while (address < kFourGiB && VirtualQuery(reinterpret_cast<void*>(address), &info, sizeof info)) {
        const auto base = reinterpret_cast<std::uintptr_t>(info.BaseAddress);
        const std::uintptr_t end = std::min<std::uintptr_t>(base + info.RegionSize, kFourGiB);
        if (info.State == MEM_FREE) {
            const std::uintptr_t start = (base + 0xFFFF) & ~std::uintptr_t{0xFFFF};  // reservation granularity
            if (end > start) VirtualAlloc(reinterpret_cast<void*>(start), end - start, MEM_RESERVE, PAGE_NOACCESS);
        }
        address = base + info.RegionSize;
    }
}

HANDLE HighHeap() {
    static const HANDLE heap = [] {
        ReserveLowAddressSpace();
        return HeapCreate(0, 0, 0);
    }();
    return heap;
}

void* Allocate(std::size_t size) { return HeapAlloc(HighHeap(), 0, size ? size : 1); }
void Free(void* p) {
    if (p) HeapFree(HighHeap(), 0, p);
}

TEST(HighHeap, TheTestsObjectsLiveAbove4GiB) {
    auto* object = new int(1);
    EXPECT_GE(reinterpret_cast<std::uintptr_t>(object), kFourGiB);
    delete object;
}

}  // namespace

void* operator new(std::size_t size) {
    if (void* p = Allocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { Free(p); }
void operator delete[](void* p) noexcept { Free(p); }
void operator delete(void* p, std::size_t) noexcept { Free(p); }
void operator delete[](void* p, std::size_t) noexcept { Free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Free(p); }
#endif
