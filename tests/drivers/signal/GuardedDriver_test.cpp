// No exception crosses a plug-in's boundary: a driver call that throws answers as a failed call
// and says why.

#include "GuardedDriver.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>

using kerrion::IAsioDriver;
using kerrion::driver::CreateGuardedDriver;

namespace {

// A driver whose calls throw what `m_throw` says; counts its releases.
class ThrowingDriver final : public IAsioDriver {
public:
    explicit ThrowingDriver(int& released)
        : m_released(released)
    {
    }
    std::function<void()> m_throw = [] {};

    ASIOBool init(void*) override { return m_throw(), ASIOTrue; }
    void getDriverName(char* name) override { std::strcpy(name, "Throwing"); }
    int32_t getDriverVersion() override { return m_throw(), 3; }
    void getErrorMessage(char* string) override { std::strcpy(string, "own message"); }
    ASIOError start() override { return m_throw(), ASE_OK; }
    ASIOError stop() override { return ASE_OK; }
    ASIOError getChannels(int32_t*, int32_t*) override { return m_throw(), ASE_OK; }
    ASIOError getLatencies(int32_t*, int32_t*) override { return ASE_OK; }
    ASIOError getBufferSize(int32_t*, int32_t*, int32_t*, int32_t*) override { return ASE_OK; }
    ASIOError canSampleRate(ASIOSampleRate) override { return ASE_OK; }
    ASIOError getSampleRate(ASIOSampleRate*) override { return ASE_OK; }
    ASIOError setSampleRate(ASIOSampleRate) override { return ASE_OK; }
    ASIOError getClockSources(ASIOClockSource*, int32_t*) override { return ASE_OK; }
    ASIOError setClockSource(int32_t) override { return ASE_OK; }
    ASIOError getSamplePosition(ASIOSamples*, ASIOTimeStamp*) override { return ASE_OK; }
    ASIOError getChannelInfo(ASIOChannelInfo*) override { return ASE_OK; }
    ASIOError createBuffers(ASIOBufferInfo*, int32_t, int32_t, ASIOCallbacks*) override
    {
        return m_throw(), ASE_OK;
    }
    ASIOError disposeBuffers() override { return ASE_InvalidMode; }
    ASIOError controlPanel() override { return ASE_OK; }
    ASIOError future(int32_t, void*) override { return ASE_OK; }
    ASIOError outputReady() override { return ASE_OK; }
    void Release() override
    {
        ++m_released;
        delete this;
    }

private:
    ~ThrowingDriver() override = default;
    int& m_released;
};

constexpr kerrion::AsioClassId kId = { 1, 2, 3, { 4, 5, 6, 7, 8, 9, 10, 11 } };

std::string Message(IAsioDriver* driver)
{
    char text[124] = {};
    driver->getErrorMessage(text);
    return text;
}

} // namespace

TEST(GuardedDriver, ACallThatThrowsFailsWithItsCodeAndSaysWhy)
{
    int released = 0;
    ThrowingDriver* inner = nullptr;
    IAsioDriver* driver = nullptr;
    ASSERT_EQ(CreateGuardedDriver(&kId, kerrion::kAsioDriverInterfaceVersion, kId, &driver,
                  [&] { return inner = new ThrowingDriver(released); }),
        0);
    struct Case {
        std::function<void()> thrower;
        ASIOError code;
        const char* message;
    };
    const Case cases[] = {
        { [] { throw std::bad_alloc(); }, ASE_NoMemory, "The driver ran out of memory" },
        { [] { throw std::runtime_error("disk"); }, ASE_HWMalfunction, "The driver failed: disk" },
        { [] { throw 42; }, ASE_HWMalfunction, "The driver failed" },
        { [] {}, ASE_OK, "own message" },
    };
    for (const Case& c : cases) {
        inner->m_throw = c.thrower;
        EXPECT_EQ(driver->start(), c.code) << c.message;
        EXPECT_EQ(Message(driver), c.message);
        int32_t in = 0, out = 0;
        EXPECT_EQ(driver->getChannels(&in, &out), c.code) << c.message;
        EXPECT_EQ(driver->createBuffers(nullptr, 0, 0, nullptr), c.code) << c.message;
        EXPECT_EQ(driver->init(nullptr), c.code == ASE_OK ? ASIOTrue : ASIOFalse) << c.message;
        EXPECT_EQ(driver->getDriverVersion(), c.code == ASE_OK ? 3 : 0) << c.message;
    }
    EXPECT_EQ(driver->disposeBuffers(), ASE_InvalidMode) << "codes pass through as they are";
    driver->Release();
    EXPECT_EQ(released, 1);
}

TEST(GuardedDriver, TheFactoryRefusesOtherIdsAndVersionsAndADriverThatCannotBeMade)
{
    int released = 0;
    const auto make = [&] { return new ThrowingDriver(released); };
    const kerrion::AsioClassId other = { 9, 2, 3, { 4, 5, 6, 7, 8, 9, 10, 11 } };
    IAsioDriver* driver = nullptr;
    EXPECT_EQ(
        CreateGuardedDriver(&other, kerrion::kAsioDriverInterfaceVersion, kId, &driver, make), -1);
    EXPECT_EQ(
        CreateGuardedDriver(&kId, kerrion::kAsioDriverInterfaceVersion + 1, kId, &driver, make),
        -1);
    EXPECT_EQ(
        CreateGuardedDriver(nullptr, kerrion::kAsioDriverInterfaceVersion, kId, &driver, make), -1);
    EXPECT_EQ(CreateGuardedDriver(&kId, kerrion::kAsioDriverInterfaceVersion, kId, &driver,
                  []() -> IAsioDriver* { throw std::bad_alloc(); }),
        -1);
    EXPECT_EQ(driver, nullptr);
}
