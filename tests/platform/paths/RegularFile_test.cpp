// Only a regular file within its size limit is read, and nothing in a file's place can hang the
// reader or grow its memory.

#include "platform/paths/RegularFile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using kerrion::FileRead;
using kerrion::ReadRegularFile;
using kerrion::test::TempDir;

TEST(RegularFile, ReadsOnlyARegularFileWithinItsLimit)
{
    TempDir dir;
    kerrion::test::WriteFileBytes(dir / "small.ini", "[S]\nk=1\n");
    kerrion::test::WriteFileBytes(dir / "large.ini", std::string(101, 'x'));
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    std::filesystem::create_directory(dir / "folder");
    std::filesystem::create_symlink(dir / "small.ini", dir / "link.ini");
    std::filesystem::create_symlink(dir / "gone.ini", dir / "dangling.ini");
    struct Case {
        std::filesystem::path path;
        FileRead expected;
        const char* bytes;
    };
    const Case cases[] = {
        { dir / "small.ini", FileRead::kRead, "[S]\nk=1\n" },
        { dir / "link.ini", FileRead::kRead, "[S]\nk=1\n" },
        { dir / "missing.ini", FileRead::kMissing, "" },
        { dir / "dangling.ini", FileRead::kMissing, "" },
        { dir / "small.ini" / "below", FileRead::kMissing, "" },
        { "", FileRead::kMissing, "" },
        { dir / "large.ini", FileRead::kRefused, "" },
        { dir / "fifo", FileRead::kRefused, "" }, // no writer: would block without O_NONBLOCK
        { dir / "folder", FileRead::kRefused, "" },
        { "/dev/zero", FileRead::kRefused, "" },
    };
    for (const Case& c : cases) {
        std::string bytes = "left over";
        EXPECT_EQ(ReadRegularFile(c.path, 100, bytes), c.expected) << c.path;
        EXPECT_EQ(bytes, c.bytes) << c.path;
    }
}
