#include "CommandLine.h"

namespace {

// Splits "--opt=VALUE" into the option and its inline value.
void SplitInlineValue(std::string& option, std::optional<std::string>& inlineValue)
{
    const std::size_t equals = option.find('=');
    if (option.rfind("--", 0) == 0 && equals != std::string::npos) {
        inlineValue = option.substr(equals + 1);
        option.resize(equals);
    }
}

} // namespace

MeterCommandLineResult ParseMeterCommandLine(const std::vector<std::string>& args)
{
    MeterCommandLineResult result;
    MeterCommandLine& options = result.options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string option = args[i];
        std::optional<std::string> inlineValue;
        SplitInlineValue(option, inlineValue);
        const auto takeValue = [&]() -> std::optional<std::string> {
            if (inlineValue)
                return inlineValue;
            if (i + 1 < args.size())
                return args[++i];
            return std::nullopt;
        };
        const auto noValue = [&]() {
            if (inlineValue)
                result.error = "option " + option + " takes no value";
        };

        if (option == "--ini") {
            options.iniFile = takeValue();
            if (!options.iniFile || options.iniFile->empty())
                result.error = "option --ini needs a file name";
        } else if (option == "--print-settings") {
            options.printSettings = true;
            noValue();
        } else if (option == "--save-settings") {
            options.saveSettings = true;
            noValue();
        } else if (option == "--help" || option == "-h") {
            options.help = true;
            noValue();
        } else {
            result.error = "unknown option: " + args[i];
        }
        if (!result.error.empty())
            return result;
    }
    return result;
}

std::string MeterUsage()
{
    return "usage: kerrion-meter [--ini FILE] [--print-settings] [--save-settings] [--help]\n"
           "  --ini FILE         use FILE instead of the per-user Kerrion.ini\n"
           "  --print-settings   print every setting, as loaded at start-up, as INI text\n"
           "  --save-settings    load the settings and write them back as the program does at "
           "exit\n"
           "  --help             show this text\n";
}
