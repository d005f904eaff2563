#include "SoundExport.h"

#include "text/AsciiCase.h"

#include <samplerate.h>
#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <span>

namespace wsx::mci {

namespace {

constexpr SoundFileType kTypes[] = {SoundFileType::Wav, SoundFileType::Flac, SoundFileType::Opus,
                                    SoundFileType::Mp3};
constexpr std::string_view kExtensions[] = {".wav", ".flac", ".opus", ".mp3"};

// Frames read, converted and encoded per step: a fraction of a second of work, so a cancel
// is seen soon and progress moves smoothly.
constexpr size_t kChunkFrames = 32 * 1024;

struct SndFileCloser {
    void operator()(SNDFILE* f) const { sf_close(f); }
};
using SndFilePtr = std::unique_ptr<SNDFILE, SndFileCloser>;
struct ResamplerDeleter {
    void operator()(SRC_STATE* s) const { src_delete(s); }
};
using ResamplerPtr = std::unique_ptr<SRC_STATE, ResamplerDeleter>;

int failedErrno() { return errno != 0 ? errno : EIO; }

// The sound of the pieces, in order, as 16-bit samples whatever the take's sample size
// (8-bit unsigned becomes its value shifted into the high byte, which FLAC's 8-bit
// subformat and the codecs take back exactly).
class PieceReader {
public:
    PieceReader(const audio::AudioFormat& format, const SpoolFile* spool,
                const std::vector<Piece>& pieces)
        : m_format(format), m_spool(spool), m_pieces(pieces) {}

    // Up to `frames` frames into `out`; the frames given, 0 at the end, -1 on a read error.
    long read(int16_t* out, size_t frames) {
        const size_t align = m_format.blockAlign();
        m_bytes.resize(frames * align);
        size_t got = 0;
        while (got < m_bytes.size() && m_index < m_pieces.size()) {
            const Piece& p = m_pieces[m_index];
            const size_t n = size_t(std::min<uint64_t>(m_bytes.size() - got, p.length - m_done));
            if (n > 0 && (!m_spool || !m_spool->readAt(p.offset + m_done, &m_bytes[got], n)))
                return -1;
            got += n;
            m_done += n;
            if (m_done == p.length) ++m_index, m_done = 0;
        }
        const size_t samples = got / (m_format.bitsPerSample / 8);
        if (m_format.bitsPerSample == 8) {
            for (size_t i = 0; i < samples; ++i) out[i] = int16_t((int(m_bytes[i]) - 128) * 256);
        } else {
            for (size_t i = 0; i < samples; ++i)
                out[i] = int16_t(uint16_t(m_bytes[2 * i] | m_bytes[2 * i + 1] << 8));
        }
        return long(got / align);
    }

private:
    const audio::AudioFormat& m_format;
    const SpoolFile* m_spool;
    const std::vector<Piece>& m_pieces;
    size_t m_index = 0;
    uint64_t m_done = 0;  // bytes of m_pieces[m_index] already read
    std::vector<uint8_t> m_bytes;
};

// Opens libsndfile on `fd` for `type` with this program's quality settings.
SndFilePtr openEncoder(int fd, SoundFileType type, const audio::AudioFormat& format) {
    SF_INFO info{};
    info.channels = format.channels;
    info.samplerate = int(codedRateFor(type, format.sampleRate));
    double level = 0;
    switch (type) {
    case SoundFileType::Flac:
        info.format =
            SF_FORMAT_FLAC | (format.bitsPerSample == 8 ? SF_FORMAT_PCM_S8 : SF_FORMAT_PCM_16);
        level = kFlacLevel;
        break;
    case SoundFileType::Opus:
        info.format = SF_FORMAT_OGG | SF_FORMAT_OPUS;
        // libsndfile spreads the level linearly from 256 kbit/s per channel (0) down to
        // 6 kbit/s (1).
        level = 1.0 - (kOpusBitsPerChannel - 6000) / 250000.0;
        break;
    case SoundFileType::Mp3:
        info.format = SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
        level = kMp3VbrQuality;
        break;
    case SoundFileType::Wav: return nullptr;
    }
    SndFilePtr file(sf_open_fd(fd, SFM_WRITE, &info, SF_FALSE));
    if (!file) return nullptr;
    if (type != SoundFileType::Flac) {
        int mode = SF_BITRATE_MODE_VARIABLE;
        sf_command(file.get(), SFC_SET_BITRATE_MODE, &mode, sizeof mode);
    }
    sf_command(file.get(), SFC_SET_COMPRESSION_LEVEL, &level, sizeof level);
    return file;
}

// Feeds 16-bit frames to the encoder: FLAC takes them as they are (exactly); the lossy
// codecs take floats (libsndfile 1.2.0 garbles stereo MP3 written as shorts), through a
// resampler when the codec needs another rate. libsamplerate's fastest sinc converter
// keeps 80 % of the band at 97 dB, more than Opus keeps at this bit rate, and halves the
// time its medium one takes.
class EncoderInput {
public:
    EncoderInput(SNDFILE* file, SoundFileType type, const audio::AudioFormat& format,
                 uint32_t codedRate)
        : m_file(file), m_channels(format.channels), m_asShorts(type == SoundFileType::Flac) {
        if (codedRate == format.sampleRate) return;
        int err = 0;
        m_resampler.reset(src_new(SRC_SINC_FASTEST, int(m_channels), &err));
        m_ratio = double(codedRate) / format.sampleRate;
    }
    bool usable() const { return m_ratio == 0 || m_resampler; }

    // 0 or the errno that stopped it. `last` flushes what the resampler still holds.
    int write(const int16_t* samples, size_t frames, bool last) {
        errno = 0;
        if (m_asShorts) {
            const auto n = sf_count_t(frames);
            return sf_writef_short(m_file, samples, n) == n ? 0 : failedErrno();
        }
        m_in.resize(frames * m_channels);
        src_short_to_float_array(samples, m_in.data(), int(m_in.size()));
        if (m_ratio == 0) return writeFloats(m_in.data(), frames);
        m_out.resize((size_t(double(frames) * m_ratio) + 64) * m_channels);
        SRC_DATA data{};
        data.data_in = m_in.data();
        data.input_frames = long(frames);
        data.src_ratio = m_ratio;
        data.end_of_input = last ? 1 : 0;
        for (;;) {
            data.data_out = m_out.data();
            data.output_frames = long(m_out.size() / m_channels);
            if (src_process(m_resampler.get(), &data) != 0) return EINVAL;
            if (int err = writeFloats(m_out.data(), size_t(data.output_frames_gen))) return err;
            data.data_in += data.input_frames_used * long(m_channels);
            data.input_frames -= data.input_frames_used;
            // Done when the input is used up (and, at the end, nothing more comes out).
            if (data.input_frames == 0 && (!last || data.output_frames_gen == 0)) return 0;
        }
    }

private:
    int writeFloats(const float* samples, size_t frames) {
        const auto n = sf_count_t(frames);
        return n == 0 || sf_writef_float(m_file, samples, n) == n ? 0 : failedErrno();
    }

    SNDFILE* m_file;
    size_t m_channels;
    bool m_asShorts;
    double m_ratio = 0;  // coded rate over the take's; 0 when they are the same
    ResamplerPtr m_resampler;
    std::vector<float> m_in, m_out;
};

}  // namespace

std::optional<SoundFileType> typeFromExtension(std::string_view fileName) {
    const std::string ext =
        text::toLowerAscii(std::filesystem::path(fileName).extension().string());
    for (size_t i = 0; i < std::size(kTypes); ++i)
        if (ext == kExtensions[i]) return kTypes[i];
    return std::nullopt;
}

std::string_view extensionOf(SoundFileType type) { return kExtensions[int(type)]; }

SaveTarget chooseSaveTarget(std::string fileName, SoundFileType selected) {
    if (const std::optional<SoundFileType> typed = typeFromExtension(fileName))
        return {std::move(fileName), *typed};
    const std::filesystem::path path(fileName);
    if (path.has_filename() && path.extension().empty()) fileName += extensionOf(selected);
    return {std::move(fileName), selected};
}

uint32_t codedRateFor(SoundFileType type, uint32_t rate) {
    static constexpr uint32_t kOpusRates[] = {8000, 12000, 16000, 24000, 48000};
    // MPEG 2.5, 2 and 1.
    static constexpr uint32_t kMp3Rates[] = {8000,  11025, 12000, 16000, 22050,
                                             24000, 32000, 44100, 48000};
    std::span<const uint32_t> rates;
    if (type == SoundFileType::Opus) rates = kOpusRates;
    if (type == SoundFileType::Mp3) rates = kMp3Rates;
    if (rates.empty()) return rate;
    for (uint32_t supported : rates)
        if (rate <= supported) return supported;
    return rates.back();
}

files::WriteResult exportSound(const std::filesystem::path& target, SoundFileType type,
                               const audio::AudioFormat& format, const SpoolFile* spool,
                               const std::vector<Piece>& pieces,
                               const std::function<void(uint64_t doneBytes)>& progress,
                               const std::atomic<bool>& cancel) {
    return files::writeAtomically(target, files::userFileMode(), [&](int fd) {
        SndFilePtr file = openEncoder(fd, type, format);
        if (!file) return EINVAL;
        EncoderInput input(file.get(), type, format, codedRateFor(type, format.sampleRate));
        if (!input.usable()) return EINVAL;
        PieceReader reader(format, spool, pieces);
        std::vector<int16_t> samples(kChunkFrames * format.channels);
        uint64_t done = 0;
        for (;;) {
            if (cancel.load(std::memory_order_relaxed)) return ECANCELED;
            const long frames = reader.read(samples.data(), kChunkFrames);
            if (frames < 0) return EIO;
            if (int err = input.write(samples.data(), size_t(frames), frames == 0)) return err;
            if (frames == 0) break;
            done += uint64_t(frames) * format.blockAlign();
            if (progress) progress(done);
        }
        errno = 0;
        // Closing writes the codec's last pages; only then is the file complete.
        if (sf_close(file.release()) != 0) return failedErrno();
        return 0;
    });
}

}  // namespace wsx::mci
