#include "DriverReplies.h"

#include <cstring>

namespace kerrion {

void CopyText(char* target, std::size_t size, const std::string& text)
{
    const std::size_t length = strnlen(text.c_str(), size - 1);
    std::memcpy(target, text.c_str(), length);
    target[length] = '\0';
}

ASIOSamples Split(uint64_t value)
{
    return { static_cast<uint32_t>(value >> 32), static_cast<uint32_t>(value) };
}

ASIOError ReportSingleClockSource(ASIOClockSource* clocks, int32_t* numSources, const char* name)
{
    if (*numSources < 1)
        return ASE_InvalidParameter;
    clocks[0] = ASIOClockSource {};
    clocks[0].index = 0;
    clocks[0].associatedChannel = -1;
    clocks[0].associatedGroup = -1;
    clocks[0].isCurrentSource = ASIOTrue;
    CopyText(clocks[0].name, sizeof clocks[0].name, name);
    *numSources = 1;
    return ASE_OK;
}

} // namespace kerrion
