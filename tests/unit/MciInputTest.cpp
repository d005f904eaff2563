// "set NAME input ..." chooses what each recording opens, and "status NAME level" reports how
// loud what is recorded or played is.
#include "engine/command/MciError.h"
#include "support/EngineFixture.h"

using namespace wsx::mci;
using wsx::audio::CaptureSource;
using wsx::test::constantSignal;
using wsx::test::EngineTest;
using Kind = CaptureSource::Kind;

class Input : public EngineTest {};

TEST_F(Input, TheInputItemChoosesWhatEachRecordingOpens) {
    openA(8000, 1);
    EXPECT_EQ(ask("status A input"), "default");
    const std::pair<std::string, CaptureSource> choices[] = {
        {"monitor", {Kind::DefaultMonitor, {}}},
        {"BOTH", {Kind::Both, {}}},
        {"\"alsa_input.usb-Mic 2\"", {Kind::Named, "alsa_input.usb-Mic 2"}},
        {"alsa_input.pci", {Kind::Named, "alsa_input.pci"}},
        {"\"default\"", {Kind::Named, "default"}},  // quoted: a source's name, not the keyword
        {"default", {Kind::DefaultInput, {}}},
    };
    for (const auto& [word, source] : choices) {
        // Sound recorded fixes the format, not the input: it may change between recordings.
        ASSERT_EQ(send("set A input " + word), 0u) << word;
        EXPECT_EQ(ask("status A input"), source.kind == Kind::Named  ? source.name
                                         : source.kind == Kind::Both ? "both"
                                                                     : word)
            << word;
        ASSERT_EQ(send("record A"), 0u);
        backend.advance(50);
        ASSERT_EQ(send("stop A"), 0u);
        EXPECT_EQ(backend.lastCaptureSource(), source) << word;
    }
    EXPECT_GT(number("status A length"), 0);

    EXPECT_EQ(send("set A input"), MCIERR_MISSING_PARAMETER);
    EXPECT_EQ(send("set A input monitor input both"), MCIERR_DUPLICATE_FLAGS);
    // A command that fails changes nothing, the input included.
    EXPECT_EQ(send("set A input monitor channels 2"), MCIERR_NONAPPLICABLE_FUNCTION);
    EXPECT_EQ(ask("status A input"), "default");
    // With the format still open, input and format go together.
    ASSERT_EQ(send("open new type waveaudio alias B"), 0u);
    ASSERT_EQ(send("set B channels 2 input monitor samplespersec 11025"), 0u);
    EXPECT_EQ(ask("status B input"), "monitor");
    EXPECT_EQ(ask("status B channels"), "2");
    EXPECT_EQ(ask("status B samplespersec"), "11025");
}

TEST_F(Input, TheEnginesInputOutlivesElementsUntilOneChoosesItsOwn) {
    EXPECT_EQ(ask("status waveaudio input"), "default");
    ASSERT_EQ(send("set waveaudio input both"), 0u);
    openA(8000, 1);  // opened after the choice
    ASSERT_EQ(send("open new type waveaudio alias B"), 0u);
    EXPECT_EQ(ask("status A input"), "both");
    ASSERT_EQ(send("set WaveAudio input \"usb mic\""), 0u);
    EXPECT_EQ(ask("status waveaudio input"), "usb mic");
    EXPECT_EQ(ask("status B input"), "usb mic") << "elements follow until they choose";
    ASSERT_EQ(send("set B input monitor"), 0u);
    ASSERT_EQ(send("set waveaudio input default"), 0u);
    EXPECT_EQ(ask("status B input"), "monitor") << "its own choice stays";
    ASSERT_EQ(send("record A"), 0u);
    backend.advance(20);
    EXPECT_EQ(backend.lastCaptureSource(), (CaptureSource{Kind::DefaultInput, {}}));
    ASSERT_EQ(send("record B"), 0u);
    EXPECT_EQ(backend.lastCaptureSource(), (CaptureSource{Kind::DefaultMonitor, {}}));
    // Closing and opening again (as New does) keeps the engine's choice.
    ASSERT_EQ(send("set waveaudio input monitor"), 0u);
    ASSERT_EQ(send("close A"), 0u);
    ASSERT_EQ(send("open new type waveaudio alias A"), 0u);
    EXPECT_EQ(ask("status A input"), "monitor");

    EXPECT_EQ(send("set waveaudio input"), MCIERR_MISSING_PARAMETER);
    EXPECT_EQ(send("set waveaudio input both now"), MCIERR_UNRECOGNIZED_KEYWORD);
    EXPECT_EQ(send("set waveaudio channels 2"), MCIERR_UNRECOGNIZED_KEYWORD);
    EXPECT_EQ(send("record waveaudio"), MCIERR_INVALID_DEVICE_NAME);
    EXPECT_EQ(ask("status waveaudio input"), "monitor");
}

TEST_F(Input, TheLevelIsTheLoudestSampleSinceTheLastQuery) {
    for (const int bits : {16, 8}) {
        SCOPED_TRACE(bits);
        send("close all");
        openA(8000, 2, bits);
        backend.setSignal(constantSignal(-12000));
        EXPECT_EQ(ask("status A level"), "0") << "nothing runs: silence";
        ASSERT_EQ(send("record A"), 0u);
        backend.advance(100);
        // 8-bit samples keep the high byte: -12000 is -47 * 256 there.
        const long loud = bits == 16 ? 12000 : 47 * 256;
        EXPECT_EQ(number("status A level"), loud);
        EXPECT_EQ(number("status A level"), 0) << "taken by the query before";
        backend.setSignal(constantSignal(bits == 16 ? 300 : 512));
        backend.advance(100);
        EXPECT_EQ(number("status A level"), bits == 16 ? 300 : 512);
        ASSERT_EQ(send("stop A"), 0u);
        ASSERT_EQ(send("play A from 0"), 0u);
        backend.advance(50);
        EXPECT_EQ(number("status A level"), loud) << "playing starts with the loud part";
        ASSERT_EQ(send("stop A"), 0u);
        EXPECT_EQ(ask("status A level"), "0");
    }
}
