#pragma once

// A block of zeroed memory whose pages become resident only when they are first touched. The
// processors reserve their full working set once (64 channels, the longest window, the
// largest block), but a run that meters eight channels at a 3 s window touches a small part of
// it; ordinary allocation plus clearing would make all of it resident.
// Threads: Allocate and the destructor at set-up and tear-down; the memory itself is used by
// whichever thread owns the processor.

#include <cstddef>

namespace kerrion {

class ZeroedMemory {
public:
    ZeroedMemory() = default;
    ZeroedMemory(const ZeroedMemory&) = delete;
    ZeroedMemory& operator=(const ZeroedMemory&) = delete;
    ~ZeroedMemory();

    // Frees what was held, then reserves `bytes` zeroed bytes (page aligned). Returns false,
    // holding nothing, when the memory cannot be had or bytes is 0.
    bool Allocate(size_t bytes) noexcept;
    void Free() noexcept;

    void* Data() const { return m_data; }
    size_t Size() const { return m_bytes; }

private:
    void* m_data = nullptr; // page-aligned block, or null
    size_t m_bytes = 0;     // bytes reserved
};

} // namespace kerrion
