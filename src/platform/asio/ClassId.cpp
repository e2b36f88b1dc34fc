#include "platform/asio/AsioDriver.h"

#include <cstring>

namespace kerrion {
namespace {

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads `digits` hex digits from text at pos; false when any is not a hex digit.
bool ReadHex(const char* text, size_t& pos, int digits, uint64_t& value)
{
    value = 0;
    for (int i = 0; i < digits; ++i) {
        const int v = HexValue(text[pos++]);
        if (v < 0)
            return false;
        value = (value << 4) | static_cast<uint64_t>(v);
    }
    return true;
}

} // namespace

bool operator==(const AsioClassId& a, const AsioClassId& b)
{
    return a.data1 == b.data1 && a.data2 == b.data2 && a.data3 == b.data3
        && std::memcmp(a.data4, b.data4, sizeof a.data4) == 0;
}

bool ParseClassId(const char* text, AsioClassId& out)
{
    // {8-4-4-4-12}: 38 characters with the braces.
    if (text == nullptr || std::strlen(text) != 38 || text[0] != '{' || text[37] != '}')
        return false;
    if (text[9] != '-' || text[14] != '-' || text[19] != '-' || text[24] != '-')
        return false;
    size_t pos = 1;
    uint64_t v = 0;
    AsioClassId id {};
    if (!ReadHex(text, pos, 8, v))
        return false;
    id.data1 = static_cast<uint32_t>(v);
    ++pos;
    if (!ReadHex(text, pos, 4, v))
        return false;
    id.data2 = static_cast<uint16_t>(v);
    ++pos;
    if (!ReadHex(text, pos, 4, v))
        return false;
    id.data3 = static_cast<uint16_t>(v);
    ++pos;
    for (int i = 0; i < 8; ++i) {
        if (i == 2)
            ++pos; // the dash between the fourth and fifth group
        if (!ReadHex(text, pos, 2, v))
            return false;
        id.data4[i] = static_cast<uint8_t>(v);
    }
    out = id;
    return true;
}

} // namespace kerrion
