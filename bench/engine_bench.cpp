// The sound engine on the virtual clock, at the sizes a real user reaches: a nine-hour
// take (memory must stay flat, the engine must run far faster than real time), cutting it
// before and after a position, compacting a take of that length with half its sound cut,
// and saving an hour's take beside a plain copy of the same bytes.
//   engine_bench [HOURS]      (default 9)
#include "audio/VirtualAudioBackend.h"
#include "engine/interpreter/MciEngine.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
double secondsSince(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

long rssKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::string(field).size());
    return -1;
}

struct Bench {
    wsx::audio::VirtualAudioBackend backend;
    wsx::mci::MciEngine engine;
    explicit Bench(const std::filesystem::path& spool)
        : engine(backend, wsx::mci::EngineOptions{spool}) {
        // A cheap signal: the bench measures the engine, not a sine generator.
        backend.setSignal(
            [](int16_t* out, uint64_t first, size_t frames, const wsx::audio::AudioFormat& f) {
                for (size_t i = 0; i < frames * f.channels; ++i)
                    out[i] = int16_t((first + i) & 0x3FFF);
            });
    }
    void must(const std::string& command) {
        if (const uint32_t rc = engine.mciSendString(command, nullptr)) {
            std::fprintf(stderr, "engine_bench: '%s' failed with %u\n", command.c_str(), rc);
            std::exit(1);
        }
    }
    std::string ask(const std::string& command) {
        std::string reply;
        engine.mciSendString(command, &reply);
        return reply;
    }
    // Records `seconds` of sound into `alias`; returns the wall-clock seconds it took and
    // the largest resident set seen meanwhile.
    std::pair<double, long> take(const std::string& alias, long seconds) {
        must("open new type waveaudio alias " + alias);
        must("set " + alias + " time format ms bitspersample 16 samplespersec 22050 channels 2");
        const auto start = Clock::now();
        must("record " + alias + " overwrite");
        long peak = 0;
        for (long done = 0; done < seconds; done += 60) {
            backend.advance(60 * 1000);
            ask("status " + alias + " position");
            peak = std::max(peak, rssKiB("VmRSS:"));
        }
        must("pause " + alias);
        return {secondsSince(start), peak};
    }
};

// Bytes of every take's sound files under `folder`.
uintmax_t spoolBytes(const std::filesystem::path& folder) {
    uintmax_t total = 0;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        if (it->path().filename().string().rfind("sound", 0) == 0) {
            const uintmax_t bytes = std::filesystem::file_size(it->path(), ec);
            if (!ec) total += bytes;  // a file removed meanwhile counts nothing
        }
    return total;
}

double timeIt(const std::function<void()>& f) {
    const auto start = Clock::now();
    f();
    return secondsSince(start);
}

}  // namespace

int main(int argc, char** argv) {
    const double hours = argc > 1 ? std::atof(argv[1]) : 9.0;
    std::string dirTemplate =
        (std::filesystem::temp_directory_path() / "wsx-bench-XXXXXX").string();
    const std::filesystem::path dir = ::mkdtemp(dirTemplate.data());
    {
        Bench bench(dir / "spool");
        const long takeSeconds = long(hours * 3600);
        const long startRss = rssKiB("VmRSS:");
        const auto [wall, peak] = bench.take("A", takeSeconds);
        long peakDuring = peak;
        std::printf("take of %.1f h at 22050 Hz stereo: %.1f s wall = %.0fx real time\n", hours,
                    wall, double(takeSeconds) / wall);
        std::printf(
            "resident memory: %.1f MB at the start, %.1f MB at most during the take (VmHWM %.1f MB)\n",
            startRss / 1024.0, peak / 1024.0, rssKiB("VmHWM:") / 1024.0);
        std::printf("status length: %s ms\n", bench.ask("status A length").c_str());

        const long middle = takeSeconds * 1000 / 2;
        bench.must("seek A to " + std::to_string(middle));
        const double before =
            timeIt([&] { bench.must("delete A from 0 to " + std::to_string(middle)); });
        bench.must("seek A to " + std::to_string(middle / 2));
        const double after =
            timeIt([&] { bench.must("delete A from " + std::to_string(middle / 2)); });
        std::printf("delete before the middle: %.3f ms; delete after a quarter: %.3f ms\n",
                    before * 1e3, after * 1e3);
        bench.must("close A");

        // Every other ten minutes cut (and a second more, so more than half is garbage):
        // the take compacts in the background; the window's timer polls meanwhile.
        peakDuring = std::max(peakDuring, bench.take("C", takeSeconds).second);
        const long blocks = takeSeconds / 1200;
        const std::string deletes = std::to_string(blocks);
        for (long block = blocks - 1; block >= 0; --block)
            bench.must("delete C from " + std::to_string(block * 1200 * 1000) + " to " +
                       std::to_string((block * 1200 + 601) * 1000));
        const auto soundBefore = spoolBytes(dir / "spool");
        const auto compactStart = Clock::now();
        double slowest = 0;
        while (spoolBytes(dir / "spool") >= soundBefore) {
            const double poll = timeIt([&] { bench.ask("status C position"); });
            slowest = std::max(slowest, poll);
            peakDuring = std::max(peakDuring, rssKiB("VmRSS:"));
            ::usleep(100 * 1000);
        }
        std::printf(
            "compaction of the %.1f h take with %s cuts (%.0f MB to %.0f MB): %.1f s; "
            "slowest poll meanwhile %.1f ms; resident memory at most %.1f MB\n",
            hours, deletes.c_str(), soundBefore / 1e6, spoolBytes(dir / "spool") / 1e6,
            secondsSince(compactStart), slowest * 1e3, peakDuring / 1024.0);
        bench.must("close C");

        bench.take("B", 3600);
        const auto saved = dir / "hour.wav";
        const double save = timeIt([&] { bench.must("save B \"" + saved.string() + "\""); });
        const auto copy = dir / "copy.wav";
        // The save flushes its file to disk before renaming it: the copy is flushed too.
        const double cp = timeIt([&] {
            const std::string command = "cp '" + saved.string() + "' '" + copy.string() +
                                        "' && sync '" + copy.string() + "'";
            if (std::system(command.c_str()) != 0) std::exit(1);
        });
        std::printf(
            "save of a 1 h take (%.0f MB): %.2f s; cp + sync of the same file: %.2f s; ratio %.2f\n",
            std::filesystem::file_size(saved) / 1e6, save, cp, save / cp);
    }
    std::filesystem::remove_all(dir);
    return 0;
}
