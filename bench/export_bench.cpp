// Saving an hour's take (22050 Hz stereo, a tone with noise, as a microphone gives) in each
// format the window offers, each timed until the file is complete. Leaves take.wav in
// OUT_FOLDER so save-formats.sh can time other encoders on the same sound.
//   export_bench OUT_FOLDER [MINUTES]      (default 60)
#include "audio/VirtualAudioBackend.h"
#include "engine/interpreter/MciEngine.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

uint32_t must(wsx::mci::MciEngine& engine, const std::string& command) {
    const uint32_t rc = engine.mciSendString(command, nullptr);
    if (rc != 0) {
        std::fprintf(stderr, "export_bench: '%s' failed with %u\n", command.c_str(), rc);
        std::exit(1);
    }
    return rc;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: export_bench OUT_FOLDER [MINUTES]\n");
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each figure as soon as it is measured
    const std::filesystem::path out = argv[1];
    const long minutes = argc > 2 ? std::atol(argv[2]) : 60;
    std::filesystem::create_directories(out / "spool");
    wsx::audio::VirtualAudioBackend backend;
    wsx::mci::MciEngine engine(backend, wsx::mci::EngineOptions{out / "spool"});
    uint32_t noise = 1;
    backend.setSignal([&](int16_t* samples, uint64_t first, size_t frames,
                          const wsx::audio::AudioFormat& f) {
        for (size_t i = 0; i < frames; ++i) {
            const double t = double(first + i) / f.sampleRate;
            noise = noise * 1664525u + 1013904223u;
            const int v =
                int(6000 * std::sin(2 * M_PI * 440 * t) + 2000 * std::sin(2 * M_PI * 1234 * t)) +
                int(noise >> 22) - 512;
            for (size_t c = 0; c < f.channels; ++c) samples[i * f.channels + c] = int16_t(v);
        }
    });
    must(engine, "open new type waveaudio alias A");
    must(engine, "set A time format ms bitspersample 16 samplespersec 22050 channels 2");
    must(engine, "record A");
    for (long m = 0; m < minutes; ++m) backend.advance(60'000);
    must(engine, "stop A");
    for (const char* ext : {"wav", "flac", "opus", "mp3"}) {
        const std::filesystem::path file = out / (std::string("take.") + ext);
        const auto start = Clock::now();
        must(engine, "save A \"" + file.string() + "\"");
        std::string saving = "true";
        while (saving == "true") {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            engine.mciSendString("status A saving", &saving);
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        std::printf("  万声匣 %-5s %7.2f s  %8.1f MB\n", ext, seconds,
                    double(std::filesystem::file_size(file)) / 1e6);
    }
    must(engine, "close A");
    return 0;
}
