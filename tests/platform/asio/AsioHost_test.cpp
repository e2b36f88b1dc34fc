#include "platform/asio/AsioHost.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using kerrion::AsioDriverObject;
using kerrion::test::ScopedEnv;
using kerrion::test::TempDir;

namespace {

std::shared_ptr<AsioDriverObject> LoadSignalGenerator()
{
    kerrion::AsioClassId id {};
    kerrion::ParseClassId("{8D3C5A6E-2B71-4F0A-9E43-6C1D2F7B5A90}", id);
    std::shared_ptr<AsioDriverObject> object;
    AsioDriverObject::Create(KERRION_SIGNAL_DRIVER, id, object);
    return object;
}

class AsioHost : public ::testing::Test {
protected:
    void TearDown() override { ASIOExit(); }
    TempDir m_dir;
};

} // namespace

TEST_F(AsioHost, EveryCallAnswersNotPresentWithoutADriver)
{
    ASIOExit();
    ASIODriverInfo info {};
    EXPECT_EQ(ASIOInit(&info), ASE_NotPresent);
    EXPECT_STREQ(info.name, "No ASIO Driver");
    EXPECT_EQ(info.driverVersion, 0);
    int32_t a = 0;
    int32_t b = 0;
    EXPECT_EQ(ASIOGetChannels(&a, &b), ASE_NotPresent);
    EXPECT_EQ(ASIOStart(), ASE_NotPresent);
    EXPECT_EQ(ASIOStop(), ASE_NotPresent);
    EXPECT_EQ(ASIODisposeBuffers(), ASE_NotPresent);
    EXPECT_EQ(ASIOControlPanel(), ASE_NotPresent);
    EXPECT_EQ(ASIOOutputReady(), ASE_NotPresent);
}

TEST_F(AsioHost, InitReadsNameAndVersionAndCallsReachTheDriver)
{
    ScopedEnv config("KERRION_SIGNAL_CONFIG", (m_dir / "none.ini").c_str());
    kerrion::AsioSetCurrentDriver(LoadSignalGenerator());
    ASIODriverInfo info {};
    ASSERT_EQ(ASIOInit(&info), ASE_OK);
    EXPECT_STREQ(info.name, "Kerrion Signal Generator");
    EXPECT_STREQ(info.errorMessage, "No ASIO Driver Error");
    EXPECT_EQ(info.driverVersion, 1);
    int32_t inputs = 0;
    int32_t outputs = 0;
    ASSERT_EQ(ASIOGetChannels(&inputs, &outputs), ASE_OK);
    EXPECT_EQ(inputs, 8);
    EXPECT_EQ(outputs, 2);
    ASIOSampleRate rate = 0;
    ASSERT_EQ(ASIOGetSampleRate(&rate), ASE_OK);
    EXPECT_EQ(rate, 48000.0);
    EXPECT_EQ(ASIOSetSampleRate(44100.0), ASE_OK);
    ASSERT_EQ(ASIOGetSampleRate(&rate), ASE_OK);
    EXPECT_EQ(rate, 44100.0);
    EXPECT_EQ(ASIOFuture(1, nullptr), ASE_InvalidParameter);
    EXPECT_TRUE(kerrion::AsioCurrentDriver());
}

TEST_F(AsioHost, AFailingInitGivesTheDriversMessageAndForgetsTheDriver)
{
    kerrion::test::WriteFileBytes(m_dir / "fail.ini", "[Signal]\nFailInit=1\n");
    ScopedEnv config("KERRION_SIGNAL_CONFIG", (m_dir / "fail.ini").c_str());
    kerrion::AsioSetCurrentDriver(LoadSignalGenerator());
    ASIODriverInfo info {};
    EXPECT_EQ(ASIOInit(&info), ASE_NotPresent);
    EXPECT_STREQ(info.name, "No ASIO Driver");
    EXPECT_NE(std::string(info.errorMessage).find("FailInit"), std::string::npos)
        << info.errorMessage;
    EXPECT_FALSE(kerrion::AsioCurrentDriver());
    int32_t a = 0;
    int32_t b = 0;
    EXPECT_EQ(ASIOGetChannels(&a, &b), ASE_NotPresent);
}
