#include "modules/ModuleRecord.h"

#include <gtest/gtest.h>

using wsx::ModuleRecord;

namespace {
// Records every command string and answers status queries from a table.
class ScriptedMci : public wsx::mci::MciInterface {
public:
    uint32_t mciSendString(std::string_view command, std::string* reply) override {
        sent.emplace_back(command);
        if (reply) *reply = command.find("position") != std::string_view::npos ? position : "";
        return result;
    }
    std::vector<std::string> sent;
    std::string position = "5230";
    uint32_t result = 0;
};
}  // namespace

TEST(ModuleRecord, BuildsExactlyTheCommandStrings) {
    ScriptedMci mci;
    ModuleRecord m(mci);
    const std::string dev = "RecordDev";
    m.MciSetTimeFormat(dev, 2);
    m.MciSetTimeFormat(dev, 0);
    m.MciSetTimeFormat(dev, 7);
    m.MciSetSamplesPerSec(dev, "22050");
    m.MciSetChannels(dev, "2");
    m.MciGetPosition(dev);
    m.MciGetLength(dev);
    m.MciPlay(dev);
    m.MciPlayFrom(dev, "0");
    m.MciPause(dev);
    m.MciClose(dev);
    m.MciRecordOverwrite(dev);
    m.MciOpenNew();
    m.MciSeek(dev, "5000");
    m.MciDeleteTo(dev);
    m.MciDeleteFrom(dev);
    EXPECT_EQ(mci.sent, (std::vector<std::string>{
                            "set RecordDev time format milliseconds",
                            "set RecordDev time format frames",
                            "set RecordDev time format ",
                            "set RecordDev Samplespersec 22050",
                            "set RecordDev channels 2",
                            "status RecordDev position",
                            "status RecordDev length",
                            "play RecordDev",
                            "play RecordDev from 0",
                            "pause RecordDev",
                            "close RecordDev",
                            "record RecordDev overwrite",
                            "open new type waveaudio alias RecordDev",
                            "set RecordDev Bitspersample 16",
                            "seek RecordDev to 5000",
                            "status RecordDev position",
                            "delete RecordDev from 0 to 5230",
                            "status RecordDev position",
                            "delete RecordDev from 5230",
                        }));
}

TEST(ModuleRecord, SaveQuotesTheNameAndDeleteAtStartSendsZeroToZero) {
    ScriptedMci mci;
    ModuleRecord m(mci);
    m.MciSave("RecordDev", "/home/u/my \"best\" 录音.wav");
    mci.position = "0";
    m.MciDeleteTo("RecordDev");
    EXPECT_EQ(mci.sent[0], "save RecordDev \"/home/u/my \"\"best\"\" 录音.wav\"");
    EXPECT_EQ(mci.sent[2], "delete RecordDev from 0 to 0");
    m.MciOpenTake("/home/u/.local/state/wanshengxia/take-\"x\" 1");
    m.MciStatusReason("RecordDev");
    EXPECT_EQ(mci.sent[3],
              "open \"/home/u/.local/state/wanshengxia/take-\"\"x\"\" 1\" type waveaudio alias "
              "RecordDev");
    EXPECT_EQ(mci.sent[4], "status RecordDev reason");
}

TEST(ModuleRecord, ResultCodesPassThroughAndTimeFormatNarrowsTo16Bits) {
    ScriptedMci mci;
    ModuleRecord m(mci);
    mci.result = 282;
    EXPECT_EQ(m.MciPlay("RecordDev"), 282);
    EXPECT_EQ(m.MciSetTimeFormat("RecordDev", 2), int16_t(282));
    mci.result = 0x12345;
    EXPECT_EQ(m.MciSetTimeFormat("RecordDev", 2), int16_t(0x2345));
    EXPECT_EQ(m.MciGetLength("RecordDev"), "");  // failed queries read as empty text
}

TEST(ModuleRecord, FormatTimeRoundsHalvesToEvenAndNeverCutsMinutes) {
    const std::pair<const char*, const char*> cases[] = {
        {"0", "00:00"},         {"499", "00:00"},
        {"500", "00:00"},       {"501", "00:01"},
        {"1500", "00:02"},      {"2500", "00:02"},
        {"3500", "00:04"},      {"59499", "00:59"},
        {"59500", "01:00"},     {"61500", "01:02"},
        {"754000", "12:34"},    {"6000000", "100:00"},
        {"32767499", "546:07"}, {"32767500", "546:08"},
        {"32400000", "540:00"}, {"4294967295", "71582:47"},
    };
    for (const auto& [ms, text] : cases) EXPECT_EQ(ModuleRecord::FormatTime(ms), text) << ms;
    for (const char* bad : {"", "abc", "-5", "1.5", " 12", "9999999999999999999"})
        EXPECT_EQ(ModuleRecord::FormatTime(bad), "--:--") << bad;
}

TEST(ModuleRecord, RoundHalfEven) {
    EXPECT_EQ(wsx::roundHalfEven(1.5), 2);
    EXPECT_EQ(wsx::roundHalfEven(2.5), 2);
    EXPECT_EQ(wsx::roundHalfEven(3.5), 4);
    EXPECT_EQ(wsx::roundHalfEven(3.4), 3);
    EXPECT_EQ(wsx::roundHalfEven(3.6), 4);  // 2.6 s + 1 on the slider
}
