#include "platform/paths/DataPaths.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>

using kerrion::test::TempDir;

namespace {

// Sets an environment variable for the life of the object, then puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::optional<std::string>& value)
        : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        if (value)
            setenv(name, value->c_str(), 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (m_old)
            setenv(m_name, m_old->c_str(), 1);
        else
            unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

} // namespace

TEST(DataPaths, SettingsLiveUnderXdgDataHome)
{
    TempDir dir;
    const ScopedEnv xdg("XDG_DATA_HOME", (dir / "data").string());
    EXPECT_EQ(kerrion::SettingsFilePath(), dir / "data" / "Marvane" / "Kerrion" / "Kerrion.ini");
    EXPECT_TRUE(std::filesystem::is_directory(dir / "data")); // the root is created when missing
    EXPECT_FALSE(std::filesystem::exists(dir / "data" / "Marvane")); // loading creates no more

    kerrion::CreateDataFolder();
    EXPECT_TRUE(std::filesystem::is_directory(dir / "data" / "Marvane" / "Kerrion"));
    kerrion::CreateDataFolder(); // existing folders are fine
}

TEST(DataPaths, RelativeXdgDataHomeFallsBackToHome)
{
    TempDir dir;
    const ScopedEnv xdg("XDG_DATA_HOME", std::string("relative/data"));
    const ScopedEnv home("HOME", dir.Path().string());
    EXPECT_EQ(kerrion::DataFolder(), dir / ".local" / "share" / "Marvane" / "Kerrion");
}

TEST(DataPaths, UnusableRootFallsBackToAPrivateTemporaryFolder)
{
    TempDir dir;
    kerrion::test::WriteFileBytes(dir / "file", "not a folder");
    const ScopedEnv xdg("XDG_DATA_HOME", (dir / "file" / "data").string());
    const ScopedEnv tmp("TMPDIR", dir.Path().string());
    const auto fallback = dir / ("Marvane-" + std::to_string(getuid()));
    EXPECT_EQ(kerrion::DataFolder(), fallback / "Marvane" / "Kerrion");
    struct stat info { };
    ASSERT_EQ(stat(fallback.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST(DataPaths, AFallbackFolderOpenToOthersIsNotUsed)
{
    TempDir dir;
    kerrion::test::WriteFileBytes(dir / "file", "not a folder");
    const ScopedEnv xdg("XDG_DATA_HOME", (dir / "file" / "data").string());
    const ScopedEnv tmp("TMPDIR", dir.Path().string());
    const auto fallback = dir / ("Marvane-" + std::to_string(getuid()));
    ASSERT_EQ(mkdir(fallback.c_str(), 0777), 0);
    ASSERT_EQ(chmod(fallback.c_str(), 0777), 0);
    EXPECT_NE(kerrion::DataRoot(), fallback);
}

TEST(DataPaths, DriverFilesLiveUnderXdgConfigHomeAndNothingIsCreated)
{
    TempDir dir;
    struct Case {
        std::optional<std::string> xdg;
        std::filesystem::path expected;
    };
    const Case cases[] = {
        { (dir / "config").string(), dir / "config" / "Marvane" / "Kerrion" },
        { std::string("relative/config"), dir / ".config" / "Marvane" / "Kerrion" },
        { std::nullopt, dir / ".config" / "Marvane" / "Kerrion" },
    };
    const ScopedEnv home("HOME", dir.Path().string());
    for (const Case& c : cases) {
        const ScopedEnv xdg("XDG_CONFIG_HOME", c.xdg);
        EXPECT_EQ(kerrion::ConfigFolder(), c.expected) << c.xdg.value_or("(unset)");
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "config"));
    EXPECT_FALSE(std::filesystem::exists(dir / ".config"));
}
