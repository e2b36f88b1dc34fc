#include "app/IniProfile.h"
#include "app/SettingsFile.h"
#include "app/SettingsRecord.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sstream>

using kerrion::LoadSettingsFile;
using kerrion::SaveSettingsFile;
using kerrion::test::ReadFileBytes;
using kerrion::test::TempDir;
using kerrion::test::WriteFileBytes;

namespace {

CSettingsRecord LoadFromText(const std::string& text)
{
    CSettingsRecord record;
    record.Load(CIniProfile(text));
    return record;
}

// The section names and key names of an INI text, in file order ("[Meter]", "Num", ...).
std::vector<std::string> Names(const std::string& text)
{
    std::vector<std::string> names;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        names.push_back(line[0] == '[' ? line : line.substr(0, line.find('=')));
    }
    return names;
}

std::vector<std::string> ExpectedSaveOrder()
{
    std::vector<std::string> names = { "[Device]", "Type", "ID", "Name", "[PeakHold]", "type",
        "[Meter]", "Num", "VuFontSize", "VuPenWidth" };
    const char* slots[] = { "meter_bg", "meter_frame", "name", "needle", "peak", "scale_l",
        "scale_r", "over", "over_th" };
    for (int i = 1; i <= 8; ++i) {
        names.push_back("[Channel" + std::to_string(i) + "]");
        for (const char* key : { "name_visible", "name_pos", "name", "device_ch", "cal_vu",
                 "over_enable", "over_th", "color_enable" })
            names.push_back(key);
        for (const char* slot : slots)
            names.push_back(std::string(slot) + "_color");
    }
    for (const char* name :
        { "[Visible]", "vu", "peak", "[Needle]", "type", "thick", "only_upper", "[Color]" })
        names.push_back(name);
    for (const char* slot : slots)
        names.push_back(slot);
    return names;
}

} // namespace

TEST(SettingsRecordLoad, EmptyFileGivesEveryDefault)
{
    const CSettingsRecord record = LoadFromText("");
    EXPECT_EQ(record.Meter.Num, 4);
    EXPECT_EQ(record.Meter.Size_w, 1360);
    EXPECT_EQ(record.Meter.Size_h, 768);
    EXPECT_EQ(record.Meter.Refresh, 1);
    EXPECT_EQ(record.Meter.VuPenWidth, 3);
    EXPECT_DOUBLE_EQ(record.Meter.VuFontSize, 60.0);
    EXPECT_EQ(record.Meter.ScaleVU, kDefaultScaleVU);
    EXPECT_EQ(record.PeakHold.type, 0);
    for (int i = 0; i < kMeterCount; ++i) {
        const auto& channel = record.Channel[static_cast<std::size_t>(i)];
        EXPECT_EQ(channel.name, std::to_string(i + 1));
        EXPECT_EQ(channel.device_ch, i);
        EXPECT_EQ(channel.name_visible, 1);
        EXPECT_EQ(channel.name_pos, 3);
        EXPECT_DOUBLE_EQ(channel.cal_vu, -20.0);
        EXPECT_EQ(channel.over_enable, 1);
        EXPECT_DOUBLE_EQ(channel.over_th, 0.0);
        EXPECT_EQ(channel.color_enable, 0);
        EXPECT_EQ(channel.colors, DefaultColorSet());
    }
    EXPECT_DOUBLE_EQ(record.BWLPF.cutoff, 1.8);
    EXPECT_EQ(record.BWLPF.order, 2);
    EXPECT_EQ(record.Visible.vu, 1);
    EXPECT_EQ(record.Visible.peak, 1);
    EXPECT_EQ(record.Needle.type, 1);
    EXPECT_EQ(record.Needle.thick, 1);
    EXPECT_EQ(record.Needle.only_upper, 0);
    EXPECT_EQ(record.Color[kColorMeterBg], MakeColor(236, 255, 172));
    EXPECT_EQ(record.Color[kColorOver], MakeColor(255, 128, 0));
    EXPECT_EQ(record.Logo.file, ".\\marvane.bmp");
    EXPECT_EQ(record.Logo.pos.x, 30);
    EXPECT_EQ(record.Logo.pos.y, 30);
    EXPECT_EQ(record.Dump.enable, 0);
    EXPECT_EQ(record.Device.Type, 0);
    EXPECT_EQ(record.Device.ID, 0);
    EXPECT_EQ(record.Device.Name, "");
}

TEST(SettingsRecordLoad, ClampsMeterCountAndCutoff)
{
    EXPECT_EQ(LoadFromText("[Meter]\nNum=12\n").Meter.Num, 8);
    EXPECT_EQ(LoadFromText("[Meter]\nNum=0\n").Meter.Num, 0);
    EXPECT_EQ(LoadFromText("[Meter]\nNum=-3\n").Meter.Num, -3);
    EXPECT_DOUBLE_EQ(LoadFromText("[BWLPF]\ncutoff=0.5\n").BWLPF.cutoff, 1.0);
    EXPECT_DOUBLE_EQ(LoadFromText("[BWLPF]\ncutoff=5\n").BWLPF.cutoff, 3.0);
    EXPECT_DOUBLE_EQ(LoadFromText("[BWLPF]\ncutoff=1e999\n").BWLPF.cutoff, 3.0);
    EXPECT_EQ(LoadFromText("[BWLPF]\norder=9\n").BWLPF.order, 9); // not clamped
    // A frame rate outside 10 .. 60 a second is not taken.
    for (const auto& [text, rate] : { std::pair { "", 30 }, { "10", 10 }, { "60", 60 }, { "9", 30 },
             { "61", 30 }, { "fast", 30 } })
        EXPECT_EQ(
            LoadFromText(std::string("[Meter]\nFrameRate=") + text + "\n").Meter.FrameRate, rate)
            << text;
}

TEST(SettingsRecordLoad, ScaleTableTakesAtMostSixteenPieces)
{
    const auto sparse = LoadFromText("[Meter]\nScaleVU=1,,2\n").Meter.ScaleVU;
    EXPECT_DOUBLE_EQ(sparse[0], 1.0);
    EXPECT_DOUBLE_EQ(sparse[1], 2.0);
    for (std::size_t i = 2; i < sparse.size(); ++i)
        EXPECT_DOUBLE_EQ(sparse[i], 0.0);

    std::string twenty;
    for (int i = 1; i <= 20; ++i)
        twenty += std::to_string(i) + ",";
    const auto full = LoadFromText("[Meter]\nScaleVU=" + twenty + "\n").Meter.ScaleVU;
    EXPECT_DOUBLE_EQ(full[0], 1.0);
    EXPECT_DOUBLE_EQ(full[15], 16.0);
}

TEST(SettingsRecordLoad, ColoursKeepTheLowEightBitsAndDefaultMissingPieces)
{
    const auto record
        = LoadFromText("[Color]\nmeter_bg=300,20,10,99\nneedle=255\nname=\npeak=-1,x,7\n"
                       "[Channel2]\nscale_r_color=1,2,3\n");
    EXPECT_EQ(record.Color[kColorMeterBg], MakeColor(44, 20, 10));
    EXPECT_EQ(record.Color[kColorNeedle], MakeColor(255, 0, 0)); // default needle is black
    EXPECT_EQ(record.Color[kColorName], kColorSlots[kColorName].defaultColor);
    EXPECT_EQ(record.Color[kColorPeak], MakeColor(255, 0, 7));
    EXPECT_EQ(record.Channel[1].colors[kColorScaleR], MakeColor(1, 2, 3));
    EXPECT_EQ(record.Channel[0].colors[kColorScaleR], kColorSlots[kColorScaleR].defaultColor);
}

TEST(SettingsRecordLoad, ChannelValuesAndLogoPosition)
{
    const auto record
        = LoadFromText("[Channel3]\ncal_vu=-18.5\nover_th=-1\ndevice_ch=12\n"
                       "[Channel4]\nname=Vocal\n[Logo]\npos=5\n[Device]\nType=2\nID=x\n");
    EXPECT_EQ(record.Channel[2].name, "3"); // no name key: the meter number
    EXPECT_DOUBLE_EQ(record.Channel[2].cal_vu, -18.5);
    EXPECT_DOUBLE_EQ(record.Channel[2].over_th, -1.0);
    EXPECT_EQ(record.Channel[2].device_ch, 12);
    EXPECT_EQ(record.Channel[3].name, "Vocal");
    EXPECT_EQ(record.Logo.pos.x, 5);
    EXPECT_EQ(record.Logo.pos.y, 30);
    EXPECT_EQ(record.Device.Type, 2);
    EXPECT_EQ(record.Device.ID, 0);
}

TEST(SettingsRecordSave, FreshFileHoldsTheWrittenKeysInSaveOrder)
{
    TempDir dir;
    const auto path = dir / "Kerrion.ini";
    CSettingsRecord record;
    LoadSettingsFile(record, path);
    ASSERT_EQ(SaveSettingsFile(record, path), 1);
    const std::string text = ReadFileBytes(path);
    EXPECT_EQ(Names(text), ExpectedSaveOrder());
    EXPECT_NE(text.find("[Channel1]\r\nname_visible=1\r\nname_pos=3\r\nname=1\r\ndevice_ch=0\r\n"
                        "cal_vu=-20.000000\r\nover_enable=1\r\nover_th=0.000000\r\n"),
        std::string::npos);
    EXPECT_NE(text.find("VuFontSize=60.0\r\n"), std::string::npos);
    EXPECT_NE(text.find("meter_bg_color=236,255,172\r\n"), std::string::npos);
}

TEST(SettingsRecordSave, NothingIsWrittenWithoutMeters)
{
    TempDir dir;
    const auto path = dir / "Kerrion.ini";
    const std::string original = "[Meter]\nNum=0\n";
    WriteFileBytes(path, original);
    CSettingsRecord record;
    LoadSettingsFile(record, path);
    EXPECT_EQ(SaveSettingsFile(record, path), 0);
    EXPECT_EQ(ReadFileBytes(path), original);

    CSettingsRecord neverLoaded; // a second instance
    EXPECT_EQ(SaveSettingsFile(neverLoaded, dir / "other.ini"), 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "other.ini"));
}

TEST(SettingsRecordSave, HandEditedKeysAndCommentsSurvive)
{
    TempDir dir;
    const auto path = dir / "Kerrion.ini";
    WriteFileBytes(path,
        "; my studio\r\n[Meter]\r\nSize.w=1920\r\nNum=8\r\nScaleVU=0,2,13\r\n"
        "[Logo]\r\nfile=\r\npos=12,40\r\n[Studio]\r\nroom=B\r\n");
    CSettingsRecord record;
    LoadSettingsFile(record, path);
    record.Channel[0].cal_vu = -18.0;
    ASSERT_EQ(SaveSettingsFile(record, path), 1);
    const std::string text = ReadFileBytes(path);
    EXPECT_EQ(
        text.rfind("; my studio\r\n[Meter]\r\nSize.w=1920\r\nNum=8\r\nScaleVU=0,2,13\r\n", 0), 0u);
    EXPECT_NE(
        text.find("[Logo]\r\nfile=\r\npos=12,40\r\n[Studio]\r\nroom=B\r\n"), std::string::npos);
    EXPECT_NE(text.find("cal_vu=-18.000000"), std::string::npos);
    EXPECT_EQ(text.find("Size.h"), std::string::npos); // read-only keys are never written
    EXPECT_EQ(text.find("[BWLPF]"), std::string::npos);
    EXPECT_EQ(text.find("[Dump]"), std::string::npos);
}

TEST(SettingsRecordSave, EditedFieldsReadBackAndShiftJisBecomesUtf8)
{
    TempDir dir;
    const auto path = dir / "Kerrion.ini";
    WriteFileBytes(path, "[Channel1]\r\nname=\x83\x81\x83\x43\x83\x93\r\n");
    CSettingsRecord record;
    LoadSettingsFile(record, path);
    ASSERT_EQ(record.Channel[0].name, "メイン");
    record.Meter.Num = 8;
    record.Channel[7].name = "ボーカル";
    record.Channel[7].color_enable = 1;
    record.Channel[7].colors[kColorNeedle] = MakeColor(1, 2, 3);
    record.Needle.thick = 4;
    record.Device = { 2, 3, "Kerrion Signal Generator" };
    ASSERT_EQ(SaveSettingsFile(record, path), 1);

    EXPECT_NE(ReadFileBytes(path).find("name=メイン\r\n"), std::string::npos);
    CSettingsRecord again;
    LoadSettingsFile(again, path);
    EXPECT_EQ(again.Meter.Num, 8);
    EXPECT_EQ(again.Channel[0].name, "メイン");
    EXPECT_EQ(again.Channel[7].name, "ボーカル");
    EXPECT_EQ(again.Channel[7].colors[kColorNeedle], MakeColor(1, 2, 3));
    EXPECT_EQ(again.Needle.thick, 4);
    EXPECT_EQ(again.Device.Type, 2);
    EXPECT_EQ(again.Device.ID, 3);
    EXPECT_EQ(again.Device.Name, "Kerrion Signal Generator");
}

TEST(SettingsRecordSave, AFileThatCannotBeReadIsNeverReplaced)
{
    TempDir dir;
    const auto path = dir / "Kerrion.ini";
    std::filesystem::create_directory(path);
    CSettingsRecord record;
    LoadSettingsFile(record, path);
    EXPECT_EQ(record.Meter.Num, 4);
    EXPECT_EQ(SaveSettingsFile(record, path), 0);
    EXPECT_TRUE(std::filesystem::is_directory(path));

    // Too large to be a settings file: neither read nor replaced.
    const std::string large = "[Meter]\nNum=2\n" + std::string(CIniProfile::kMaxFileBytes, ';');
    WriteFileBytes(dir / "large.ini", large);
    LoadSettingsFile(record, dir / "large.ini");
    EXPECT_EQ(record.Meter.Num, 4);
    EXPECT_EQ(SaveSettingsFile(record, dir / "large.ini"), 0);
    EXPECT_EQ(ReadFileBytes(dir / "large.ini"), large);
}

TEST(SettingsRecordSave, SaveAllAddsTheReadOnlyKeys)
{
    CSettingsRecord record = LoadFromText("[BWLPF]\ncutoff=2.5\n[Logo]\npos=1,2\n");
    CIniProfile profile;
    record.SaveAll(profile);
    const std::string& text = profile.Text();
    EXPECT_NE(
        text.find(
            "VuPenWidth=3\r\nSize.w=1360\r\nSize.h=768\r\nRefresh=1\r\n"
            "ScaleVU=0,1.9,12.9,20.5,23.9,27.7,32.2,37.2,43,49.7,53.5,57.4,61.7,66.3,76.5,88\r\n"),
        std::string::npos);
    EXPECT_NE(
        text.find("[BWLPF]\r\ncutoff=2.5\r\norder=2\r\n[Logo]\r\nfile=.\\marvane.bmp\r\npos=1,2\r\n"
                  "[Dump]\r\nenable=0\r\n"),
        std::string::npos);
    // What SaveAll prints loads back to the same record.
    const CSettingsRecord again = LoadFromText(text);
    EXPECT_EQ(again.Meter.ScaleVU, record.Meter.ScaleVU);
    EXPECT_DOUBLE_EQ(again.BWLPF.cutoff, 2.5);
    EXPECT_EQ(again.Logo.pos.y, 2);
}

TEST(SettingsRecordLoudness, ValuesLoadAndBadOnesGiveTheDefault)
{
    struct Row {
        const char* text;
        const char* layout;
        const char* standard;
        double target;
        double limit;
        int show;
    };
    const Row rows[] = {
        { "", "stereo", "ARIB", -24.0, -1.0, 1 },
        { "Layout=7.1\nStandard=ebu\nTarget=-23.5\nTruePeakLimit=-2\nShow=0\n", "7.1", "EBU", -23.5,
            -2.0, 0 },
        { "Layout=5.1\nStandard=Custom\nTarget=-16\nTruePeakLimit=0.5\n", "5.1", "Custom", -16.0,
            0.5, 1 },
        { "Layout=quad\nStandard=BBC\nTarget=loud\nTruePeakLimit=9\nShow=2\n", "stereo", "ARIB",
            -24.0, -1.0, 1 },
        { "Layout=\nTarget=-24x\nTruePeakLimit=\nShow=x\n", "stereo", "ARIB", -24.0, -1.0, 1 },
        { "Layout=MONO\nStandard=atsc\nTarget=-70\n", "mono", "ATSC", -24.0, -1.0, 1 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        const CSettingsRecord record = LoadFromText(std::string("[Loudness]\n") + row.text);
        EXPECT_EQ(record.Loudness.Layout, row.layout);
        EXPECT_EQ(record.Loudness.Standard, row.standard);
        EXPECT_DOUBLE_EQ(record.Loudness.Target, row.target);
        EXPECT_DOUBLE_EQ(record.Loudness.TruePeakLimit, row.limit);
        EXPECT_EQ(record.Loudness.Show, row.show);
    }
}

TEST(SettingsRecordLoudness, SavedAfterTheOtherSectionsOnceChosen)
{
    TempDir dir;
    const auto path = dir / "Kerrion.ini";
    CSettingsRecord record;
    LoadSettingsFile(record, path);
    record.Loudness.Layout = "5.1";
    record.Loudness.Standard = "Custom";
    record.Loudness.Target = -16.5;
    ASSERT_EQ(SaveSettingsFile(record, path), 1);
    const std::string text = ReadFileBytes(path);
    std::vector<std::string> expected = ExpectedSaveOrder();
    for (const char* name :
        { "[Loudness]", "Layout", "Standard", "Target", "TruePeakLimit", "Show" })
        expected.push_back(name);
    EXPECT_EQ(Names(text), expected);
    EXPECT_NE(text.find("[Loudness]\r\nLayout=5.1\r\nStandard=Custom\r\nTarget=-16.5\r\n"
                        "TruePeakLimit=-1\r\nShow=1\r\n"),
        std::string::npos);

    // Back to the defaults: a file that has the section keeps it, with the defaults.
    CSettingsRecord again;
    LoadSettingsFile(again, path);
    EXPECT_EQ(again.Loudness.Target, -16.5);
    again.Loudness = {};
    ASSERT_EQ(SaveSettingsFile(again, path), 1);
    EXPECT_NE(ReadFileBytes(path).find("Layout=stereo\r\nStandard=ARIB\r\nTarget=-24\r\n"),
        std::string::npos);

    CIniProfile all;
    again.SaveAll(all);
    EXPECT_NE(all.Text().find("[Loudness]\r\nLayout=stereo\r\n"), std::string::npos);
}

// A meter's needle type is written only where it is not the VU or the file had it, so that the
// files of VU users keep the keys they always had (the save order test); a value this version
// does not know is kept as written.
TEST(SettingsRecordMeterType, WrittenWhereChosenOrPresentAndKeptAsWritten)
{
    CSettingsRecord record = LoadFromText(
        "[Meter]\r\nNum=8\r\n[Channel2]\r\nmeter_type=vu\r\n[Channel3]\r\nmeter_type=ppm-x\r\n");
    EXPECT_EQ(record.Channel[0].meter_type, "vu");
    EXPECT_EQ(record.Channel[2].meter_type, "ppm-x");
    record.Channel[0].meter_type = "ppm-bbc";
    CIniProfile profile(
        "[Meter]\r\nNum=8\r\n[Channel2]\r\nmeter_type=vu\r\n[Channel3]\r\nmeter_type=ppm-x\r\n");
    record.Save(profile);
    const std::string text = profile.Text();
    const auto typeOf = [&](int channel) {
        const size_t section = text.find("[Channel" + std::to_string(channel) + "]");
        const size_t key = text.find("meter_type=", section);
        const size_t next = text.find("[", section + 1);
        return key < next ? text.substr(key + 11, text.find('\r', key) - key - 11) : "";
    };
    EXPECT_EQ(typeOf(1), "ppm-bbc");
    EXPECT_EQ(typeOf(2), "vu");
    EXPECT_EQ(typeOf(3), "ppm-x");
    EXPECT_EQ(typeOf(4), "");
}
