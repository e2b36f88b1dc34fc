#include "meter/ZeroedMemory.h"

#include <sys/mman.h>

namespace kerrion {

ZeroedMemory::~ZeroedMemory() { Free(); }

bool ZeroedMemory::Allocate(size_t bytes) noexcept
{
    Free();
    if (bytes == 0)
        return false;
    // Anonymous private pages read as zero and are backed only once written. No swap is
    // reserved for the untouched part, so a large reserve succeeds under strict overcommit
    // settings as long as the touched part fits.
    void* data = mmap(
        nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (data == MAP_FAILED)
        return false;
    m_data = data;
    m_bytes = bytes;
    return true;
}

void ZeroedMemory::Free() noexcept
{
    if (m_data != nullptr)
        munmap(m_data, m_bytes);
    m_data = nullptr;
    m_bytes = 0;
}

} // namespace kerrion
