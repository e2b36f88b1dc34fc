// The routing the JACK bridge remembers: which connections it forgets, and how jack.ini keeps
// the server's port names.

#include "JackRouting.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <set>

using kerrion::jack::JackRouting;
using Names = std::vector<std::string>;

TEST(JackRouting, OnlyAConnectionUndoneWhileBothPortsExistIsForgotten)
{
    struct Case {
        const char* name;
        Names remembered, live, existing, expected;
    };
    const Case cases[] = {
        { "undone, gone, kept, new", { "a:1", "b:1", "c:1" }, { "a:1", "d:1" },
            { "a:1", "b:1", "d:1" }, { "a:1", "c:1", "d:1" } },
        { "the server stopping", { "a:1", "b:1" }, {}, {}, { "a:1", "b:1" } },
        { "all undone", { "a:1" }, {}, { "a:1" }, {} },
        { "first connections", {}, { "d:1", "a:1" }, { "a:1", "d:1" }, { "d:1", "a:1" } },
    };
    for (const Case& c : cases) {
        JackRouting routing;
        routing.Update("in_1", c.remembered, [](const std::string&) { return false; });
        const std::set<std::string> existing(c.existing.begin(), c.existing.end());
        routing.Update(
            "in_1", c.live, [&](const std::string& name) { return existing.count(name) != 0; });
        EXPECT_EQ(routing.Peers("in_1"), c.expected) << c.name;
        EXPECT_EQ(routing.Empty(), c.expected.empty()) << c.name;
    }
}

TEST(JackRouting, TheFileKeepsTheServersNamesAsTheyAre)
{
    kerrion::test::TempDir dir;
    const auto path = dir / "jack.ini";
    kerrion::test::WriteFileBytes(path, "[connections]\nIN_2 = a:x |  | b:y \nout_1=\n");
    JackRouting loaded = JackRouting::Load(path);
    EXPECT_EQ(loaded.Peers("in_2"), (Names { "a:x", "b:y" }));
    EXPECT_TRUE(loaded.Peers("out_1").empty());

    // PipeWire's JACK names ports after its nodes' descriptions.
    const Names pipewire { "Built-in Audio Analog Stereo:capture_FL", "Firefox:output_FR" };
    loaded.Update("in_1", pipewire, [](const std::string&) { return true; });
    ASSERT_TRUE(loaded.Save(path, { "in_1", "in_2", "out_1" }));
    EXPECT_EQ(JackRouting::Load(path), loaded);
    EXPECT_EQ(kerrion::test::ReadFileBytes(path),
        "[connections]\nIN_2=a:x|b:y\nin_1=Built-in Audio Analog Stereo:capture_FL|"
        "Firefox:output_FR\n");
    EXPECT_TRUE(JackRouting::Load(dir / "missing.ini").Empty());
}

TEST(JackRouting, ANameThatCannotBeWrittenAsItIsIsLeftOut)
{
    kerrion::test::TempDir dir;
    const auto path = dir / "jack.ini";
    const auto always = [](const std::string&) { return true; };
    JackRouting routing;
    routing.Update("in_1",
        { "ok:a", "bar|x", "line\nbreak", "ret\rx", std::string("nul\0x", 5), " lead", "trail ",
            "ok:b" },
        always);
    routing.Update("in_2", { "only|bad" }, always);
    ASSERT_TRUE(routing.Save(path, { "in_1", "in_2" }));
    EXPECT_EQ(kerrion::test::ReadFileBytes(path), "[Connections]\nin_1=ok:a|ok:b\n");
    EXPECT_EQ(JackRouting::Load(path).Peers("in_1"), (Names { "ok:a", "ok:b" }));
}
