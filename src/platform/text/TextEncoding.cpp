#include "platform/text/TextEncoding.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <mutex>

namespace kerrion {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Length of the well-formed UTF-8 sequence at the start of `text`, or 0 when it is malformed.
std::size_t Utf8SequenceLength(std::string_view text)
{
    const auto lead = static_cast<unsigned char>(text[0]);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    uint32_t lowest = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        lowest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        lowest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        lowest = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < length)
        return 0;
    uint32_t code = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (!IsContinuation(byte))
            return 0;
        code = (code << 6) | (byte & 0x3F);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    if (code < lowest || code > 0x10FFFF || surrogate)
        return 0;
    return length;
}

// One iconv conversion descriptor for the whole run. A descriptor may not be used by two threads
// at once, hence the mutex; every call starts from the initial shift state.
class ShiftJisDecoder {
public:
    ShiftJisDecoder()
        : m_cd(iconv_open("UTF-8", "CP932"))
    {
    }
    ~ShiftJisDecoder()
    {
        if (m_cd != reinterpret_cast<iconv_t>(-1))
            iconv_close(m_cd);
    }
    ShiftJisDecoder(const ShiftJisDecoder&) = delete;
    ShiftJisDecoder& operator=(const ShiftJisDecoder&) = delete;

    std::string Decode(std::string_view text) const;

private:
    iconv_t m_cd;
    mutable std::mutex m_mutex; // guards m_cd
};

std::string ShiftJisDecoder::Decode(std::string_view text) const
{
    std::string out;
    if (m_cd == reinterpret_cast<iconv_t>(-1)) {
        // No CP932 table on this system: keep ASCII, mark the rest.
        for (char c : text)
            out += static_cast<unsigned char>(c) < 0x80 ? std::string_view(&c, 1) : kReplacement;
        return out;
    }
    const std::lock_guard lock(m_mutex);
    iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
    std::string input(text);
    char* in = input.data();
    std::size_t inLeft = input.size();
    char buffer[256];
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t result = iconv(m_cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        if (result != static_cast<std::size_t>(-1) || errno == E2BIG)
            continue;
        // An invalid or incomplete sequence: mark one byte and go on after it.
        out += kReplacement;
        ++in;
        --inLeft;
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

} // namespace

bool IsValidUtf8(std::string_view text)
{
    while (!text.empty()) {
        const std::size_t length = Utf8SequenceLength(text);
        if (length == 0)
            return false;
        text.remove_prefix(length);
    }
    return true;
}

std::string DecodeShiftJis(std::string_view text)
{
    static const ShiftJisDecoder decoder;
    return decoder.Decode(text);
}

std::string ProfileTextToUtf8(std::string_view text)
{
    return IsValidUtf8(text) ? std::string(text) : DecodeShiftJis(text);
}

std::string TruncateUtf8(std::string_view text, std::size_t maxBytes)
{
    if (text.size() <= maxBytes)
        return std::string(text);
    std::size_t cut = maxBytes;
    while (cut > 0 && IsContinuation(static_cast<unsigned char>(text[cut])))
        --cut;
    return std::string(text.substr(0, cut));
}

} // namespace kerrion
