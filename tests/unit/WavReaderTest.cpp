// The WAV reader behind "open <file>.wav": what real files hold is found, what the element
// cannot play is refused, and no size in a file makes it read more than a header's worth.
#include "engine/files/WavReader.h"
#include "support/TempDir.h"
#include "support/WavBuilder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <vector>

using wsx::audio::AudioFormat;
using wsx::mci::parseWav;
using wsx::mci::WavLayout;
using namespace wsx::test;

namespace {

// WAVE_FORMAT_EXTENSIBLE around `subFormatTag` (1 = PCM, 3 = float).
Bytes extensibleBody(uint16_t channels, uint32_t rate, uint16_t bits, uint16_t validBits,
                     uint16_t subFormatTag) {
    Bytes b = fmtBody(0xFFFE, channels, rate, bits);
    putLe(b, 22, 2);
    putLe(b, validBits, 2);
    putLe(b, channels == 2 ? 3 : 4, 4);
    putLe(b, subFormatTag, 2);
    const uint8_t rest[] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                            0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    b.insert(b.end(), std::begin(rest), std::end(rest));
    return b;
}

Bytes sound(size_t bytes) {
    Bytes b(bytes);
    for (size_t i = 0; i < bytes; ++i) b[i] = uint8_t(i * 7 + 1);
    return b;
}

// parseWav over `file`, noting the largest single read it asked for.
std::optional<WavLayout> parse(const Bytes& file, size_t* largestRead = nullptr) {
    size_t largest = 0;
    auto layout = parseWav(
        [&](uint64_t offset, void* out, size_t bytes) {
            largest = std::max(largest, bytes);
            if (offset > file.size() || bytes > file.size() - offset) return false;
            std::memcpy(out, file.data() + offset, bytes);
            return true;
        },
        file.size());
    if (largestRead) *largestRead = largest;
    return layout;
}

}  // namespace

TEST(WavReader, FindsTheSoundOfWhatRealFilesHold) {
    const Bytes pcm16 = fmtBody(1, 2, 44100, 16);
    const Bytes list = chunk("LIST", Bytes{'I', 'N', 'F', 'O', 'I', 'S', 'F', 'T', 3, 0, 0, 0, 'a',
                                           'b', 0});  // odd: padded
    const Bytes fact = chunk("fact", {0x10, 0, 0, 0});
    struct Case {
        const char* what;
        Bytes file;
        WavLayout expected;
    };
    const Case cases[] = {
        {"canonical",
         riff({chunk("fmt ", pcm16), chunk("data", sound(400))}),
         {{44100, 2, 16}, 44, 400}},
        {"LIST before fmt, fact between, LIST after the sound",
         riff({list, chunk("fmt ", pcm16), fact, chunk("data", sound(400)), list}),
         {{44100, 2, 16}, 44 + list.size() + fact.size(), 400}},
        {"an 18-byte fmt (cbSize 0)",
         riff({chunk("fmt ",
                     [&] {
                         Bytes b = fmtBody(1, 1, 8000, 8);
                         putLe(b, 0, 2);
                         return b;
                     }()),
               chunk("data", sound(101))}),
         {{8000, 1, 8}, 46, 101}},
        {"extensible PCM, 12 valid bits in 16",
         riff({chunk("fmt ", extensibleBody(2, 48000, 16, 12, 1)), chunk("data", sound(64))}),
         {{48000, 2, 16}, 68, 64}},
        {"RIFF size wrong",
         riff({chunk("fmt ", pcm16), chunk("data", sound(400))}, 12),
         {{44100, 2, 16}, 44, 400}},
        {"data size past the end: what is there, whole frames",
         riff({chunk("fmt ", pcm16), chunk("data", sound(402), 0xFFFFFFF0u)}),
         {{44100, 2, 16}, 44, 400}},
        {"data not whole frames",
         riff({chunk("fmt ", fmtBody(1, 2, 22050, 16)), chunk("data", sound(10))}),
         {{22050, 2, 16}, 44, 8}},
        {"empty sound",
         riff({chunk("fmt ", fmtBody(1, 1, 11025, 8)), chunk("data", {})}),
         {{11025, 1, 8}, 44, 0}},
        {"data before fmt",
         riff({chunk("data", sound(6)), chunk("fmt ", fmtBody(1, 1, 8000, 16))}),
         {{8000, 1, 16}, 20, 6}},
    };
    for (const Case& c : cases) {
        size_t largestRead = 0;
        const auto layout = parse(c.file, &largestRead);
        ASSERT_TRUE(layout.has_value()) << c.what;
        EXPECT_EQ(*layout, c.expected) << c.what;
        EXPECT_LE(largestRead, 40u) << c.what;
    }
}

TEST(WavReader, RefusesWhatTheElementCannotPlayWithoutReadingBeyondTheHeaders) {
    const Bytes data = chunk("data", sound(64));
    const auto withFmt = [&](const Bytes& fmt) { return riff({chunk("fmt ", fmt), data}); };
    Bytes rifx = withFmt(fmtBody(1, 1, 8000, 16));
    rifx[3] = 'X';
    Bytes notWave = withFmt(fmtBody(1, 1, 8000, 16));
    notWave[8] = 'A';
    const Bytes good = withFmt(fmtBody(1, 1, 8000, 16));
    struct Case {
        const char* what;
        Bytes file;
    };
    const Case cases[] = {
        {"empty", {}},
        {"RIFF alone", Bytes(good.begin(), good.begin() + 12)},
        {"cut inside fmt", Bytes(good.begin(), good.begin() + 30)},
        {"big-endian RIFX", rifx},
        {"not WAVE", notWave},
        {"no fmt", riff({data})},
        {"no data", riff({chunk("fmt ", fmtBody(1, 1, 8000, 16))})},
        {"IEEE float", withFmt(fmtBody(3, 1, 8000, 32))},
        {"IMA ADPCM", withFmt(fmtBody(0x11, 1, 8000, 4, 256))},
        {"24-bit", withFmt(fmtBody(1, 1, 8000, 24))},
        {"32-bit", withFmt(fmtBody(1, 1, 8000, 32))},
        {"4-bit PCM", withFmt(fmtBody(1, 1, 8000, 4, 1))},
        {"no channels", withFmt(fmtBody(1, 0, 8000, 16, 2))},
        {"3 channels", withFmt(fmtBody(1, 3, 8000, 16))},
        {"96 kHz", withFmt(fmtBody(1, 2, 96000, 16))},
        {"4 kHz", withFmt(fmtBody(1, 1, 4000, 16))},
        {"block align disagrees", withFmt(fmtBody(1, 2, 8000, 16, 2))},
        {"fmt too short", withFmt([] {
             Bytes b = fmtBody(1, 1, 8000, 16);
             b.resize(14);
             return b;
         }())},
        {"fmt claims more than the file",
         riff({chunk("fmt ", fmtBody(1, 1, 8000, 16), 0x7FFFFFF0u), data})},
        {"a chunk before fmt claims 4 GiB",
         riff({chunk("LIST", {1, 2, 3, 4}, 0xFFFFFFFEu), chunk("fmt ", fmtBody(1, 1, 8000, 16)),
               data})},
        {"extensible float", withFmt(extensibleBody(2, 48000, 32, 32, 3))},
        {"extensible, more valid bits than the container",
         withFmt(extensibleBody(1, 8000, 16, 20, 1))},
        {"extensible cut to 18 bytes", withFmt([] {
             Bytes b = fmtBody(0xFFFE, 1, 8000, 16);
             putLe(b, 0, 2);
             return b;
         }())},
        {"ten thousand empty chunks before the sound", [&] {
             std::vector<Bytes> chunks(10000, chunk("junk", {}));
             chunks.push_back(chunk("fmt ", fmtBody(1, 1, 8000, 16)));
             chunks.push_back(data);
             return riff(chunks);
         }()},
    };
    for (const Case& c : cases) {
        size_t largestRead = 0;
        EXPECT_FALSE(parse(c.file, &largestRead).has_value()) << c.what;
        EXPECT_LE(largestRead, 40u) << c.what;
    }
}

TEST(WavReader, FileReaderTellsMissingFromUnreadableAndReadsOnlyTheSound) {
    wsx::test::TempDir tmp;
    const auto write = [&](const char* name, const Bytes& bytes) {
        std::ofstream(tmp.path() / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return tmp.path() / name;
    };
    const Bytes body = sound(9);
    const auto good = write("good.wav", riff({chunk("fmt ", fmtBody(1, 1, 8000, 8)),
                                              chunk("data", body), chunk("LIST", {1, 2})}));
    const auto bad = write("bad.wav", riff({chunk("fmt ", fmtBody(3, 1, 8000, 32))}));
    ASSERT_EQ(::mkfifo((tmp.path() / "fifo.wav").c_str(), 0600), 0);
    using wsx::mci::WavOpenError;
    wsx::mci::WavFileReader reader;
    EXPECT_EQ(reader.open(tmp.path() / "missing.wav"), WavOpenError::NotFound);
    EXPECT_EQ(reader.open(tmp.path() / "nodir" / "x.wav"), WavOpenError::NotFound);
    EXPECT_EQ(reader.open(good / "x.wav"), WavOpenError::NotFound);          // a file on the way
    EXPECT_EQ(reader.open(tmp.path()), WavOpenError::Invalid);               // a folder
    EXPECT_EQ(reader.open(tmp.path() / "fifo.wav"), WavOpenError::Invalid);  // never blocks
    EXPECT_EQ(reader.open(bad), WavOpenError::Invalid);
    ASSERT_EQ(reader.open(good), WavOpenError::None);
    EXPECT_EQ(reader.layout(), (WavLayout{{8000, 1, 8}, 44, 9}));
    Bytes got(9);
    ASSERT_TRUE(reader.readSound(0, got.data(), got.size()));
    EXPECT_EQ(got, body);
    ASSERT_TRUE(reader.readSound(8, got.data(), 1));
    EXPECT_EQ(got[0], body[8]);
    EXPECT_FALSE(reader.readSound(8, got.data(), 2)) << "past the sound, into the next chunk";
    EXPECT_FALSE(reader.readSound(UINT64_MAX, got.data(), 1));
}
