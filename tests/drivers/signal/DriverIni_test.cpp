// The driver plug-ins' settings files: their numbers, and keys written back without touching the
// user's other lines.

#include "DriverIni.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using kerrion::driver::IniAssignments;
using kerrion::driver::IniInteger;
using kerrion::driver::IniNumber;
using kerrion::driver::WriteIniKeys;
using kerrion::test::ReadFileBytes;
using kerrion::test::TempDir;
using kerrion::test::WriteFileBytes;

TEST(DriverIni, NumbersThatAreMissingMalformedOrNotFiniteGiveTheFallback)
{
    const CIniProfile ini("[s]\nrate = 44100.5 Hz\nplus=+2.5\nword=fast\nnan=nan\ninf=-inf\n"
                          "huge=1e400\nempty=\n");
    EXPECT_DOUBLE_EQ(IniNumber(ini, "S", "RATE", 1.0), 44100.5);
    EXPECT_DOUBLE_EQ(IniNumber(ini, "s", "plus", 1.0), 2.5);
    for (const char* key : { "word", "nan", "inf", "huge", "empty", "missing" })
        EXPECT_DOUBLE_EQ(IniNumber(ini, "s", key, 7.5), 7.5) << key;
    EXPECT_DOUBLE_EQ(IniNumber(ini, "other", "rate", 7.5), 7.5);
}

TEST(DriverIni, IntegersAreCutAndHeldWithinTheirBounds)
{
    const CIniProfile ini("[s]\nframes=512.9\nbig=1e300\nsmall=-1e300\nnegative=-3.7\nnan=nan\n");
    EXPECT_EQ(IniInteger(ini, "s", "frames", 64, 16, 16384), 512);
    EXPECT_EQ(IniInteger(ini, "s", "big", 64, 16, 16384), 16384);
    EXPECT_EQ(IniInteger(ini, "s", "small", 64, 16, 16384), 16);
    EXPECT_EQ(IniInteger(ini, "s", "negative", 0, -10, 10), -3);
    EXPECT_EQ(IniInteger(ini, "s", "nan", 64, 16, 16384), 64);
    EXPECT_EQ(IniInteger(ini, "s", "missing", 1, 0, 8), 1);
}

TEST(DriverIni, WritingSetsAndRemovesTheSectionsKeysAndKeepsEveryOtherLine)
{
    struct Case {
        const char* name;
        const char* before; // nullptr: no file
        IniAssignments keys;
        const char* after;
    };
    const Case cases[] = {
        { "no file yet", nullptr, { { "in_1", "a:x" }, { "in_2", "" } }, "[S]\nin_1=a:x\n" },
        { "in place", "; top\n[A]\nin_1=a\n[s]\n# note\nIN_1 = old\nother=x\n\n[B]\ny=2\n",
            { { "in_1", "new" }, { "in_2", "add" }, { "out_1", "" } },
            "; top\n[A]\nin_1=a\n[s]\n# note\nIN_1=new\nother=x\nin_2=add\n\n[B]\ny=2\n" },
        { "removed with its duplicates", "[S]\nin_1=a\nkeep=1\r\nIN_1=dup\n", { { "in_1", "" } },
            "[S]\nkeep=1\r\n" },
        { "appended", "[A]\nx=1", { { "k", "v" } }, "[A]\nx=1\n[S]\nk=v\n" },
        { "nothing to hold", "[A]\nx=1", { { "k", "" } }, "[A]\nx=1" },
        { "a value cannot add lines", nullptr, { { "k", "a\nb\rc" } }, "[S]\nk=a b c\n" },
    };
    for (const Case& c : cases) {
        TempDir dir;
        const auto path = dir / "sub/driver.ini";
        if (c.before != nullptr) {
            std::filesystem::create_directories(path.parent_path());
            WriteFileBytes(path, c.before);
        }
        ASSERT_TRUE(WriteIniKeys(path, "S", c.keys)) << c.name;
        EXPECT_EQ(ReadFileBytes(path), c.after) << c.name;
        const std::filesystem::directory_iterator files(path.parent_path());
        EXPECT_EQ(std::distance(begin(files), end(files)), 1)
            << c.name << ": no temporary file is left";
    }
}

TEST(DriverIni, AFileThatIsThereButCannotBeReadIsNeverReplaced)
{
    TempDir dir;
    const std::string large = "[JACK]\nInputs=4\n; " + std::string(1 << 20, 'x') + "\n";
    WriteFileBytes(dir / "large.ini", large);
    std::filesystem::create_directory(dir / "folder.ini");
    ASSERT_EQ(mkfifo((dir / "fifo.ini").c_str(), 0600), 0);
    for (const char* name : { "large.ini", "folder.ini", "fifo.ini" })
        EXPECT_FALSE(WriteIniKeys(dir / name, "Connections", { { "in_1", "a:b" } })) << name;
    EXPECT_EQ(ReadFileBytes(dir / "large.ini"), large);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "folder.ini"));
    EXPECT_TRUE(std::filesystem::is_fifo(dir / "fifo.ini"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 3);
}

TEST(DriverIni, ALinkedFileIsWrittenThroughItsLink)
{
    TempDir dir;
    WriteFileBytes(dir / "real.ini", "[S]\nk=1\n");
    std::filesystem::create_symlink(dir / "real.ini", dir / "link.ini");
    ASSERT_TRUE(WriteIniKeys(dir / "link.ini", "S", { { "k", "2" } }));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.ini"));
    EXPECT_EQ(ReadFileBytes(dir / "real.ini"), "[S]\nk=2\n");
}
