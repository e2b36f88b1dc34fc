#include "app/IniProfile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

using kerrion::test::ReadFileBytes;
using kerrion::test::TempDir;
using kerrion::test::WriteFileBytes;

namespace {

std::size_t FilesIn(const std::filesystem::path& folder)
{
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder))
        ++count;
    return count;
}

} // namespace

TEST(IniProfileRead, MatchesNamesWithoutRegardToCase)
{
    const CIniProfile profile("[meter]\r\nnUM=8\r\n");
    EXPECT_EQ(profile.GetInt("Meter", "Num", 4), 8);
    EXPECT_EQ(profile.GetString("METER", "num", "x"), "8");
}

TEST(IniProfileRead, DefaultsForMissingSectionKeyOrEmptyValue)
{
    const CIniProfile profile("[Meter]\nNum=\nRefresh = 3 \n");
    EXPECT_EQ(profile.GetInt("Meter", "Num", 4), 4);          // empty value
    EXPECT_EQ(profile.GetInt("Meter", "Size.w", 1360), 1360); // missing key
    EXPECT_EQ(profile.GetInt("Other", "Num", 7), 7);          // missing section
    EXPECT_EQ(profile.GetInt("Meter", "Refresh", 1), 3);
    EXPECT_EQ(profile.GetString("Meter", "Num", "dflt"), ""); // present but empty: not the default
    EXPECT_EQ(profile.GetString("Meter", "Gone", "dflt"), "dflt");
}

TEST(IniProfileRead, FirstOfDuplicateSectionsAndKeysCounts)
{
    const CIniProfile profile("[A]\nk=1\nk=2\n[B]\nk=9\n[a]\nk=3\nonly=4\n");
    EXPECT_EQ(profile.GetInt("A", "k", 0), 1);
    EXPECT_EQ(profile.GetInt("A", "only", 0), 0); // the later duplicate section is not read
}

TEST(IniProfileRead, ValueIsTrimmedAndCutToCapacity)
{
    const std::string longValue(5000, 'x');
    const CIniProfile profile("[S]\nname = \t Left A  \r\nlong=" + longValue + "\n");
    EXPECT_EQ(profile.GetString("S", "name", ""), "Left A");
    EXPECT_EQ(profile.GetString("S", "long", "").size(), CIniProfile::kStringCapacity - 1);
}

TEST(IniProfileRead, ToleratesMalformedLines)
{
    std::string text = "\xEF\xBB\xBF[First]\nkey=1\n[Broken\nkey2=2\nno equals here\n=novalue\n";
    text += std::string("bin\0ary", 7) + "\n[Last]\nname=ab";
    text += std::string("\0cd", 3); // NUL inside a value, no final newline
    const CIniProfile profile(text);
    EXPECT_EQ(profile.GetInt("First", "key", 0), 1);  // BOM ignored
    EXPECT_EQ(profile.GetInt("First", "key2", 0), 2); // "[Broken" starts no section
    EXPECT_EQ(profile.GetInt("Broken", "key2", 0), 0);
    EXPECT_EQ(profile.GetString("Last", "name", ""), "ab");
}

TEST(IniProfileRead, ShiftJisValuesAreDecodedToUtf8)
{
    const CIniProfile profile("[Channel1]\nname=\x83\x81\x83\x43\x83\x93\n[Device]\nName=日本\n");
    EXPECT_EQ(profile.GetString("Channel1", "name", ""), "メイン");
    EXPECT_EQ(profile.GetString("Device", "Name", ""), "日本");
}

TEST(IniProfileWrite, ReplacesInPlaceAndLeavesOtherLinesAlone)
{
    const std::string before
        = "; hand comment\n[Meter]\nSize.w = 1920 ; wide\nNum=4\n\n[Mine]\nx=1\n";
    CIniProfile profile(before);
    profile.WriteString("meter", "NUM", "8");
    EXPECT_EQ(
        profile.Text(), "; hand comment\n[Meter]\nSize.w = 1920 ; wide\nNum=8\n\n[Mine]\nx=1\n");
    profile.WriteString("Meter", "Size.w", "1920 ; wide"); // same value: line kept byte for byte
    EXPECT_EQ(profile.Text().find("Size.w = 1920 ; wide\n"), before.find("Size.w"));
}

TEST(IniProfileWrite, NewKeyGoesToTheEndOfItsSection)
{
    CIniProfile profile("[A]\r\nk=1\r\n\r\n[B]\r\nz=0\r\n");
    profile.WriteString("A", "n", "2");
    EXPECT_EQ(profile.Text(), "[A]\r\nk=1\r\nn=2\r\n\r\n[B]\r\nz=0\r\n");
}

TEST(IniProfileWrite, NewSectionGoesToTheEndOfTheFile)
{
    CIniProfile profile("[A]\nk=1"); // no final newline
    profile.WriteString("B", "n", "2");
    EXPECT_EQ(profile.Text(), "[A]\nk=1\r\n[B]\r\nn=2\r\n");
    profile.WriteString("A", "m", "3");
    EXPECT_EQ(profile.Text(), "[A]\nk=1\r\nm=3\r\n[B]\r\nn=2\r\n");

    CIniProfile empty;
    empty.WriteString("Device", "Type", "0");
    EXPECT_EQ(empty.Text(), "[Device]\r\nType=0\r\n");
}

TEST(IniProfileWrite, WritesTheFirstOfDuplicates)
{
    CIniProfile profile("[A]\nk=1\nk=2\n[a]\nk=3\n");
    profile.WriteString("A", "K", "5");
    EXPECT_EQ(profile.Text(), "[A]\nk=5\nk=2\n[a]\nk=3\n");
}

TEST(IniProfileWrite, AValueCannotAddLines)
{
    CIniProfile profile;
    profile.WriteString("Channel1", "name", "x\r\n[Meter]\nNum=0");
    EXPECT_EQ(profile.GetInt("Meter", "Num", 4), 4);
    EXPECT_EQ(profile.GetString("Channel1", "name", ""), "x  [Meter] Num=0");
}

TEST(IniProfileWrite, RemoveKeyTakesEveryLineOfTheKeyInItsSectionOnly)
{
    struct Case {
        const char* before;
        const char* after;
    };
    const Case cases[] = {
        { "[A]\nk=1\nj=2\nK = 3\n[B]\nk=4\n", "[A]\nj=2\n[B]\nk=4\n" },
        { "; c\n[a]\r\nk=1\r\n\r\n[A]\nk=9\n", "; c\n[a]\r\n\r\n[A]\nk=9\n" },
        { "[A]\nj=1", "[A]\nj=1" },
        { "[B]\nk=1\n", "[B]\nk=1\n" },
        { "[A]\nk=1", "[A]\n" },
    };
    for (const Case& c : cases) {
        CIniProfile profile(c.before);
        profile.RemoveKey("A", "k");
        EXPECT_EQ(profile.Text(), c.after) << c.before;
        profile.WriteString("A", "new", "v"); // the lines are still known where they are
        EXPECT_EQ(profile.GetString("A", "new", ""), "v") << c.before;
        EXPECT_EQ(profile.GetString("A", "k", "gone"), "gone") << c.before;
    }
}

TEST(IniProfileRead, KeysAndRawValuesOfASection)
{
    const std::string longValue(3000, 'x');
    CIniProfile profile("[S]\nb=1\nA= 2 \nB=3\n; c=4\nlong=" + longValue + "\n[T]\nz=1\n");
    EXPECT_EQ(profile.GetKeys("s"), (std::vector<std::string> { "b", "A", "long" }));
    EXPECT_TRUE(profile.GetKeys("none").empty());
    EXPECT_TRUE(profile.HasSection("t"));
    EXPECT_FALSE(profile.HasSection("U"));
    EXPECT_EQ(profile.FindValue("S", "a"), "2");
    EXPECT_EQ(profile.FindValue("S", "long"), longValue); // no capacity cut
    EXPECT_FALSE(profile.FindValue("S", "c").has_value());
    profile.SetLineEnd("\n");
    profile.WriteString("T", "y", "2");
    EXPECT_EQ(profile.Text().substr(profile.Text().size() - 9), "\nz=1\ny=2\n");
}

TEST(IniProfileFile, MissingDirectoryOrPipeLoadsEmptyWithoutBlocking)
{
    TempDir dir;
    CIniProfile profile("[A]\nk=1\n");
    EXPECT_FALSE(profile.LoadFile(dir / "missing.ini"));
    EXPECT_TRUE(profile.Text().empty());
    EXPECT_FALSE(profile.LoadFile(dir.Path()));
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_FALSE(profile.LoadFile(dir / "fifo")); // would hang if it waited for a writer
    EXPECT_EQ(profile.Load(dir / "fifo"), kerrion::FileRead::kRefused);
    EXPECT_EQ(profile.Load(dir / "missing.ini"), kerrion::FileRead::kMissing);
    EXPECT_FALSE(profile.LoadFile("/dev/zero")); // would grow without end if it were read
    WriteFileBytes(dir / "large.ini", std::string(CIniProfile::kMaxFileBytes + 1, '\n'));
    EXPECT_FALSE(profile.LoadFile(dir / "large.ini"));
    EXPECT_EQ(profile.SaveFile(""), 0); // never the current folder
}

TEST(IniProfileFile, SaveReplacesTheFileAndKeepsItsPermissions)
{
    TempDir dir;
    const auto path = dir / "Kerrion.ini";
    WriteFileBytes(path, "[A]\nk=1\n");
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    CIniProfile profile;
    ASSERT_TRUE(profile.LoadFile(path));
    profile.WriteString("A", "k", "2");
    EXPECT_EQ(profile.SaveFile(path), 1);
    EXPECT_EQ(ReadFileBytes(path), "[A]\nk=2\n");
    struct stat info { };
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(FilesIn(dir.Path()), 1u); // no temporary file left
}

TEST(IniProfileFile, SaveThroughALinkReplacesItsTarget)
{
    TempDir dir;
    WriteFileBytes(dir / "real.ini", "[A]\nk=1\n");
    std::filesystem::create_symlink(dir / "real.ini", dir / "Kerrion.ini");
    CIniProfile profile("[A]\nk=7\n");
    EXPECT_EQ(profile.SaveFile(dir / "Kerrion.ini"), 1);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "Kerrion.ini"));
    EXPECT_EQ(ReadFileBytes(dir / "real.ini"), "[A]\nk=7\n");
}

TEST(IniProfileFile, FailedSaveLeavesTheOldFileIntact)
{
    TempDir dir;
    const CIniProfile profile("[A]\nk=2\n");
    // Into a folder that does not exist.
    EXPECT_EQ(profile.SaveFile(dir / "nowhere" / "Kerrion.ini"), 0);
    // Over a folder.
    std::filesystem::create_directory(dir / "Kerrion.ini");
    WriteFileBytes(dir / "Kerrion.ini" / "inside", "keep");
    EXPECT_EQ(profile.SaveFile(dir / "Kerrion.ini"), 0);
    EXPECT_EQ(ReadFileBytes(dir / "Kerrion.ini" / "inside"), "keep");
    EXPECT_EQ(FilesIn(dir.Path()), 1u);
}

TEST(IniProfileFile, FullDiskLeavesTheOldFileIntact)
{
    TempDir dir;
    const auto path = dir / "Kerrion.ini";
    const std::string old = "[A]\nk=1\n";
    WriteFileBytes(path, old);
    const CIniProfile profile("[A]\nk=" + std::string(100000, '2') + "\n");

    // A file size limit makes the write fail as a full disk would, even for root.
    rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int result = profile.SaveFile(path);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadFileBytes(path), old);
    EXPECT_EQ(FilesIn(dir.Path()), 1u);
}
