// kerrion-meter's option parsing for metering, and the text of its level records.

#include "CommandLine.h"
#include "LevelPrinter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace kerrion::cli;

namespace {

LevelRecord KnownRecord()
{
    LevelRecord r;
    r.block = 7;
    r.frames = 512;
    for (int i = 0; i < kMeters; ++i) {
        r.peak[static_cast<size_t>(i)] = -20.0 - i;
        r.vu[static_cast<size_t>(i)] = 0.125 * i;
        r.meterVu[static_cast<size_t>(i)] = 0.125 * i - 2.0;
        r.needle[static_cast<size_t>(i)] = 0.5 * i - 3.0;
    }
    r.peak[7] = -96.0;
    r.loudness = -23.0456789123;
    return r;
}

} // namespace

TEST(KerrionMeterOptions, ParsesEveryMeteringOption)
{
    const auto parsed = ParseMeterCommandLine(
        { "--device-type", "2", "--device-id=3", "--device", "Kerrion", "--channels", "0,1,-1,5",
            "--blocks", "20", "--seconds=2.5", "--format", "jsonl", "--dump", "a.wav,,c.wav",
            "--dump-seconds", "1.5", "--list-devices", "--meter-type", "PPM-BBC" });
    ASSERT_EQ(parsed.error, "");
    const MeterCommandLine& o = parsed.options;
    EXPECT_EQ(o.deviceType, 2);
    EXPECT_EQ(o.deviceId, 3);
    EXPECT_EQ(o.deviceName, "Kerrion");
    EXPECT_EQ(o.channels, (std::vector<int> { 0, 1, -1, 5 }));
    EXPECT_EQ(o.blocks, 20);
    EXPECT_EQ(o.seconds, 2.5);
    EXPECT_EQ(o.format, MeterFormat::Jsonl);
    EXPECT_EQ(o.dumpFiles, (std::vector<std::string> { "a.wav", "", "c.wav" }));
    EXPECT_EQ(o.dumpSeconds, 1.5);
    EXPECT_TRUE(o.listDevices);
    EXPECT_EQ(o.meterType, "ppm-bbc");
    EXPECT_EQ(ParseMeterCommandLine({}).options.format, MeterFormat::Table);
}

TEST(KerrionMeterOptions, RejectsValuesThatMeanNothing)
{
    const char* bad[][2] = { { "--blocks", "0" }, { "--blocks", "2.5" }, { "--seconds", "-1" },
        { "--seconds", "nan" }, { "--format", "xml" }, { "--channels", "1,a" },
        { "--channels", "0,1,2,3,4,5,6,7,8" }, { "--channels", "" }, { "--dump", "a,b,c,d" },
        { "--device-id", "-1" }, { "--device-type", "x" }, { "--dump-seconds", "0" },
        { "--device", "" }, { "--meter-type", "ppm" } };
    for (const auto& pair : bad)
        EXPECT_NE(ParseMeterCommandLine({ pair[0], pair[1] }).error, "")
            << pair[0] << " " << pair[1];
    EXPECT_EQ(ParseMeterCommandLine({ "--blocks" }).error, "option --blocks needs a value");
    EXPECT_EQ(ParseMeterCommandLine({ "--list-devices=1" }).error,
        "option --list-devices takes no value");
}

TEST(KerrionMeterRecords, JsonLineHoldsEveryFieldInOrder)
{
    EXPECT_EQ(JsonRecord(KnownRecord()),
        "{\"block\":7,\"frames\":512,"
        "\"peak\":[-20,-21,-22,-23,-24,-25,-26,-96],"
        "\"vu\":[0,0.125,0.25,0.375,0.5,0.625,0.75,0.875],"
        "\"meter_vu\":[-2,-1.875,-1.75,-1.625,-1.5,-1.375,-1.25,-1.125],"
        "\"needle\":[-3,-2.5,-2,-1.5,-1,-0.5,0,0.5],"
        "\"loudness\":-23.0456789}\n");
}

TEST(KerrionMeterRecords, NumbersKeepSixSignificantDigitsAndNonFiniteIsNull)
{
    EXPECT_EQ(FormatNumber(-19.2512345), "-19.2512345");
    EXPECT_EQ(FormatNumber(0.000123456789), "0.000123456789");
    EXPECT_EQ(FormatNumber(-1.0 / 0.0), "null");
    EXPECT_EQ(FormatNumber(std::nan("")), "null");
}

TEST(KerrionMeterRecords, CsvRowsMatchTheirHeader)
{
    const std::string header = CsvHeader();
    EXPECT_EQ(header.rfind("block,frames,peak1,", 0), 0u);
    EXPECT_NE(header.find(",vu8,meter_vu1,"), std::string::npos);
    EXPECT_NE(header.find(",meter_vu8,needle1,"), std::string::npos);
    EXPECT_NE(header.find(",needle8,loudness\n"), std::string::npos);
    const std::string row = CsvRecord(KnownRecord());
    EXPECT_EQ(
        std::count(header.begin(), header.end(), ','), std::count(row.begin(), row.end(), ','));
    EXPECT_EQ(row.rfind("7,512,-20,-21,", 0), 0u);
}

TEST(KerrionMeterRecords, TableShowsOneLinePerMeterWithBars)
{
    const std::string table = TableText(KnownRecord(), { 0, 1, 2, 3, 4, 5, 6, -1 });
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), kTableLines);
    EXPECT_NE(table.find("meter 1  ch   0  VU   -2.00 |"), std::string::npos);
    EXPECT_NE(table.find("peak  -20.00 dBFS |################........|"), std::string::npos);
    EXPECT_NE(table.find("|  needle   -3.00\n"), std::string::npos);
    EXPECT_NE(table.find("meter 8  ch  --"), std::string::npos);
    EXPECT_NE(table.find("peak  -96.00 dBFS |........................|"), std::string::npos);
}
