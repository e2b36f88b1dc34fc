#include "platform/asio/Registry.h"
#include "platform/paths/RegularFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using kerrion::Registry;

namespace {

const char* kDrivers = R"(Windows Registry Editor Version 5.00

; two drivers, written the way the registry editor exports them
[HKEY_LOCAL_MACHINE\SOFTWARE\ASIO\Zeta Card]
"CLSID"="{11111111-2222-3333-4444-555555555555}"
"Description"="Zeta \"Pro\" Card"

[HKEY_LOCAL_MACHINE\SOFTWARE\ASIO\Alpha Card]
"CLSID"="{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}"
"Flags"=dword:00000001

[HKEY_CLASSES_ROOT\CLSID\{11111111-2222-3333-4444-555555555555}\InprocServer32]
@="C:\\Drivers\\zeta.dll"
"ThreadingModel"="Apartment"
)";

} // namespace

TEST(Registry, ReadsKeysValuesAndEscapesInFileOrder)
{
    Registry registry;
    ASSERT_EQ(registry.LoadText(kDrivers, "/etc"), 1);
    EXPECT_EQ(registry.SubKeys("HKEY_LOCAL_MACHINE\\SOFTWARE\\ASIO"),
        (std::vector<std::string> { "Zeta Card", "Alpha Card" }));
    std::string value;
    ASSERT_TRUE(
        registry.GetString("HKEY_LOCAL_MACHINE\\SOFTWARE\\ASIO\\Zeta Card", "Description", value));
    EXPECT_EQ(value, "Zeta \"Pro\" Card");
    ASSERT_TRUE(registry.GetString(
        "HKEY_CLASSES_ROOT\\CLSID\\{11111111-2222-3333-4444-555555555555}\\InprocServer32", "",
        value));
    EXPECT_EQ(value, "C:\\Drivers\\zeta.dll");
    EXPECT_FALSE(
        registry.GetString("HKEY_LOCAL_MACHINE\\SOFTWARE\\ASIO\\Alpha Card", "Flags", value))
        << "only string values are kept";
    EXPECT_EQ(registry.KeyFolder("HKEY_LOCAL_MACHINE\\SOFTWARE\\ASIO\\Zeta Card"), "/etc");
}

TEST(Registry, MatchesKeyAndValueNamesWithoutRegardToCase)
{
    Registry registry;
    ASSERT_EQ(registry.LoadText(kDrivers, "/"), 1);
    std::string value;
    EXPECT_TRUE(registry.GetString("hklm\\software\\asio\\ZETA CARD", "clsid", value));
    EXPECT_EQ(value, "{11111111-2222-3333-4444-555555555555}");
    EXPECT_TRUE(registry.GetString(
        "HKCR\\clsid\\{11111111-2222-3333-4444-555555555555}\\inprocserver32", "@", value));
    EXPECT_TRUE(registry.HasKey("HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID"))
        << "the machine's Classes key is the classes root";
    EXPECT_TRUE(registry.SubKeys("HKEY_LOCAL_MACHINE\\SOFTWARE\\NoSuchKey").empty());
}

TEST(Registry, RefusesTextWithoutTheHeaderLine)
{
    Registry registry;
    EXPECT_EQ(
        registry.LoadText("[HKEY_LOCAL_MACHINE\\SOFTWARE\\ASIO\\X]\n\"CLSID\"=\"y\"\n", "/"), 0);
    EXPECT_EQ(registry.LoadText("", "/"), 0);
    EXPECT_FALSE(registry.HasKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\ASIO\\X"));
    EXPECT_EQ(registry.LoadText("REGEDIT4\n[HKLM\\A]\n", "/"), 1);
    EXPECT_TRUE(registry.HasKey("HKEY_LOCAL_MACHINE\\A"));
}

TEST(Registry, LaterFilesAddOverrideAndRemove)
{
    Registry registry;
    ASSERT_EQ(registry.LoadText(kDrivers, "/shipped"), 1);
    const char* user = "Windows Registry Editor Version 5.00\r\n"
                       "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\ASIO\\Zeta Card]\r\n"
                       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ASIO\\Alpha Card]\r\n"
                       "\"Description\"=\"Alpha, renamed\"\r\n"
                       "\"CLSID\"=-\r\n"
                       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ASIO\\Beta Card]\r\n"
                       "\"Binary\"=hex:01,02,\\\r\n"
                       "  03,04\r\n"
                       "\"CLSID\"=\"{B}\"\r\n";
    ASSERT_EQ(registry.LoadText(user, "/home/user"), 1);
    EXPECT_EQ(registry.SubKeys("HKLM\\SOFTWARE\\ASIO"),
        (std::vector<std::string> { "Alpha Card", "Beta Card" }));
    std::string value;
    EXPECT_TRUE(registry.GetString("HKLM\\SOFTWARE\\ASIO\\Alpha Card", "Description", value));
    EXPECT_EQ(value, "Alpha, renamed");
    EXPECT_FALSE(registry.GetString("HKLM\\SOFTWARE\\ASIO\\Alpha Card", "CLSID", value));
    EXPECT_TRUE(registry.GetString("HKLM\\SOFTWARE\\ASIO\\Beta Card", "CLSID", value))
        << "a continued hex value does not swallow the next value";
    EXPECT_EQ(value, "{B}");
    EXPECT_EQ(registry.KeyFolder("HKLM\\SOFTWARE\\ASIO\\Beta Card"), "/home/user");
}

TEST(Registry, ReadsUtf16FilesAsTheRegistryEditorWritesThem)
{
    const std::string text
        = "Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\ASIO\\"
          "\xE3\x83\x87\xE3\x83\x90\xE3\x82\xA4\xE3\x82\xB9]\r\n\"CLSID\"=\"{C}\"\r\n";
    // UTF-8 to UTF-16LE with a byte order mark (every character here is in the basic plane).
    std::string utf16 = "\xFF\xFE";
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        uint32_t cp = c;
        if (c >= 0xE0) {
            cp = ((c & 0x0Fu) << 12) | ((text[i + 1] & 0x3Fu) << 6) | (text[i + 2] & 0x3Fu);
            i += 3;
        } else {
            ++i;
        }
        utf16 += static_cast<char>(cp & 0xFF);
        utf16 += static_cast<char>(cp >> 8);
    }
    kerrion::test::TempDir dir;
    kerrion::test::WriteFileBytes(dir / "utf16.reg", utf16);
    Registry registry;
    ASSERT_EQ(registry.LoadFile(dir / "utf16.reg"), 1);
    EXPECT_EQ(registry.SubKeys("HKLM\\SOFTWARE\\ASIO"),
        std::vector<std::string> { "\xE3\x83\x87\xE3\x83\x90\xE3\x82\xA4\xE3\x82\xB9" });
    EXPECT_EQ(registry.KeyFolder("HKLM\\SOFTWARE\\ASIO"), std::filesystem::path());
    EXPECT_EQ(registry.LoadFile(dir / "missing.reg"), 0);
}

TEST(Registry, ReadsOnlyARegularFileOfAtMostOneMebibyte)
{
    kerrion::test::TempDir dir;
    ASSERT_EQ(mkfifo((dir / "fifo.reg").c_str(), 0600), 0);
    std::filesystem::create_directory(dir / "folder.reg");
    std::string large = kDrivers;
    large += "; " + std::string(kerrion::kMaxTextFileBytes, 'x') + "\n";
    kerrion::test::WriteFileBytes(dir / "large.reg", large);
    kerrion::test::WriteFileBytes(dir / "drivers.reg", kDrivers);
    Registry registry;
    for (const char* name : { "fifo.reg", "folder.reg", "large.reg" })
        EXPECT_EQ(registry.LoadFile(dir / name), 0) << name; // a FIFO would block a plain open
    EXPECT_EQ(registry.LoadFile("/dev/zero"), 0);
    EXPECT_TRUE(registry.SubKeys("HKLM\\SOFTWARE\\ASIO").empty());
    EXPECT_EQ(registry.LoadFile(dir / "drivers.reg"), 1);
    EXPECT_EQ(registry.SubKeys("HKLM\\SOFTWARE\\ASIO").size(), 2u);
}

TEST(Registry, IgnoresMalformedLines)
{
    const char* text = "Windows Registry Editor Version 5.00\n"
                       "\"Orphan\"=\"before any key\"\n"
                       "[HKLM\\SOFTWARE\\ASIO\\Odd\n"
                       "[HKLM\\SOFTWARE\\ASIO\\Good]\n"
                       "\"Unclosed=\"x\"\n"
                       "\"NoEquals\" \"x\"\n"
                       "\"Open\"=\"never closed\n"
                       "\"CLSID\" = \"{G}\"\n";
    Registry registry;
    ASSERT_EQ(registry.LoadText(text, "/"), 1);
    EXPECT_EQ(registry.SubKeys("HKLM\\SOFTWARE\\ASIO"), std::vector<std::string> { "Good" });
    std::string value;
    EXPECT_TRUE(registry.GetString("HKLM\\SOFTWARE\\ASIO\\Good", "CLSID", value));
    EXPECT_EQ(value, "{G}");
    EXPECT_FALSE(registry.GetString("HKLM\\SOFTWARE\\ASIO\\Good", "Open", value));
}

TEST(Registry, IgnoresKeysDeeperThanWindowsAllowsWithoutBlowingUp)
{
    // A path of tens of thousands of levels once cost memory in the square of its length.
    auto deepPath = [](size_t levels) {
        std::string path = "HKLM\\SOFTWARE\\ASIO";
        for (size_t i = 3; i < levels; ++i)
            path += "\\k";
        return path;
    };
    const std::string deepest = deepPath(kerrion::kRegistryMaxDepth);
    const std::string tooDeep = deepPath(50000);
    const std::string text = "REGEDIT4\n[" + tooDeep + "]\n\"CLSID\"=\"{lost}\"\n[-" + tooDeep
        + "]\n[" + deepest + "]\n@=\"kept\"\n[" + deepest + "\\k]\n@=\"lost\"\n"
        + "[HKLM\\SOFTWARE\\ASIO\\After]\n\"CLSID\"=\"{A}\"\n";
    Registry registry;
    ASSERT_EQ(registry.LoadText(text, "/"), 1);
    std::string value;
    EXPECT_TRUE(registry.GetString(deepest, "", value));
    EXPECT_EQ(value, "kept");
    EXPECT_FALSE(registry.HasKey(deepest + "\\k"));
    EXPECT_FALSE(registry.HasKey(tooDeep));
    EXPECT_EQ(registry.SubKeys("HKLM\\SOFTWARE\\ASIO"), (std::vector<std::string> { "k", "After" }))
        << "a refused key leaves no parents behind";
    EXPECT_TRUE(registry.GetString("HKLM\\SOFTWARE\\ASIO\\After", "CLSID", value));
    EXPECT_EQ(value, "{A}");
}

TEST(Registry, LongRunsOfKeysAndValuesKeepOrderAndLastWriteWins)
{
    // Many siblings, each removed and made again, and many values written over: the order of
    // the second creation holds, removed subtrees are gone, the last value written is read.
    constexpr int kCount = 5000;
    std::string text = "REGEDIT4\n";
    for (int i = 0; i < kCount; ++i)
        text += "[HKLM\\SOFTWARE\\ASIO\\D" + std::to_string(i) + "\\Sub]\n";
    for (int i = kCount - 1; i >= 0; --i)
        text += "[-HKLM\\SOFTWARE\\ASIO\\d" + std::to_string(i) + "]\n" + "[HKLM\\SOFTWARE\\ASIO\\D"
            + std::to_string(i) + "]\n";
    for (int i = 0; i < kCount; ++i)
        text += "\"V" + std::to_string(i % 100) + "\"=\"" + std::to_string(i) + "\"\n";
    Registry registry;
    ASSERT_EQ(registry.LoadText(text, "/"), 1);
    const auto subkeys = registry.SubKeys("HKLM\\SOFTWARE\\ASIO");
    ASSERT_EQ(subkeys.size(), static_cast<size_t>(kCount));
    EXPECT_EQ(subkeys.front(), "D" + std::to_string(kCount - 1));
    EXPECT_EQ(subkeys.back(), "D0");
    EXPECT_FALSE(registry.HasKey("HKLM\\SOFTWARE\\ASIO\\D7\\Sub"));
    std::string value;
    EXPECT_TRUE(registry.GetString("HKLM\\SOFTWARE\\ASIO\\D0", "v42", value));
    EXPECT_EQ(value, std::to_string(kCount - 100 + 42));
}

TEST(Registry, TurnsUnpairedUtf16SurrogatesIntoReplacementCharacters)
{
    auto utf16 = [](std::string_view ascii) {
        std::string out;
        for (char c : ascii)
            out += { c, '\0' };
        return out;
    };
    // A lone high surrogate, a lone low one, then a proper pair (U+1F3B5) and an odd last byte.
    const std::string text = "\xFF\xFE" + utf16("REGEDIT4\r\n[HKLM\\SOFTWARE\\ASIO\\")
        + std::string("\x00\xD8\x41\x00", 4) + std::string("\x00\xDC", 2)
        + std::string("\x3C\xD8\xB5\xDF", 4) + utf16("]\r\n") + "A";
    Registry registry;
    ASSERT_EQ(registry.LoadText(text, "/"), 1);
    EXPECT_EQ(registry.SubKeys("HKLM\\SOFTWARE\\ASIO"),
        std::vector<std::string> { "\xEF\xBF\xBD"
                                   "A\xEF\xBF\xBD\xF0\x9F\x8E\xB5" });
}
