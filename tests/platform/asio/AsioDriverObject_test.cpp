#include "platform/asio/AsioDriverObject.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using kerrion::AsioClassId;
using kerrion::AsioDriverObject;

namespace {

AsioClassId SignalClassId()
{
    AsioClassId id {};
    EXPECT_TRUE(kerrion::ParseClassId("{8d3c5a6e-2b71-4f0a-9e43-6c1d2f7b5a90}", id));
    return id;
}

} // namespace

TEST(ClassId, ParsesTheRegistryFormInAnyCase)
{
    AsioClassId upper {};
    ASSERT_TRUE(kerrion::ParseClassId("{8D3C5A6E-2B71-4F0A-9E43-6C1D2F7B5A90}", upper));
    EXPECT_EQ(upper.data1, 0x8D3C5A6Eu);
    EXPECT_EQ(upper.data2, 0x2B71u);
    EXPECT_EQ(upper.data3, 0x4F0Au);
    EXPECT_EQ(upper.data4[0], 0x9E);
    EXPECT_EQ(upper.data4[1], 0x43);
    EXPECT_EQ(upper.data4[7], 0x90);
    EXPECT_TRUE(upper == SignalClassId());
}

TEST(ClassId, RefusesMalformedText)
{
    AsioClassId id {};
    for (const char* bad :
        { "", "8D3C5A6E-2B71-4F0A-9E43-6C1D2F7B5A90", "{8D3C5A6E-2B71-4F0A-9E43-6C1D2F7B5A9}",
            "{8D3C5A6E-2B71-4F0A-9E43-6C1D2F7B5A9G}", "{8D3C5A6E_2B71-4F0A-9E43-6C1D2F7B5A90}" })
        EXPECT_FALSE(kerrion::ParseClassId(bad, id)) << bad;
    EXPECT_FALSE(kerrion::ParseClassId(nullptr, id));
}

TEST(AsioDriverObject, CreatesTheSignalGeneratorFromItsLibrary)
{
    std::shared_ptr<AsioDriverObject> object;
    ASSERT_EQ(AsioDriverObject::Create(KERRION_SIGNAL_DRIVER, SignalClassId(), object),
        AsioDriverObject::kCreated);
    ASSERT_TRUE(object);
    char name[32] = {};
    object->Driver()->getDriverName(name);
    EXPECT_STREQ(name, "Kerrion Signal Generator");
    object.reset(); // releases the object, then unloads the library
}

TEST(AsioDriverObject, SkipsWhatIsNotADriverWithoutCrashing)
{
    kerrion::test::TempDir dir;
    kerrion::test::WriteFileBytes(dir / "text.so", "this is not a shared library\n");
    std::shared_ptr<AsioDriverObject> object;
    EXPECT_EQ(AsioDriverObject::Create(dir / "missing.so", SignalClassId(), object),
        AsioDriverObject::kLibraryNotLoadable);
    EXPECT_EQ(AsioDriverObject::Create(dir / "text.so", SignalClassId(), object),
        AsioDriverObject::kLibraryNotLoadable);
    EXPECT_EQ(AsioDriverObject::Create(KERRION_NOFACTORY_PLUGIN, SignalClassId(), object),
        AsioDriverObject::kNoFactory);
    AsioClassId other = SignalClassId();
    other.data4[7] ^= 1;
    EXPECT_EQ(
        AsioDriverObject::Create(KERRION_SIGNAL_DRIVER, other, object), AsioDriverObject::kRefused);
    EXPECT_FALSE(object);
}
