// mcishell: drives the MCI engine from the command line, one command string per line.
//
//   mcishell [--virtual] [FILE]
//
// Reads FILE (or standard input) line by line. Each line is sent to the engine and answered
// with "<result code> <reply>" (reply in double quotes when present). A line "wait MS"
// sleeps MS milliseconds (with --virtual it moves the virtual clock instead, so a nine-hour
// take runs in seconds); blank lines and lines starting with '#' are skipped. The exit code
// is 0 when every command succeeded, 1 otherwise, 2 for bad usage.
//
// Why a command failed goes to standard error beside its code, one line per cause:
//   mcishell: 328: cannot record: no sound server at unix:/run/pulse/native: Connection refused
// Warnings from the engine's other threads (a stream that broke, a spool that cannot grow)
// are printed as they come; debug lines only with WSX_DEBUG=1. Standard output keeps its
// format.
#include "audio/PulseAudioBackend.h"
#include "audio/VirtualAudioBackend.h"
#include "engine/MciEngine.h"
#include "platform/log/Log.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

// Warnings logged on the main thread while it runs a command (or a wait): the causes of that
// command's result. Main thread only.
std::vector<std::string> g_warnings;
const std::thread::id g_mainThread = std::this_thread::get_id();

void logToStderr(wsx::log::Level level, const char*, const std::string& message) {
    if (level == wsx::log::Level::Debug) {
        if (wsx::log::debugRequested())
            std::fprintf(stderr, "mcishell: debug: %s\n", message.c_str());
    } else if (std::this_thread::get_id() == g_mainThread) {
        g_warnings.push_back(message);
    } else {
        std::fprintf(stderr, "mcishell: %s\n", message.c_str());
    }
}

// Prints the warnings gathered on the main thread, beside `rc` when a command failed.
void printWarnings(uint32_t rc) {
    for (const std::string& message : g_warnings) {
        if (rc != 0) std::fprintf(stderr, "mcishell: %u: %s\n", unsigned(rc), message.c_str());
        else std::fprintf(stderr, "mcishell: %s\n", message.c_str());
    }
    g_warnings.clear();
}

bool parseWait(const std::string& line, uint64_t& ms) {
    if (line.rfind("wait ", 0) != 0) return false;
    try {
        ms = std::stoull(line.substr(5));
    } catch (...) {
        return false;
    }
    return true;
}

int run(std::istream& in, bool virtualClock) {
    std::unique_ptr<wsx::audio::AudioBackend> backend;
    wsx::audio::VirtualAudioBackend* clock = nullptr;
    if (virtualClock) {
        auto v = std::make_unique<wsx::audio::VirtualAudioBackend>();
        clock = v.get();
        backend = std::move(v);
    } else {
        backend = std::make_unique<wsx::audio::PulseAudioBackend>();
    }
    int exitCode = 0;
    {
        wsx::mci::MciEngine engine(*backend);
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.empty() || line[0] == '#') continue;
            uint64_t ms = 0;
            if (parseWait(line, ms)) {
                if (clock) clock->advance(ms);
                else std::this_thread::sleep_for(std::chrono::milliseconds(ms));
                printWarnings(0);
                continue;
            }
            std::string reply;
            const uint32_t rc = engine.mciSendString(line, &reply);
            std::cout << rc;
            if (!reply.empty()) std::cout << " \"" << reply << '"';
            std::cout << std::endl;
            printWarnings(rc);
            if (rc != 0) exitCode = 1;
        }
    }
    printWarnings(0);  // from closing what the script left open
    return exitCode;
}

}  // namespace

int main(int argc, char** argv) {
    wsx::log::setSink(&logToStderr);
    bool virtualClock = false;
    std::string file;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--virtual") virtualClock = true;
        else if (arg == "-h" || arg == "--help") {
            std::cout << "usage: mcishell [--virtual] [FILE]\n";
            return 0;
        } else if (file.empty() && arg[0] != '-') file = arg;
        else {
            std::cerr << "mcishell: unknown argument " << arg << "\n";
            return 2;
        }
    }
    if (file.empty()) return run(std::cin, virtualClock);
    std::ifstream in(file);
    if (!in) {
        std::cerr << "mcishell: cannot read " << file << "\n";
        return 2;
    }
    return run(in, virtualClock);
}
