#pragma once

// One channel of samples, or one interleaved block of several channels, of one sample type.
// A buffer is empty (no data), owning (Allocate) or a view over memory owned elsewhere (Attach,
// or Convert into an empty buffer). Constness is shallow, as with std::span: a const buffer
// still hands out writable samples, because views share memory with their source.
//
// Threads: a buffer belongs to one thread at a time. Allocate and CreateBufferArray run when a
// run is set up; Convert, Append, Interleave, Deinterleave, Clear and SetCount run on the
// per-block path (device thread, engine thread, processors) and allocate nothing, lock nothing
// and throw nothing.

#include "sndio/SampleType.h"

#include <cstdint>

class CSndIOBuffer {
public:
    CSndIOBuffer() = default;
    virtual ~CSndIOBuffer();
    CSndIOBuffer(const CSndIOBuffer&) = delete;
    CSndIOBuffer& operator=(const CSndIOBuffer&) = delete;

    // Owns `samples` samples of `type`, all silent, count = capacity = samples. Returns 1, or 0
    // with an empty buffer when memory runs out. Frees what the buffer owned before.
    int Allocate(kerrion::SampleType type, uint32_t samples) noexcept;
    // Makes the buffer a view of `samples` samples at `data`; nothing is copied.
    void Attach(void* data, kerrion::SampleType type, uint32_t samples) noexcept;
    // Back to empty; frees the data when owned.
    void Release() noexcept;

    // Fills this buffer from `source`: an empty buffer becomes a view of it; the same type is
    // one block copy with the tail after the copied samples made silent; other types are
    // converted sample by sample (integers aligned by their most significant bits, no
    // normalisation to floating point). Per-block path.
    void Convert(const CSndIOBuffer& source) noexcept;
    // Adds the samples of `source` after this buffer's count, converting when the types differ
    // and stopping at the capacity. Per-block path.
    void Append(const CSndIOBuffer& source) noexcept;
    // Interleaves the raw samples of sources[0..k-1] into this buffer, taking the first
    // source's type. Per-block path.
    void Interleave(const CSndIOBuffer* sources, int k) noexcept;
    // Splits this interleaved block into targets[0..k-1], which take its type. Per-block path.
    void Deinterleave(CSndIOBuffer* targets, int k) const noexcept;

    // Count 0 and every sample silent. Per-block path.
    void Clear() noexcept;
    // Sets the count of valid samples, never above the capacity. Per-block path.
    void SetCount(uint32_t samples) noexcept;

    kerrion::SampleType Type() const { return m_type; }
    uint32_t BytesPerSample() const { return m_bytesPerSample; }
    uint32_t Capacity() const { return m_capacity; }
    uint32_t Count() const { return m_count; }
    bool OwnsData() const { return m_ownsData != 0; }
    bool HasData() const { return m_data != nullptr; }
    uint8_t* Bytes() const { return m_data; }
    // The samples as T (int16_t for code 16, double for code 20, ...). Owned data is aligned for
    // every sample type; a view is as aligned as the memory it was attached to.
    template <typename T>
    T* Samples() const
    {
        return reinterpret_cast<T*>(m_data);
    }

private:
    void MakeViewOf(const CSndIOBuffer& source) noexcept;
    void FillSilence(uint32_t from) noexcept;
    void ConvertSamples(const CSndIOBuffer& source, uint32_t n) noexcept;
    void TakeTypeOf(kerrion::SampleType type, uint32_t bytesPerSample) noexcept;

    kerrion::SampleType m_type = 0; // sample type code
    uint32_t m_bytesPerSample = 0;  // bytes; from the type, kept as it was for unsupported codes
    uint32_t m_capacity = 0;        // samples the data holds
    uint32_t m_count = 0;           // valid samples, never above m_capacity
    uint8_t* m_data = nullptr;      // m_capacity * m_bytesPerSample bytes, or null
    uint8_t m_ownsData = 0;         // 1: allocated here and freed here; 0: a view or empty
};

// Creates `n` buffers, each Allocate(type, samples). Returns 1; 0 with a null array when n is 0
// or memory runs out (nothing is left allocated). Run set-up only.
int CreateBufferArray(
    CSndIOBuffer*& array, kerrion::SampleType type, uint32_t samples, int n) noexcept;
// Destroys the `n` buffers of an array made by CreateBufferArray and sets it to null.
void DestroyBufferArray(CSndIOBuffer*& array, int n) noexcept;
