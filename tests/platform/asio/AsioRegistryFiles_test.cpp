#include "platform/asio/AsioRegistryFiles.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>

using kerrion::Registry;
using kerrion::test::ScopedEnv;
using kerrion::test::TempDir;

TEST(AsioRegistryFiles, AFreshBuildFindsTheShippedSignalGenerator)
{
    TempDir home;
    ScopedEnv chosen("KERRION_ASIO_REGISTRY", nullptr);
    ScopedEnv config("XDG_CONFIG_HOME", home.Path().c_str());
    Registry registry;
    ASSERT_EQ(kerrion::LoadAsioRegistry(registry), 1);
    std::string clsid;
    ASSERT_TRUE(
        registry.GetString("HKLM\\SOFTWARE\\ASIO\\Kerrion Signal Generator", "CLSID", clsid));
    std::string description;
    ASSERT_TRUE(registry.GetString(
        "HKLM\\SOFTWARE\\ASIO\\Kerrion Signal Generator", "Description", description));
    EXPECT_EQ(description, "Kerrion Signal Generator");
    std::string library;
    ASSERT_TRUE(registry.GetString(
        std::string(kerrion::kClassIdsKey) + "\\" + clsid + "\\InprocServer32", "", library));
    EXPECT_EQ(std::filesystem::path(library), std::filesystem::path(KERRION_SIGNAL_DRIVER));
}

TEST(AsioRegistryFiles, UserFileIsMergedAfterTheShippedOne)
{
    TempDir home;
    std::filesystem::create_directories(home / "Marvane/Kerrion");
    kerrion::test::WriteFileBytes(home / "Marvane/Kerrion/asio.reg",
        "Windows Registry Editor Version 5.00\n"
        "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\ASIO\\Kerrion Signal Generator]\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ASIO\\My Card]\n\"CLSID\"=\"{M}\"\n");
    ScopedEnv chosen("KERRION_ASIO_REGISTRY", "");
    ScopedEnv config("XDG_CONFIG_HOME", home.Path().c_str());
    const auto files = kerrion::AsioRegistryFiles();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[1], home / "Marvane/Kerrion/asio.reg");
    Registry registry;
    ASSERT_EQ(kerrion::LoadAsioRegistry(registry), 1);
    // The generator removed, the card added; the other shipped drivers stay.
    const auto keys = registry.SubKeys(kerrion::kAsioDriversKey);
    EXPECT_EQ(std::count(keys.begin(), keys.end(), "Kerrion Signal Generator"), 0);
    EXPECT_EQ(std::count(keys.begin(), keys.end(), "My Card"), 1);
}

TEST(AsioRegistryFiles, TheEnvironmentVariableNamesTheOnlyFile)
{
    TempDir dir;
    kerrion::test::WriteFileBytes(dir / "only.reg",
        "Windows Registry Editor Version 5.00\n"
        "[HKLM\\SOFTWARE\\ASIO\\Only]\n");
    ScopedEnv chosen("KERRION_ASIO_REGISTRY", (dir / "only.reg").c_str());
    EXPECT_EQ(
        kerrion::AsioRegistryFiles(), std::vector<std::filesystem::path> { dir / "only.reg" });
    Registry registry;
    ASSERT_EQ(kerrion::LoadAsioRegistry(registry), 1);
    EXPECT_EQ(registry.SubKeys(kerrion::kAsioDriversKey), std::vector<std::string> { "Only" });

    ScopedEnv missing("KERRION_ASIO_REGISTRY", (dir / "missing.reg").c_str());
    Registry empty;
    EXPECT_EQ(kerrion::LoadAsioRegistry(empty), 0);
}
