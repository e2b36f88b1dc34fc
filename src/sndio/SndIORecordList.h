#pragma once

// An ordered list of records held by value, the shape shared by the play list's entry, segment
// and track lists. Copies are deep (a record copies the lists it holds). Records keep their
// addresses while the list grows or shrinks at the tail. Failures are return codes: nothing
// here lets an exception out.
//
// Threads: the engine prepares and reads these lists while it sets up a run (the UI thread in
// StartEngine, then the engine thread); they are never resized on the per-block path.

#include <cstddef>
#include <deque>
#include <new>

namespace kerrion {

template <typename Record>
class RecordList {
public:
    RecordList() = default;
    virtual ~RecordList() = default;
    RecordList(const RecordList&) = default; // deep: the records are copied by value
    RecordList& operator=(const RecordList&) = default;

    // n <= 0 empties the list; a larger n appends default records at the tail, a smaller one
    // removes records from the tail. Returns 1, or 0 when memory runs out part way (the records
    // appended until then stay, and the count says how many).
    int SetSize(int n) noexcept
    {
        try {
            const std::size_t size = n <= 0 ? 0 : static_cast<std::size_t>(n);
            while (m_records.size() > size)
                m_records.pop_back();
            while (m_records.size() < size)
                m_records.emplace_back();
        } catch (const std::bad_alloc&) {
            return 0;
        }
        return 1;
    }

    // Deep copy of another list. Returns 1, or 0 (this list unchanged) when memory runs out.
    int CopyFrom(const RecordList& other) noexcept
    {
        try {
            std::deque<Record> copy(other.m_records);
            m_records.swap(copy);
        } catch (const std::bad_alloc&) {
            return 0;
        }
        return 1;
    }

    int GetCount() const { return static_cast<int>(m_records.size()); }
    // The record at `index`, or null when the index is not below the count.
    Record* GetAt(int index)
    {
        return InRange(index) ? &m_records[static_cast<std::size_t>(index)] : nullptr;
    }
    const Record* GetAt(int index) const
    {
        return InRange(index) ? &m_records[static_cast<std::size_t>(index)] : nullptr;
    }

    auto begin() { return m_records.begin(); }
    auto end() { return m_records.end(); }
    auto begin() const { return m_records.begin(); }
    auto end() const { return m_records.end(); }

private:
    bool InRange(int index) const
    {
        return index >= 0 && static_cast<std::size_t>(index) < m_records.size();
    }

    std::deque<Record> m_records; // head first; allocated in blocks, addresses stable at the ends
};

} // namespace kerrion
