#include "RenderOptions.h"

#include "meter/NeedleType.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

bool ParseDouble(const std::string& text, double& out)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(v))
        return false;
    out = v;
    return true;
}

bool ParseInt(const std::string& text, int& out)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || v < -1000000 || v > 1000000)
        return false;
    out = static_cast<int>(v);
    return true;
}

bool ParseSize(const std::string& text, int& w, int& h)
{
    const auto x = text.find_first_of("xX");
    return x != std::string::npos && ParseInt(text.substr(0, x), w)
        && ParseInt(text.substr(x + 1), h) && w > 0 && h > 0 && w <= 16384 && h <= 16384;
}

// A needle type's key in any case, kept as the key; an unknown name lists the keys.
std::string SetMeterType(RenderOptions& o, const std::string& value)
{
    const std::optional<kerrion::NeedleType> type = kerrion::FindNeedleType(value);
    if (!type)
        return "--meter-type takes " + kerrion::NeedleTypeKeys() + ", not \"" + value + "\"";
    o.meterType = kerrion::NeedleTypeName(*type);
    return {};
}

// Applies one option with its value; returns the error text or empty.
std::string Apply(RenderOptions& o, const std::string& name, const std::string& value)
{
    double d = 0.0;
    if (name == "--ini")
        o.iniFile = value;
    else if (name == "--out")
        o.out = value;
    else if (name == "--meter") {
        if (!ParseInt(value, o.meter) || o.meter < 1 || o.meter > 8)
            return "--meter takes a number from 1 to 8";
    } else if (name == "--layout") {
        if (!ParseSize(value, o.layoutWidth, o.layoutHeight))
            return "--layout takes WIDTHxHEIGHT in pixels, e.g. 1920x1080";
    } else if (name == "--scale") {
        if (!ParseDouble(value, o.scale) || o.scale < 0.05 || o.scale > 4.0)
            return "--scale takes a number from 0.05 to 4";
    } else if (name == "--vu") {
        if (!ParseDouble(value, o.vuDb))
            return "--vu takes a number";
    } else if (name == "--peak") {
        if (!ParseDouble(value, o.peakDbfs))
            return "--peak takes a number";
    } else if (name == "--meter-type") {
        return SetMeterType(o, value);
    } else if (name == "--hold") {
        if (!ParseDouble(value, d))
            return "--hold takes a number";
        o.holdDbfs = d;
    } else {
        return "unknown option " + name;
    }
    return {};
}

} // namespace

RenderOptionsResult ParseRenderOptions(const std::vector<std::string>& args)
{
    RenderOptionsResult result;
    RenderOptions& o = result.options;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        if (name == "--help" || name == "-h") {
            o.help = true;
            continue;
        }
        if (name == "--lamp") {
            o.lamp = true;
            continue;
        }
        if (name == "--display-off") {
            o.displayOff = true;
            continue;
        }
        std::string value;
        const auto eq = name.find('=');
        if (eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            result.error = name + " needs a value";
            return result;
        }
        result.error = Apply(o, name, value);
        if (!result.error.empty())
            return result;
    }
    if (!o.help && o.out.empty())
        result.error = "--out FILE.png is required";
    return result;
}

std::string RenderUsage()
{
    return "usage: kerrion-render --out FILE.png [options]\n"
           "Renders meters to a PNG file without a display, with the windows' own drawing.\n"
           "  --ini FILE        settings file (default: the per-user Kerrion.ini)\n"
           "  --meter N         render meter N alone (1 to 8, default 1)\n"
           "  --layout WxH      render the whole monitor with Meter/Num meters instead\n"
           "  --scale S         display scale of the single meter (default 1.0: 1360 x 768)\n"
           "  --vu DB           needle reading in dB from the scale's reference point, 0 VU\n"
           "                    on a VU face (default: needle at rest)\n"
           "  --meter-type TYPE face and needle law of the meters: vu, vu-iec, ppm-din,\n"
           "                    ppm-nordic, ppm-bbc, ppm-ebu (default: each meter's meter_type)\n"
           "  --peak DBFS       peak level (default -96)\n"
           "  --hold DBFS       held peak level (shows the hold tick)\n"
           "  --lamp            light the peak indicator\n"
           "  --display-off     show the \"Display OFF\" screen\n";
}
