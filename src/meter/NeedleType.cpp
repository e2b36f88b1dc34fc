#include "meter/NeedleType.h"

#include <strings.h>

namespace kerrion {
namespace {

struct NamedType {
    NeedleType type;
    const char* name;
};

constexpr std::array<NamedType, 6> kNames = { {
    { NeedleType::kVu, "vu" },
    { NeedleType::kVuIec, "vu-iec" },
    { NeedleType::kPpmDin, "ppm-din" },
    { NeedleType::kPpmNordic, "ppm-nordic" },
    { NeedleType::kPpmBbc, "ppm-bbc" },
    { NeedleType::kPpmEbu, "ppm-ebu" },
} };

} // namespace

const char* NeedleTypeName(NeedleType type)
{
    for (const NamedType& named : kNames)
        if (named.type == type)
            return named.name;
    return kNames[0].name;
}

NeedleType ParseNeedleType(std::string_view name)
{
    return FindNeedleType(name).value_or(NeedleType::kVu);
}

std::optional<NeedleType> FindNeedleType(std::string_view name)
{
    for (const NamedType& named : kNames) {
        const std::string_view candidate = named.name;
        if (name.size() == candidate.size()
            && strncasecmp(name.data(), candidate.data(), name.size()) == 0)
            return named.type;
    }
    return std::nullopt;
}

std::string NeedleTypeKeys()
{
    std::string keys;
    for (const NeedleType type : kNeedleTypes)
        keys += (keys.empty() ? "" : ", ") + std::string(NeedleTypeName(type));
    return keys;
}

} // namespace kerrion
