// kerrion: the meter program.
#include "app/SonaltApp.h"

#include <cstdio>
#include <string>

namespace {

const char* const kUsage = "usage: kerrion [--ini FILE]\n"
                           "  --ini FILE   use FILE instead of the per-user Kerrion.ini\n";

} // namespace

int main(int argc, char** argv)
{
    // Every pixel value of the layout is a physical pixel.
    if (qEnvironmentVariableIsEmpty("QT_ENABLE_HIGHDPI_SCALING"))
        qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");

    CSonaltApp app(argc, argv); // takes Qt's own arguments (-platform, -display, ...) out
    std::string iniFile;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--ini" && i + 1 < argc && argv[i + 1][0] != '\0') {
            iniFile = argv[++i];
        } else if (arg.rfind("--ini=", 0) == 0 && arg.size() > 6) {
            iniFile = arg.substr(6);
        } else {
            const bool missing = arg == "--ini" || arg == "--ini=";
            std::fprintf(stderr, "kerrion: %s%s\n%s",
                missing ? "option --ini needs a file name" : "unknown argument: ",
                missing ? "" : arg.c_str(), kUsage);
            return 2;
        }
    }
    if (!iniFile.empty())
        app.SetSettingsFile(iniFile);
    app.InitInstance();
    return app.ExitInstance();
}
