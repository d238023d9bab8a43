#pragma once
// Byte buffers whose growth does not zero the new bytes. The decoder sizes its
// output from the image header and then writes every byte it later reads, so
// zero-filling tens of megabytes first would be wasted work.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

namespace tf::png {

template <class T>
struct DefaultInitAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = DefaultInitAllocator<U>;
    };
    DefaultInitAllocator() = default;
    template <class U>
    DefaultInitAllocator(const DefaultInitAllocator<U>&) noexcept {}

    template <class U>
    void construct(U* p) noexcept(std::is_nothrow_default_constructible<U>::value) {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

using Bytes = std::vector<std::uint8_t, DefaultInitAllocator<std::uint8_t>>;

}  // namespace tf::png
