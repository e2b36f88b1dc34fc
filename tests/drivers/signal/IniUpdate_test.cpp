// Writing one section of a driver's settings file back without touching the user's other lines.

#include "DriverIni.h"
#include "IniUpdate.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using kerrion::driver::IniAssignments;
using kerrion::driver::UpdateIniSection;
using kerrion::test::ReadFileBytes;
using kerrion::test::TempDir;
using kerrion::test::WriteFileBytes;

TEST(IniUpdate, SetsAndRemovesTheSectionsKeysAndKeepsEveryOtherLine)
{
    struct Case {
        const char* name;
        const char* before; // nullptr: no file
        IniAssignments keys;
        const char* after;
    };
    const Case cases[] = {
        { "no file yet", nullptr, { { "in_1", "a:x" }, { "in_2", "" } }, "[S]\nin_1=a:x\n" },
        { "in place",
            "; top\n[A]\nin_1=a\n[s]\n# note\nIN_1 = old\nother=x\nin_1=dup\n\n[B]\ny=2\n",
            { { "in_1", "new" }, { "in_2", "add" }, { "out_1", "" } },
            "; top\n[A]\nin_1=a\n[s]\n# note\nin_1=new\nother=x\nin_2=add\n\n[B]\ny=2\n" },
        { "removed", "[S]\nin_1=a\nkeep=1\r\n", { { "in_1", "" } }, "[S]\nkeep=1\r\n" },
        { "appended", "[A]\nx=1", { { "k", "v" } }, "[A]\nx=1\n\n[S]\nk=v\n" },
        { "nothing to hold", "[A]\nx=1", { { "k", "" } }, "[A]\nx=1" },
    };
    for (const Case& c : cases) {
        TempDir dir;
        const auto path = dir / "sub/driver.ini";
        if (c.before != nullptr) {
            std::filesystem::create_directories(path.parent_path());
            WriteFileBytes(path, c.before);
        }
        ASSERT_TRUE(UpdateIniSection(path, "S", c.keys)) << c.name;
        EXPECT_EQ(ReadFileBytes(path), c.after) << c.name;
        const std::filesystem::directory_iterator files(path.parent_path());
        EXPECT_EQ(std::distance(begin(files), end(files)), 1)
            << c.name << ": no temporary file is left";
    }
}

TEST(IniUpdate, ALinkedFileIsWrittenThroughItsLink)
{
    TempDir dir;
    WriteFileBytes(dir / "real.ini", "[S]\nk=1\n");
    std::filesystem::create_symlink(dir / "real.ini", dir / "link.ini");
    ASSERT_TRUE(UpdateIniSection(dir / "link.ini", "S", { { "k", "2" } }));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.ini"));
    EXPECT_EQ(ReadFileBytes(dir / "real.ini"), "[S]\nk=2\n");
}
