// Existing WAV files as elements ("open <file>.wav") on the virtual clock: the file's format
// and exact sound, edits and recordings into it, saves by name and without one, the result
// codes of files that cannot be opened, and what a kill leaves; and the derived format items
// of "set" (bytespersec, alignment, format tag).
#include "engine/command/MciError.h"
#include "engine/take/TakeStore.h"
#include "support/EngineFixture.h"
#include "support/WavBuilder.h"
#include "support/WavReader.h"

#include <fstream>
#include <iterator>
#include <optional>

using namespace wsx::mci;
namespace fs = std::filesystem;
using wsx::audio::AudioFormat;
using wsx::test::Bytes;
using wsx::test::chunk;
using wsx::test::constantSignal;
using wsx::test::fmtBody;
using wsx::test::riff;

namespace {

// A WAV file as other programs write them: a LIST chunk of odd size (with its pad byte)
// between "fmt " and "data".
void writeWav(const fs::path& file, const AudioFormat& f, const Bytes& sound) {
    const Bytes list = {'I', 'N', 'F', 'O', 'I', 'C', 'M', 'T', 1, 0, 0, 0, 'x'};
    const Bytes out = riff({chunk("fmt ", fmtBody(1, f.channels, f.sampleRate, f.bitsPerSample)),
                            chunk("LIST", list), chunk("data", sound)});
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(out.data()), std::streamsize(out.size()));
}

Bytes fileBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Sound no two stretches of which are alike, so a misplaced byte shows.
Bytes distinctSound(size_t bytes) {
    Bytes b(bytes);
    for (size_t i = 0; i < bytes; ++i) b[i] = uint8_t((i * 7919 + i / 251) & 0xFF);
    return b;
}

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes slice(const Bytes& b, size_t from, size_t to) {
    return Bytes(b.begin() + std::ptrdiff_t(from), b.begin() + std::ptrdiff_t(to));
}

// An engine of its own, so a test can end it without "close", as a kill would.
class Files : public ::testing::Test {
protected:
    Files() { start(); }
    fs::path takeFolder() const { return tmp.path() / "takes"; }
    void start() { engine.emplace(backend, EngineOptions{takeFolder()}); }
    uint32_t send(const std::string& c) { return engine->mciSendString(c, nullptr); }
    std::string ask(const std::string& c) {
        std::string reply;
        EXPECT_EQ(engine->mciSendString(c, &reply), 0u) << c;
        return reply;
    }
    std::string quoted(const fs::path& p) const { return "\"" + p.string() + "\""; }
    Bytes savedSound(const fs::path& file) {
        const auto wav = wsx::test::readWav(file);
        EXPECT_TRUE(wav.has_value()) << file;
        return wav ? wav->data : Bytes{};
    }
    size_t takeCount() const {
        std::error_code ec;
        return size_t(std::distance(fs::directory_iterator(takeFolder(), ec), {}));
    }

    wsx::test::TempDir tmp;
    wsx::audio::VirtualAudioBackend backend;
    std::optional<MciEngine> engine;
};

}  // namespace

TEST_F(Files, AnOpenedFileIsTheElementAndStaysUntouchedUntilSaved) {
    const AudioFormat f{8000, 1, 16};  // 16 bytes a millisecond
    const Bytes original = distinctSound(16000);
    const fs::path file = tmp.path() / "voice.wav";
    writeWav(file, f, original);
    const Bytes fileBefore = fileBytes(file);

    ASSERT_EQ(ask("open " + quoted(file) + " type waveaudio alias A"), "1");
    EXPECT_EQ(ask("status A mode"), "stopped");
    EXPECT_EQ(ask("status A position"), "0");
    EXPECT_EQ(ask("status A length"), "1000");
    EXPECT_EQ(ask("status A samplespersec") + ask("status A channels") +
                  ask("status A bitspersample") + ask("status A alignment") +
                  ask("status A bytespersec") + ask("status A format tag"),
              "8000116216000pcm");
    EXPECT_EQ(send("set A channels 2"), MCIERR_NONAPPLICABLE_FUNCTION);
    EXPECT_EQ(ask("info A file"), file.string());

    ASSERT_EQ(send("play A"), 0u);
    backend.advance(1000);
    EXPECT_EQ(backend.takePlayed(), original) << "played exactly the file's sound";
    EXPECT_EQ(ask("status A mode"), "stopped");
    EXPECT_EQ(ask("status A position"), "1000");

    // Edits: a delete, an insert and an overwrite of a constant.
    ASSERT_EQ(send("delete A from 250 to 500"), 0u);
    backend.setSignal(constantSignal(0x0707));
    ASSERT_EQ(send("seek A to 100"), 0u);
    ASSERT_EQ(send("record A insert"), 0u);
    backend.advance(50);
    ASSERT_EQ(send("stop A"), 0u);
    backend.setSignal(constantSignal(0x0909));
    ASSERT_EQ(send("record A from 700 overwrite"), 0u);
    backend.advance(150);  // 50 ms past the end: the element grows
    ASSERT_EQ(send("stop A"), 0u);
    EXPECT_EQ(ask("status A length"), "850");
    EXPECT_EQ(fileBytes(file), fileBefore) << "the file is only written by a save";

    const Bytes edited =
        cat({slice(original, 0, 1600), Bytes(800, 0x07), slice(original, 1600, 4000),
             slice(original, 8000, 14400), Bytes(2400, 0x09)});
    const fs::path other = tmp.path() / "other.wav";
    ASSERT_EQ(send("save A " + quoted(other)), 0u);
    EXPECT_EQ(savedSound(other), edited);
    EXPECT_EQ(fileBytes(file), fileBefore) << "saving under another name leaves the file";
    EXPECT_EQ(ask("info A file"), other.string());

    // Without a name the element saves to the file it was last saved to or opened from.
    ASSERT_EQ(send("delete A from 0 to 100"), 0u);
    ASSERT_EQ(send("save A"), 0u);
    EXPECT_EQ(savedSound(other), slice(edited, 1600, edited.size()));
    EXPECT_EQ(fileBytes(file), fileBefore);
    ASSERT_EQ(send("open " + quoted(file) + " alias B"), 0u);
    ASSERT_EQ(send("delete B from 0 to 500"), 0u);
    ASSERT_EQ(send("save B"), 0u);
    EXPECT_EQ(savedSound(file), slice(original, 8000, 16000));
    EXPECT_EQ(send("open new type waveaudio alias N"), 0u);
    EXPECT_EQ(send("save N"), MCIERR_MISSING_PARAMETER) << "a new element has no file";
}

TEST_F(Files, EveryPcmFormatOpensAndPlaysByteForByte) {
    const AudioFormat formats[] = {{8000, 1, 8},   {11025, 2, 8},  {22050, 1, 16},
                                   {44100, 2, 16}, {48000, 1, 16}, {48000, 2, 8}};
    for (const AudioFormat& f : formats) {
        const std::string name = std::to_string(f.sampleRate) + "-" + std::to_string(f.channels) +
                                 "-" + std::to_string(f.bitsPerSample);
        const Bytes sound = distinctSound(f.bytesPerSecond() / 5);  // 200 ms
        const fs::path file = tmp.path() / (name + ".WAV");         // any case of the ending
        writeWav(file, f, sound);
        ASSERT_EQ(send("open " + quoted(file) + " alias F"), 0u) << name;
        EXPECT_EQ(ask("status F samplespersec"), std::to_string(f.sampleRate)) << name;
        EXPECT_EQ(ask("status F channels"), std::to_string(f.channels)) << name;
        EXPECT_EQ(ask("status F bitspersample"), std::to_string(f.bitsPerSample)) << name;
        EXPECT_EQ(ask("status F length"), "200") << name;
        ASSERT_EQ(send("play F"), 0u);
        backend.advance(200);
        EXPECT_EQ(backend.takePlayed(), sound) << name;
        EXPECT_EQ(send("close F"), 0u);
    }
    EXPECT_EQ(takeCount(), 0u);
}

TEST_F(Files, FilesThatCannotBeOpenedAnswerWindowsCodesAndLeaveNothing) {
    const fs::path good = tmp.path() / "good.wav";
    writeWav(good, {8000, 1, 8}, distinctSound(800));
    const Bytes goodBytes = fileBytes(good);
    const auto make = [&](const char* name, Bytes bytes) {
        std::ofstream(tmp.path() / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return tmp.path() / name;
    };
    Bytes float32 = goodBytes;
    float32[20] = 3;  // format tag: IEEE float
    Bytes bits24 = goodBytes;
    bits24[34] = 24;
    const fs::path notWav = make("notes.txt", {'h', 'i', '\n'});
    struct Case {
        std::string command;
        uint32_t rc;
    };
    const Case cases[] = {
        {"open " + quoted(tmp.path() / "missing.wav") + " alias X", MCIERR_FILE_NOT_FOUND},
        {"open " + quoted(tmp.path() / "nodir" / "x") + " type waveaudio alias X",
         MCIERR_FILE_NOT_FOUND},
        {"open " + quoted(make("header.wav", slice(goodBytes, 0, 30))) + " alias X",
         MCIERR_INVALID_FILE},
        {"open " + quoted(make("float.wav", float32)) + " alias X", MCIERR_INVALID_FILE},
        {"open " + quoted(make("24bit.wav", bits24)) + " alias X", MCIERR_INVALID_FILE},
        {"open " + quoted(make("empty.wav", {})) + " alias X", MCIERR_INVALID_FILE},
        {"open " + quoted(notWav) + " type waveaudio alias X", MCIERR_INVALID_FILE},
        {"open " + quoted(notWav) + " alias X", MCIERR_EXTENSION_NOT_FOUND},
        {"open " + quoted(tmp.path() / "noending") + " alias X", MCIERR_INVALID_DEVICE_NAME},
        {"open " + quoted(good) + " type cdaudio alias X", MCIERR_INVALID_DEVICE_NAME},
        {"open nosuchdevice!" + good.string() + " alias X", MCIERR_FILE_NOT_FOUND},
    };
    for (const Case& c : cases) EXPECT_EQ(send(c.command), c.rc) << c.command;
    EXPECT_EQ(takeCount(), 0u) << "a refused file leaves no take";
    EXPECT_EQ(send("status X mode"), MCIERR_INVALID_DEVICE_NAME);

    // The device!element form; a file without an alias is addressed by its name as given.
    ASSERT_EQ(send("open waveaudio!" + good.string() + " alias W"), 0u);
    EXPECT_EQ(ask("status W length"), "100");
    ASSERT_EQ(send("open " + good.string()), 0u);
    EXPECT_EQ(ask("status " + good.string() + " length"), "100");
    EXPECT_EQ(send("open " + good.string()), MCIERR_DEVICE_OPEN);
    EXPECT_EQ(send("open " + good.string() + " alias W"), MCIERR_DUPLICATE_ALIAS);
    EXPECT_EQ(send("close " + good.string()), 0u);
    EXPECT_EQ(fileBytes(good), goodBytes);
}

// "save NAME" without a name writes the file that was opened, even when the name given to
// open climbs out of a symbolic link ("link/../x.wav" is a/x.wav, not x.wav).
TEST_F(Files, SavingWithoutANameWritesTheFileThatWasOpened) {
    fs::create_directories(tmp.path() / "a" / "b");
    fs::create_directory_symlink(tmp.path() / "a" / "b", tmp.path() / "link");
    const fs::path opened = tmp.path() / "a" / "x.wav";
    writeWav(opened, {8000, 1, 16}, distinctSound(1600));
    ASSERT_EQ(send("open " + quoted(tmp.path() / "link" / ".." / "x.wav") + " alias A"), 0u);
    ASSERT_EQ(send("delete A from 50"), 0u);
    ASSERT_EQ(send("save A"), 0u);
    EXPECT_FALSE(fs::exists(tmp.path() / "x.wav"));
    EXPECT_EQ(savedSound(opened), slice(distinctSound(1600), 0, 800));
}

// A command naming a WAV file that is not open opens it for itself and closes it once it
// stands stopped; it cannot be told to notify, nor change a file nobody holds open.
TEST_F(Files, ACommandNamingAFileOpensItForItselfAndClosesItWhenStopped) {
    const fs::path file = tmp.path() / "tempfile.wav";
    writeWav(file, {8000, 1, 16}, distinctSound(16000));  // 1000 ms
    const Bytes before = fileBytes(file);
    const std::string name = file.string();
    const std::string missing = (tmp.path() / "missing.wav").string();
    struct Case {
        std::string command;
        uint32_t rc;
        std::string reply;
    };
    const Case cases[] = {
        {"play " + missing + " notify", MCIERR_NOTIFY_ON_AUTO_OPEN, ""},
        {"play " + missing, MCIERR_FILE_NOT_FOUND, ""},
        {"play " + name + " notify", MCIERR_NOTIFY_ON_AUTO_OPEN, ""},
        {"sysinfo waveaudio quantity open", 0, "0"},
        {"play " + name, 0, ""},
        {"sysinfo waveaudio name 1 open", 0, name},
        {"status " + name + " mode", 0, "playing"},
        {"status " + name + " mode notify", MCIERR_NOTIFY_ON_AUTO_OPEN, ""},
        {"open " + name, MCIERR_DEVICE_OPEN, ""},
        {"pause " + name, 0, ""},
        {"status " + name + " mode", 0, "paused"},
        {"stop " + name + " wait", 0, ""},
        {"sysinfo waveaudio quantity open", 0, "0"},
        {"status \"" + name + "\" length wait", 0, "1000"},
        {"sysinfo waveaudio quantity open", 0, "0"},
        {"record " + name, MCIERR_ILLEGAL_FOR_AUTO_OPEN, ""},
        {"delete " + name + " from 0", MCIERR_ILLEGAL_FOR_AUTO_OPEN, ""},
        {"pause " + name, MCIERR_NONAPPLICABLE_FUNCTION, ""},
        {"status nosuch mode", MCIERR_INVALID_DEVICE_NAME, ""},
    };
    for (const Case& c : cases) {
        std::string reply;
        EXPECT_EQ(engine->mciSendString(c.command, &reply), c.rc) << c.command;
        EXPECT_EQ(reply, c.reply) << c.command;
    }
    ASSERT_EQ(send("play " + name), 0u);
    backend.advance(1100);
    EXPECT_EQ(ask("sysinfo waveaudio quantity open"), "0") << "closed once played to the end";
    EXPECT_EQ(fileBytes(file), before);
    EXPECT_EQ(takeCount(), 0u) << "an element opened to be read leaves no take";
}

TEST_F(Files, AnEditedFileOutlivesAKillAndAnUntouchedOneLeavesNothing) {
    const AudioFormat f{11025, 2, 16};
    const Bytes original = distinctSound(f.bytesPerSecond());  // 1 s
    const fs::path file = tmp.path() / "song.wav";
    writeWav(file, f, original);
    const Bytes fileBefore = fileBytes(file);
    ASSERT_EQ(send("open " + quoted(file) + " alias Untouched"), 0u);
    ASSERT_EQ(send("open " + quoted(file) + " alias Edited"), 0u);
    ASSERT_EQ(send("set Edited time format bytes"), 0u);
    ASSERT_EQ(send("delete Edited from 4000 to 40000"), 0u);
    EXPECT_EQ(takeCount(), 2u);
    engine.reset();  // ends without close, as on SIGTERM; a SIGKILL leaves the same journal

    ASSERT_EQ(takeCount(), 1u);
    const auto left = TakeStore(takeFolder()).orphans();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_FALSE(left[0].savedUnchanged);
    EXPECT_EQ(left[0].lengthBytes, original.size() - 36000);
    EXPECT_EQ(fileBytes(file), fileBefore);

    start();
    ASSERT_EQ(send("open " + quoted(left[0].folder) + " type waveaudio alias R"), 0u);
    const fs::path back = tmp.path() / "back.wav";
    ASSERT_EQ(send("save R " + quoted(back)), 0u);
    EXPECT_EQ(savedSound(back),
              cat({slice(original, 0, 4000), slice(original, 40000, original.size())}));
}

TEST_F(Files, DerivedFormatItemsMustAgreeWithTheFormatTheCommandLeaves) {
    ASSERT_EQ(send("open new type waveaudio alias A"), 0u);
    struct Case {
        const char* command;
        uint32_t rc;
    };
    const Case cases[] = {
        {"set A format tag pcm", 0},
        {"set A format tag 1", 0},
        {"set A format tag 2", MCIERR_OUTOFRANGE},
        {"set A format tag 85", MCIERR_OUTOFRANGE},
        {"set A format tag mp3", MCIERR_BAD_INTEGER},
        {"set A format tag", MCIERR_MISSING_PARAMETER},
        {"set A format pcm", MCIERR_UNRECOGNIZED_KEYWORD},
        {"set A format tag pcm format tag pcm", MCIERR_DUPLICATE_FLAGS},
        {"set A alignment 1 bytespersec 11025", 0},  // the fresh 11025 Hz 8-bit mono
        {"set A alignment 2", MCIERR_OUTOFRANGE},
        {"set A bytespersec 22050", MCIERR_OUTOFRANGE},
        {"set A bytespersec", MCIERR_MISSING_PARAMETER},
        {"set A alignment x", MCIERR_BAD_INTEGER},
        {"set A alignment 1 alignment 1", MCIERR_DUPLICATE_FLAGS},
        // Checked against the whole command, in any order.
        {"set A bytespersec 22050 alignment 2 samplespersec 11025 channels 1 bitspersample 16", 0},
        {"set A alignment 4 channels 2 bytespersec 44099", MCIERR_OUTOFRANGE},
        {"set A channels 2 alignment 2", MCIERR_OUTOFRANGE},
        {"set A alignment 4 bytespersec 44100 channels 2", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(send(c.command), c.rc) << c.command;
    // Only the commands that succeeded changed the format.
    EXPECT_EQ(ask("status A samplespersec") + " " + ask("status A channels") + " " +
                  ask("status A bitspersample") + " " + ask("status A alignment") + " " +
                  ask("status A bytespersec"),
              "11025 2 16 4 44100");
    // Once the element holds sound they are format items like the others.
    ASSERT_EQ(send("record A"), 0u);
    backend.advance(10);
    ASSERT_EQ(send("stop A"), 0u);
    EXPECT_EQ(send("set A alignment 4"), MCIERR_NONAPPLICABLE_FUNCTION);
    EXPECT_EQ(send("set A format tag pcm"), MCIERR_NONAPPLICABLE_FUNCTION);
}
