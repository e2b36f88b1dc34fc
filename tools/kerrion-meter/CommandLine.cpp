#include "CommandLine.h"

#include "OptionValues.h"
#include "meter/NeedleType.h"
#include "meter/SndIOPlayList.h"
#include "platform/text/AsciiText.h"

#include <functional>
#include <initializer_list>
#include <map>

namespace {

// Bytes of a dump file name the engine keeps (its field holds the terminating NUL too).
constexpr std::size_t kMaxDumpName = CSndIOPlayList::kPathLength - 1;

using kerrion::cli::ParseInteger;
using kerrion::cli::ParseIntegerList;
using kerrion::cli::ParseNumber;

// Splits "--opt=VALUE" into the option and its inline value.
void SplitInlineValue(std::string& option, std::optional<std::string>& inlineValue)
{
    const std::size_t equals = option.find('=');
    if (option.rfind("--", 0) == 0 && equals != std::string::npos) {
        inlineValue = option.substr(equals + 1);
        option.resize(equals);
    }
}

// An option: whether it takes a value, and what it does with it (returns an error or "").
struct OptionHandler {
    bool takesValue = false;
    std::function<std::string(MeterCommandLine&, const std::string&)> apply;
};

OptionHandler Flag(bool MeterCommandLine::*member)
{
    return { false, [member](MeterCommandLine& o, const std::string&) {
                o.*member = true;
                return std::string();
            } };
}

OptionHandler Integer(
    const char* name, std::optional<int> MeterCommandLine::*member, long long lowest)
{
    return { true, [=](MeterCommandLine& o, const std::string& v) {
                const std::optional<long long> n = ParseInteger(v);
                if (!n || *n < lowest || *n > 2147483647)
                    return std::string("option ") + name + " needs a whole number, not \"" + v
                        + "\"";
                o.*member = static_cast<int>(*n);
                return std::string();
            } };
}

OptionHandler Positive(const char* name, std::function<void(MeterCommandLine&, double)> set)
{
    return { true, [=](MeterCommandLine& o, const std::string& v) {
                const std::optional<double> n = ParseNumber(v);
                if (!n || *n <= 0.0)
                    return std::string("option ") + name + " needs a number above 0, not \"" + v
                        + "\"";
                set(o, *n);
                return std::string();
            } };
}

std::string SetFormat(MeterCommandLine& o, const std::string& v)
{
    static const std::map<std::string, MeterFormat> formats { { "table", MeterFormat::Table },
        { "csv", MeterFormat::Csv }, { "jsonl", MeterFormat::Jsonl } };
    const auto found = formats.find(v);
    if (found == formats.end())
        return "option --format takes table, csv or jsonl, not \"" + v + "\"";
    o.format = found->second;
    return "";
}

std::string SetChoice(std::optional<std::string>& target, const char* option,
    std::initializer_list<const char*> allowed, const std::string& v)
{
    std::string list;
    for (const char* a : allowed) {
        if (kerrion::EqualNoCase(a, v)) {
            target = a;
            return "";
        }
        list += std::string(list.empty() ? "" : ", ") + a;
    }
    return std::string("option ") + option + " takes " + list + ", not \"" + v + "\"";
}

std::string SetChannels(MeterCommandLine& o, const std::string& v)
{
    const std::optional<std::vector<int>> list = ParseIntegerList(v);
    if (!list || list->size() > 8)
        return "option --channels needs up to 8 whole numbers separated by commas, not \"" + v
            + "\"";
    o.channels = *list;
    return "";
}

std::string SetBlocks(MeterCommandLine& o, const std::string& v)
{
    const std::optional<long long> n = ParseInteger(v);
    if (!n || *n < 1)
        return "option --blocks needs a whole number above 0, not \"" + v + "\"";
    o.blocks = *n;
    return "";
}

std::string SetDump(MeterCommandLine& o, const std::string& v)
{
    o.dumpFiles = kerrion::cli::SplitList(v);
    if (o.dumpFiles.size() > 3 || v.empty())
        return "option --dump needs one to three file names separated by commas";
    // A longer name is refused whole: cut to what the engine keeps, it would name another file.
    for (const std::string& name : o.dumpFiles)
        if (name.size() > kMaxDumpName)
            return "option --dump: the file name \"" + name.substr(0, 40) + "...\" has "
                + std::to_string(name.size()) + " bytes; at most " + std::to_string(kMaxDumpName)
                + " are allowed";
    return "";
}

std::string SetText(
    std::optional<std::string>& target, const std::string& option, const std::string& v)
{
    if (v.empty())
        return "option " + option + " needs a value";
    target = v;
    return "";
}

const std::map<std::string, OptionHandler>& Handlers()
{
    static const std::map<std::string, OptionHandler> handlers {
        { "--ini",
            { true,
                [](MeterCommandLine& o, const std::string& v) {
                    return v.empty() ? std::string("option --ini needs a file name")
                                     : SetText(o.iniFile, "--ini", v);
                } } },
        { "--print-settings", Flag(&MeterCommandLine::printSettings) },
        { "--save-settings", Flag(&MeterCommandLine::saveSettings) },
        { "--list-devices", Flag(&MeterCommandLine::listDevices) },
        { "--reconnect", Flag(&MeterCommandLine::reconnect) },
        { "--help", Flag(&MeterCommandLine::help) },
        { "-h", Flag(&MeterCommandLine::help) },
        { "--device-type", Integer("--device-type", &MeterCommandLine::deviceType, INT32_MIN) },
        { "--device-id", Integer("--device-id", &MeterCommandLine::deviceId, 0) },
        { "--device",
            { true,
                [](MeterCommandLine& o, const std::string& v) {
                    return SetText(o.deviceName, "--device", v);
                } } },
        { "--channels", { true, &SetChannels } },
        { "--blocks", { true, &SetBlocks } },
        { "--seconds",
            Positive("--seconds", [](MeterCommandLine& o, double n) { o.seconds = n; }) },
        { "--format", { true, &SetFormat } },
        { "--loudness",
            { true,
                [](MeterCommandLine& o, const std::string& v) {
                    return SetChoice(
                        o.loudnessLayout, "--loudness", { "stereo", "mono", "5.1", "7.1" }, v);
                } } },
        { "--standard",
            { true,
                [](MeterCommandLine& o, const std::string& v) {
                    return SetChoice(
                        o.standard, "--standard", { "ARIB", "EBU", "ATSC", "Custom" }, v);
                } } },
        { "--meter-type",
            { true,
                [](MeterCommandLine& o, const std::string& v) -> std::string {
                    const std::optional<kerrion::NeedleType> type = kerrion::FindNeedleType(v);
                    if (!type)
                        return "option --meter-type takes " + kerrion::NeedleTypeKeys() + ", not \""
                            + v + "\"";
                    o.meterType = kerrion::NeedleTypeName(*type);
                    return "";
                } } },
        { "--dump", { true, &SetDump } },
        { "--log",
            { true,
                [](MeterCommandLine& o, const std::string& v) {
                    return SetText(o.logFile, "--log", v);
                } } },
        { "--plot",
            { true,
                [](MeterCommandLine& o, const std::string& v) {
                    return SetText(o.plotFile, "--plot", v);
                } } },
        { "--file",
            { true,
                [](MeterCommandLine& o, const std::string& v) {
                    if (v.empty())
                        return std::string("option --file needs a file name");
                    o.files.push_back(v);
                    return std::string();
                } } },
        { "--dump-seconds",
            Positive("--dump-seconds", [](MeterCommandLine& o, double n) { o.dumpSeconds = n; }) },
    };
    return handlers;
}

} // namespace

MeterCommandLineResult ParseMeterCommandLine(const std::vector<std::string>& args)
{
    MeterCommandLineResult result;
    for (std::size_t i = 0; i < args.size() && result.error.empty(); ++i) {
        std::string option = args[i];
        std::optional<std::string> value;
        SplitInlineValue(option, value);
        const auto handler = Handlers().find(option);
        if (handler == Handlers().end()) {
            result.error = "unknown option: " + args[i];
        } else if (!handler->second.takesValue && value) {
            result.error = "option " + option + " takes no value";
        } else if (handler->second.takesValue && !value && i + 1 >= args.size()) {
            result.error = option == "--ini" ? "option --ini needs a file name"
                                             : "option " + option + " needs a value";
        } else {
            if (handler->second.takesValue && !value)
                value = args[++i];
            result.error = handler->second.apply(result.options, value.value_or(""));
            // --file takes every name that follows it, as a shell pattern gives them.
            while (option == "--file" && i + 1 < args.size() && args[i + 1].rfind('-', 0) != 0)
                result.options.files.push_back(args[++i]);
        }
    }
    return result;
}

std::string MeterUsage()
{
    return "usage: kerrion-meter [--ini FILE] [--print-settings] [--save-settings] "
           "[--list-devices]\n"
           "                     [--device-type N] [--device-id N] [--device NAME] [--channels "
           "a,b,...]\n"
           "                     [--blocks N] [--seconds S] [--format table|csv|jsonl]\n"
           "                     [--dump FILE[,FILE[,FILE]]] [--dump-seconds S]\n"
           "                     [--loudness LAYOUT] [--standard NAME] [--meter-type TYPE]\n"
           "                     [--reconnect] [--log FILE] [--plot FILE.png] [--help]\n"
           "       kerrion-meter --file PATH... [--loudness LAYOUT] [--standard NAME]\n"
           "                     [--format table|csv|jsonl] [--plot FILE.png] [--ini FILE]\n"
           "  --ini FILE         use FILE instead of the per-user Kerrion.ini\n"
           "  --print-settings   print every setting, as loaded at start-up, as INI text\n"
           "  --save-settings    load the settings and write them back as the program does at "
           "exit\n"
           "  --list-devices     list the devices of both families with their channels, buffer\n"
           "                     size and sample rate\n"
           "Without these, meters the device of the settings until interrupted (Ctrl-C):\n"
           "  --device-type N    device family: 2 low-latency drivers, 1 plain audio devices\n"
           "  --device-id N      device index within its family\n"
           "  --device NAME      the first device, drivers first, whose name begins with NAME\n"
           "                     (case ignored)\n"
           "  --channels a,b,... device input channels (0-based) of meters 1 to 8; -1 for none\n"
           "  --blocks N         stop after N blocks of levels\n"
           "  --seconds S        stop after S seconds\n"
           "  --format F         table (default, redrawn on a terminal), csv or jsonl (one record\n"
           "                     per block)\n"
           "  --dump FILES       also write the input to up to three 16-bit WAVE files, two\n"
           "                     channels each\n"
           "  --dump-seconds S   seconds written to each dump file (default 600)\n"
           "  --loudness LAYOUT  programme of the loudness measurement: stereo (meters 1-2),\n"
           "                     mono (meter 1), 5.1 (meters 1-6), 7.1 (meters 1-8)\n"
           "  --standard NAME    judge the loudness by ARIB (TR-B32), EBU (R128), ATSC (A/85)\n"
           "                     or Custom (the settings' Loudness/Target and TruePeakLimit)\n"
           "  --meter-type TYPE  every meter's needle: vu, vu-iec (IEC VU), ppm-din, ppm-nordic\n"
           "                     (Type I PPM), ppm-bbc, ppm-ebu (Type II PPM); by default each\n"
           "                     meter's meter_type setting\n"
           "  --reconnect        when the device goes away (unplugged, its server stopped), wait\n"
           "                     for it and meter again once it is back, instead of ending with\n"
           "                     status 3\n"
           "  --log FILE         append the loudness session log to FILE: a csv line a second\n"
           "                     while metering and one at each start and stop\n"
           "  --plot FILE.png    draw the loudness history of the run (or of the one --file)\n"
           "                     into FILE.png when it ends\n"
           "  --help             show this text\n"
           "With --file, measures the loudness of each sound file (WAVE, FLAC, AIFF, Ogg, ...)\n"
           "as fast as it can be read and judges it by the standard; --loudness chooses the\n"
           "programme (by default the one of the file's 1, 2, 6 or 8 channels), csv and jsonl\n"
           "print a record per 100 ms of each file.\n"
           "Exit status: 0 done (with --file: every file meets the standard), 1 failure (a file\n"
           "that cannot be read), 2 usage, 3 the device failed or went away, 4 a dump file\n"
           "failed, 5 a file does not meet the standard.\n";
}
