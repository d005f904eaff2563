// The command language as Windows' waveaudio device answers it: command-level codes,
// integers in decimal and colon form, list items given by number, repeated and clashing
// items. Each table runs in order, one row after the other, against one engine holding
// element x with 2000 ms of 16-bit mono 16000 Hz sound, stopped at 0; every row checks the
// code and the reply (empty after an error).
#include "engine/command/MciConstants.h"
#include "engine/command/MciError.h"
#include "support/EngineFixture.h"

#include <span>

using namespace wsx::mci;
using wsx::test::EngineTest;

namespace {

struct Case {
    const char* command;
    uint32_t code;
    const char* reply = "";
};

}  // namespace

class MciParser : public EngineTest {
protected:
    void SetUp() override {
        ASSERT_EQ(send("open new type waveaudio alias x"), 0u);
        ASSERT_EQ(send("set x bitspersample 16 samplespersec 16000 channels 1"), 0u);
        ASSERT_EQ(send("record x"), 0u);
        backend.advance(2000);
        ASSERT_EQ(send("stop x"), 0u);
        ASSERT_EQ(send("seek x to start"), 0u);
        ASSERT_EQ(ask("status x length"), "2000");
    }

    void run(std::span<const Case> cases) {
        for (const Case& c : cases) {
            std::string reply = "stale";
            EXPECT_EQ(engine.mciSendString(c.command, &reply), c.code) << c.command;
            EXPECT_EQ(reply, c.reply) << c.command;
        }
    }
};

TEST_F(MciParser, CommandLevelCodes) {
    const Case cases[] = {
        {"", MCIERR_MISSING_COMMAND_STRING},
        {" \t ", MCIERR_MISSING_COMMAND_STRING},
        {"open", MCIERR_MISSING_DEVICE_NAME},
        {"open notify", MCIERR_INVALID_DEVICE_NAME},
        {"open somedevice alias q", MCIERR_INVALID_DEVICE_NAME},
        {"open new", MCIERR_NEW_REQUIRES_ALIAS},
        {"open new type waveaudio", MCIERR_NEW_REQUIRES_ALIAS},
        {"open new type waveaudio alias r shareable shareable", MCIERR_DUPLICATE_FLAGS},
        {"open new type waveaudio alias r shareable", MCIERR_UNSUPPORTED_FUNCTION},
        {"status r mode", MCIERR_INVALID_DEVICE_NAME},
        {"open all", MCIERR_CANNOT_USE_ALL},
        {"status all time format", MCIERR_CANNOT_USE_ALL},
        {"set all time format ms", MCIERR_CANNOT_USE_ALL},
        {"play all", MCIERR_CANNOT_USE_ALL},
        {"record ALL", MCIERR_CANNOT_USE_ALL},
        {"pause all", MCIERR_CANNOT_USE_ALL},
        {"resume all", MCIERR_CANNOT_USE_ALL},
        {"stop all", MCIERR_CANNOT_USE_ALL},
        {"seek all to start", MCIERR_CANNOT_USE_ALL},
        {"delete all", MCIERR_CANNOT_USE_ALL},
        {"save all x.wav", MCIERR_CANNOT_USE_ALL},
        {"cue all", MCIERR_UNRECOGNIZED_COMMAND},
        {"cue output", MCIERR_UNRECOGNIZED_COMMAND},
        {"status x position wait wait", MCIERR_DUPLICATE_FLAGS},
        {"seek x wait", MCIERR_MISSING_PARAMETER},
        {"close waveaudio", MCIERR_INVALID_DEVICE_NAME},
        {"status x", MCIERR_MISSING_PARAMETER},
        {"status x nsa", MCIERR_BAD_CONSTANT},
        {"status x \"mode\"", MCIERR_BAD_CONSTANT},
        {"set x milliseconds", MCIERR_UNRECOGNIZED_KEYWORD},
        {"set x milliseconds ms", MCIERR_UNRECOGNIZED_KEYWORD},
        {"  STATUS   x \t number    of  TRACKS ", 0, "1"},
        {"open new type waveaudio alias y", 0, "2"},
        {"close all", 0},
        {"status x mode", MCIERR_INVALID_DEVICE_NAME},
        // The device alone: a new element under the type's name, with the lowest free id.
        {"open waveaudio", 0, "1"},
        {"status waveaudio mode", 0, "stopped"},
        {"open waveaudio", MCIERR_DEVICE_OPEN},
        {"open no-such-file.wav alias waveaudio", MCIERR_DUPLICATE_ALIAS},
        {"open waveaudio alias z", 0, "2"},
        {"close waveaudio", 0},
        {"close waveaudio", MCIERR_INVALID_DEVICE_NAME},
    };
    run(cases);
}

TEST_F(MciParser, IntegersTakeDecimalAndColonForms) {
    const Case cases[] = {
        {"seek x to :1", 0},
        {"status x position", 0, "256"},
        {"seek x to 250::", 0},
        {"status x position", 0, "250"},
        {"seek x to 220:5:0", 0},
        {"status x position", 0, "1500"},
        {"seek x to 208:7:0:0", 0},
        {"status x position", 0, "2000"},
        {"seek x to 209:7", MCIERR_OUTOFRANGE},
        {"seek x to 0xfa", MCIERR_BAD_INTEGER},
        {"seek x to 0:0:0:0:0", MCIERR_BAD_INTEGER},
        {"seek x to 0:0:0:0:", MCIERR_BAD_INTEGER},
        {"seek x to :0:0:0:0", MCIERR_BAD_INTEGER},
        {"seek x to 256:0:0:0", MCIERR_BAD_INTEGER},
        {"seek x to 0:256", MCIERR_BAD_INTEGER},
        {"seek x to -1", MCIERR_BAD_INTEGER},
        {"seek x to 1:+1", MCIERR_BAD_INTEGER},
        {"status x position", 0, "2000"},
        // from after to, both in colon form: out of range; equal: an empty play.
        {"play x from 1:1 to 0:1", MCIERR_OUTOFRANGE},
        {"play x from 1:1 to 257", 0},
        {"status x position", 0, "257"},
        {"status x mode", 0, "stopped"},
        {"record x to 0xfa", MCIERR_BAD_INTEGER},
        {"delete x from 0:4 to 0:4", 0},
        {"status x position", 0, "1024"},
        {"set x time format samples", 0},
        {"seek x to 128:62", 0},
        {"status x position", 0, "16000"},
        {"status x position track 1:0", 0, "0"},
        {"open new type waveaudio alias y buffer 0x4", MCIERR_BAD_INTEGER},
        {"open new type waveaudio alias y buffer 4:0", 0, "2"},
        {"set y samplespersec 64:31 channels 2: bitspersample 16:0:0:0", 0},
        {"status y samplespersec", 0, "8000"},
        {"status y channels", 0, "2"},
        {"status y bitspersample", 0, "16"},
        {"set y channels 0x2", MCIERR_BAD_INTEGER},
        {"set y channels 3:0", MCIERR_OUTOFRANGE},
    };
    run(cases);
}

TEST_F(MciParser, ListItemsByNumber) {
    const Case cases[] = {
        {"status x 1", 0, "2000"},
        {"status x 2", 0, "0"},
        {"status x 3", 0, "1"},
        {"status x 4", 0, "stopped"},
        {"status x 5", 0, "true"},
        {"status x 6", 0, "milliseconds"},
        {"status x 7", 0, "true"},
        {"status x 8", 0, "1"},
        {"status x 16385", 0, "pcm"},
        {"status x 16386", 0, "1"},
        {"status x 16387", 0, "16000"},
        {"status x 16388", 0, "32000"},
        {"status x 16389", 0, "2"},
        {"status x 16390", 0, "16"},
        {"status x 16391", 0, "0"},
        {"status x 1:64", 0, "pcm"},
        {"status x 0x4", MCIERR_BAD_CONSTANT},
        {"status x 0", MCIERR_BAD_CONSTANT},
        {"status x 9", MCIERR_BAD_CONSTANT},
        {"status x 4 notify", 0, "stopped"},
        {"capability x 5", 0, "true"},
        {"capability x 3", 0, "false"},
        {"capability x 4 wait", 0, "waveaudio"},
        {"capability x 0x5", MCIERR_BAD_CONSTANT},
        {"capability x 10", MCIERR_BAD_CONSTANT},
        {"capability x can save 9", MCIERR_FLAGS_NOT_COMPATIBLE},
        {"sysinfo all name 1:0 open", 0, "x"},
        {"status x media present", 0, "true"},
        {"status x current track", 0, "1"},
        {"status x ready", 0, "true"},
        {"set x time format 8", 0},
        {"status x time format", 0, "bytes"},
        {"status x 1", 0, "64000"},
        {"set x time format 9", 0},
        {"status x 6", 0, "samples"},
        {"status x length", 0, "32000"},
        {"set x time format 0", 0},
        {"status x time format", 0, "milliseconds"},
        {"set x time format 3", MCIERR_BAD_TIME_FORMAT},
        {"set x time format 10", MCIERR_BAD_TIME_FORMAT},
        {"set x time format 0x8", MCIERR_BAD_CONSTANT},
        {"set x time format frames", MCIERR_BAD_CONSTANT},
        {"set x time format smpte 25", MCIERR_BAD_CONSTANT},
        {"set x time format bytes channels 0x1", MCIERR_BAD_INTEGER},
        {"status x time format", 0, "milliseconds"},
    };
    run(cases);
}

TEST_F(MciParser, RepeatedAndClashingItems) {
    const Case cases[] = {
        {"status x length length", MCIERR_FLAGS_NOT_COMPATIBLE},
        {"status x length position", MCIERR_FLAGS_NOT_COMPATIBLE},
        {"status x mode 4", MCIERR_FLAGS_NOT_COMPATIBLE},
        {"status x track", MCIERR_BAD_INTEGER},
        {"status x track x position", MCIERR_BAD_INTEGER},
        {"status x track 3", MCIERR_MISSING_PARAMETER},
        {"status x 2 track 3", MCIERR_OUTOFRANGE},
        {"status x length track 0", MCIERR_OUTOFRANGE},
        {"status x position track 1 track 1", MCIERR_DUPLICATE_FLAGS},
        {"status x track 1 length", 0, "2000"},
        {"status x mode track 3", 0, "stopped"},
        {"set x time format milliseconds time format ms", MCIERR_FLAGS_NOT_COMPATIBLE},
        {"set x time format bytes time format bytes", MCIERR_FLAGS_NOT_COMPATIBLE},
        {"status x time format", 0, "milliseconds"},
        {"set x channels 1 channels 1", MCIERR_DUPLICATE_FLAGS},
        {"seek x to start to 0", MCIERR_FLAGS_NOT_COMPATIBLE},
        {"seek x to end to start", MCIERR_FLAGS_NOT_COMPATIBLE},
        {"seek x to 500 to end", MCIERR_FLAGS_NOT_COMPATIBLE},
        {"seek x to start to start", MCIERR_DUPLICATE_FLAGS},
        {"seek x to 0 to 5", MCIERR_DUPLICATE_FLAGS},
        {"seek x to 500 then", MCIERR_UNRECOGNIZED_KEYWORD},
        {"status x position", 0, "0"},
        {"seek x to \"end\"", MCIERR_BAD_INTEGER},
        {"seek x to END", 0},
        {"status x 2", 0, "2000"},
        {"record x insert insert", MCIERR_DUPLICATE_FLAGS},
        {"record x overwrite insert", MCIERR_FLAGS_NOT_COMPATIBLE},
        {"play x to 0 to 0", MCIERR_DUPLICATE_FLAGS},
        {"delete x from 0 from 0", MCIERR_DUPLICATE_FLAGS},
        {"status x length", 0, "2000"},
    };
    run(cases);
}

TEST(MciConstants, TablesMatchTheLongestNameOrANumber) {
    const auto match = [](std::span<const NamedConstant> table, const char* items) {
        return matchConstant(table, tokenize(items).tokens);
    };
    const ConstantMatch canSave = match(kCapabilityItems, "Can   SAVE notify");
    EXPECT_EQ(canSave.used, 2u);
    EXPECT_EQ(canSave.name, "can save");
    EXPECT_EQ(canSave.number, 9u);
    EXPECT_EQ(match(kCapabilityItems, "16386").name, "outputs");
    EXPECT_EQ(match(kCapabilityItems, "5").name, "uses files");
    EXPECT_EQ(match(kTimeFormats, "0").name, "milliseconds");  // the first name of a number
    EXPECT_EQ(match(kStatusItems, "number of tracks").used, 3u);
    // A number no entry has is still a number; the caller chooses its code.
    const ConstantMatch unknown = match(kTimeFormats, "3");
    EXPECT_EQ(unknown.used, 1u);
    EXPECT_EQ(unknown.name, "");
    EXPECT_EQ(unknown.number, 3u);
    // Not there: part of a name, a quoted name, hex, words only.
    for (const char* none : {"can", "has  sound", "\"mode\"", "0x4", ""})
        EXPECT_EQ(match(kCapabilityItems, none).used, 0u) << none;
    EXPECT_EQ(matchConstant(kStatusItems, tokenize("4").tokens, false).used, 0u);
}
