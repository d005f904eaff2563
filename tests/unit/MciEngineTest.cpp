// The command language: parsing, error codes, open/close/set/status. Transport and sound
// content are in MciRecordingTest.cpp.
#include "engine/command/MciError.h"
#include "support/EngineFixture.h"

using namespace wsx::mci;
using wsx::test::EngineTest;

TEST_F(EngineTest, ParsingErrorsCarryTheirCodes) {
    openA();
    const std::pair<const char*, uint32_t> cases[] = {
        {"", MCIERR_MISSING_COMMAND_STRING},
        {"frobnicate A", MCIERR_UNRECOGNIZED_COMMAND},
        {"\"play\" A", MCIERR_UNRECOGNIZED_COMMAND},
        {"play A loudly", MCIERR_UNRECOGNIZED_KEYWORD},
        {"status A colour", MCIERR_BAD_CONSTANT},
        {"set A time format frames", MCIERR_BAD_CONSTANT},
        {"set A time format hms", MCIERR_BAD_CONSTANT},
        {"set A time format msf", MCIERR_BAD_CONSTANT},
        {"set A time format", MCIERR_MISSING_PARAMETER},
        {"set A", MCIERR_MISSING_PARAMETER},
        {"status A", MCIERR_MISSING_PARAMETER},
        {"play A from", MCIERR_MISSING_PARAMETER},
        {"seek A", MCIERR_MISSING_PARAMETER},
        {"seek A to", MCIERR_MISSING_PARAMETER},
        {"save A", MCIERR_MISSING_PARAMETER},
        {"record A insert overwrite", MCIERR_FLAGS_NOT_COMPATIBLE},
        {"status A position length", MCIERR_FLAGS_NOT_COMPATIBLE},
        {"play A from 0 from 0", MCIERR_DUPLICATE_FLAGS},
        {"set A channels 1 channels 2", MCIERR_DUPLICATE_FLAGS},
        {"play A from 1x", MCIERR_BAD_INTEGER},
        {"set A channels two", MCIERR_BAD_INTEGER},
        {"status B position", MCIERR_INVALID_DEVICE_NAME},
        {"close B", MCIERR_INVALID_DEVICE_NAME},
        {"pause", MCIERR_INVALID_DEVICE_NAME},
        {"save A \"/tmp/x.wav", MCIERR_NO_CLOSING_QUOTE},
        {"save A \"/tmp/x\".wav", MCIERR_EXTRA_CHARACTERS},
        {"save A /tmp/two words.wav", MCIERR_UNRECOGNIZED_KEYWORD},
    };
    for (const auto& [command, code] : cases) EXPECT_EQ(send(command), code) << command;
}

TEST_F(EngineTest, VerbsKeywordsAndAliasesIgnoreCase) {
    ASSERT_EQ(send("OPEN NEW TYPE WaveAudio ALIAS RecordDev"), 0u);
    EXPECT_EQ(send("Set recorddev TIME FORMAT MS"), 0u);
    EXPECT_EQ(ask("STATUS RECORDDEV MODE"), "stopped");
    EXPECT_EQ(send("open new type waveaudio alias RECORDDEV"), MCIERR_DUPLICATE_ALIAS);
}

TEST_F(EngineTest, OpenGivesAFreshElementPerAlias) {
    std::string reply;
    EXPECT_EQ(engine.mciSendString("open new type waveaudio", &reply), MCIERR_NEW_REQUIRES_ALIAS);
    EXPECT_EQ(engine.mciSendString("open new type cdaudio alias X", &reply),
              MCIERR_INVALID_DEVICE_NAME);
    EXPECT_EQ(engine.mciSendString("open new alias X", &reply), MCIERR_MISSING_PARAMETER);
    ASSERT_EQ(engine.mciSendString("open new type waveaudio alias A", &reply), 0u);
    EXPECT_EQ(reply, "1");
    ASSERT_EQ(engine.mciSendString("open new type waveaudio alias B", &reply), 0u);
    EXPECT_EQ(reply, "2");
    EXPECT_EQ(ask("status A mode"), "stopped");
    EXPECT_EQ(ask("status A time format"), "milliseconds");
    EXPECT_EQ(ask("status A position"), "0");
    EXPECT_EQ(ask("status A length"), "0");
    EXPECT_EQ(ask("status A samplespersec"), "11025");
    EXPECT_EQ(ask("status A bitspersample"), "8");
    EXPECT_EQ(ask("status A channels"), "1");
    EXPECT_EQ(send("close A"), 0u);
    EXPECT_EQ(send("close A"), MCIERR_INVALID_DEVICE_NAME);
    EXPECT_EQ(send("open new type waveaudio alias A"), 0u);
    EXPECT_EQ(send("close all"), 0u);
    EXPECT_EQ(send("status B mode"), MCIERR_INVALID_DEVICE_NAME);
}

TEST_F(EngineTest, FormatIsCheckedAtOnceAndDerivedValuesFollow) {
    ASSERT_EQ(send("open new type waveaudio alias A"), 0u);
    for (const char* bad : {"set A bitspersample 12", "set A samplespersec 7999",
                            "set A samplespersec 48001", "set A channels 0", "set A channels 3"})
        EXPECT_EQ(send(bad), MCIERR_OUTOFRANGE) << bad;
    // A refused command changes nothing, not even its valid items.
    EXPECT_EQ(send("set A channels 2 bitspersample 12"), MCIERR_OUTOFRANGE);
    EXPECT_EQ(ask("status A channels"), "1");
    ASSERT_EQ(send("set A Bitspersample 16"), 0u);
    ASSERT_EQ(send("set A Samplespersec 22050"), 0u);
    ASSERT_EQ(send("set A channels 2"), 0u);
    EXPECT_EQ(ask("status A bytespersec"), "88200");
    EXPECT_EQ(ask("status A alignment"), "4");
}

TEST_F(EngineTest, FormatIsFixedOnceTheElementHoldsSound) {
    openA();
    ASSERT_EQ(send("record A"), 0u);
    backend.advance(100);
    ASSERT_EQ(send("pause A"), 0u);
    EXPECT_EQ(send("set A samplespersec 11025"), MCIERR_NONAPPLICABLE_FUNCTION);
    EXPECT_EQ(send("set A channels 1"), MCIERR_NONAPPLICABLE_FUNCTION);
    EXPECT_EQ(send("set A time format bytes"), 0u);  // the time format may still change
    EXPECT_EQ(ask("status A length"), "8820");
    EXPECT_EQ(send("set A time format samples"), 0u);
    EXPECT_EQ(ask("status A length"), "2205");
    // A new element starts unlocked again.
    ASSERT_EQ(send("close A"), 0u);
    openA(11025, 1);
    EXPECT_EQ(ask("status A samplespersec"), "11025");
}

TEST_F(EngineTest, FailedQueryLeavesTheReplyEmpty) {
    openA();
    std::string reply = "stale";
    EXPECT_EQ(engine.mciSendString("status A nothing", &reply), MCIERR_BAD_CONSTANT);
    EXPECT_EQ(reply, "");
    reply = "stale";
    EXPECT_EQ(engine.mciSendString("status Nobody position", &reply), MCIERR_INVALID_DEVICE_NAME);
    EXPECT_EQ(reply, "");
    reply = "stale";
    EXPECT_EQ(engine.mciSendString("seek A to 0", &reply), 0u);
    EXPECT_EQ(reply, "");
}

TEST_F(EngineTest, DeviceFailuresAreErrorCodesAndTheElementKeepsAnswering) {
    openA();
    backend.setCaptureError(wsx::audio::OpenError::NoServer);
    EXPECT_EQ(send("record A overwrite"), MCIERR_WAVE_INPUTSUNSUITABLE);
    EXPECT_EQ(ask("status A mode"), "stopped");
    backend.setCaptureError(wsx::audio::OpenError::None);
    ASSERT_EQ(send("record A"), 0u);
    backend.advance(500);
    ASSERT_EQ(send("pause A"), 0u);
    backend.setPlaybackError(wsx::audio::OpenError::NoDevice);
    EXPECT_EQ(send("play A from 0"), MCIERR_WAVE_OUTPUTSUNSUITABLE);
    EXPECT_EQ(ask("status A length"), "500");
}
