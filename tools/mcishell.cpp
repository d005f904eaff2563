// mcishell: drives the MCI engine from the command line, one command string per line.
//
//   mcishell [--virtual [--numbered]] [--compact-after BYTES] [--compact-percent P]
//            [--compact-pause MS] [FILE]
//
// Reads FILE (or standard input) line by line. Each line is sent to the engine and answered
// with "<result code> <reply>" (reply in double quotes when present). A line "wait MS"
// sleeps MS milliseconds (with --virtual it moves the virtual clock instead, so a nine-hour
// take runs in seconds); MS is digits only, anything else is refused on standard error and
// the script goes on. --numbered makes the virtual input number its frames (numberedSignal).
// The --compact options set when a take is compacted (more than P percent and more than BYTES
// of its sound file garbage; defaults 50 and 64 MiB) and a pause between chunks of the copy,
// so tests can make compactions frequent and slow. A line "inputs" lists the sound server's
// inputs, one "name<TAB>description" a line, the names that "set NAME input" takes. Blank
// lines and lines starting with '#' are skipped. The exit code is 0 when every command
// and wait succeeded, 1 otherwise, 2 for bad usage.
//
// A command given "wait" (e.g. "record A to 5000 wait") returns when its play or record is
// done; with --virtual the virtual clock runs meanwhile. Ctrl+C (SIGINT) while such a command
// waits ends the wait and stops the element where it got to, keeping what was recorded, as
// "stop" does: the line answers 0, standard error says it was interrupted, and the script
// goes on (so "record A wait", Ctrl+C, "save A ..." is a recording ended by hand). Ctrl+C at
// any other moment ends mcishell as the signal always did, leaving the takes on disk.
// A command given "notify" is answered as usual; how it ended follows on a line of its own,
// "notify ALIAS successful|superseded|aborted|failure", once known: right after the answer,
// during a later "wait MS" or command, or at the end of the script.
//
// Takes go to $XDG_STATE_HOME/wanshengxia; an element the script does not close keeps its
// take there when it holds unsaved sound ("open \"<take folder>\" ..." reopens it).
//
// Why a command failed goes to standard error beside its code, one line per cause:
//   mcishell: 328: cannot record: no sound server at unix:/run/pulse/native: Connection refused
// Warnings from the engine's other threads (a stream that broke, a sound file that cannot
// grow) are printed as they come; debug lines only with WSX_DEBUG=1. Standard output keeps
// its format.
#include "McishellHelp.h"
#include "audio/PulseAudioBackend.h"
#include "audio/VirtualAudioBackend.h"
#include "engine/interpreter/MciEngine.h"
#include "platform/log/Log.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <csignal>
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

// SIGINT: while a command waits (set from its first look at the clock until it returns) it
// ends the wait; at any other moment the signal does what it did before mcishell took it.
volatile std::sig_atomic_t g_waiting = 0;
volatile std::sig_atomic_t g_interrupted = 0;
struct sigaction g_previousInterrupt {};

void onInterrupt(int) {
    if (g_waiting) {
        g_interrupted = 1;
        return;
    }
    sigaction(SIGINT, &g_previousInterrupt, nullptr);
    std::raise(SIGINT);
}

void takeInterrupts() {
    struct sigaction action {};
    action.sa_handler = &onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &g_previousInterrupt);
}

// Notifications wait here until the line that caused them has been answered. Main thread.
std::vector<std::string> g_notices;

void printNotices() {
    for (const std::string& notice : g_notices) std::cout << notice << '\n';
    if (!g_notices.empty()) std::cout << std::flush;
    g_notices.clear();
}

// Prints the warnings gathered on the main thread, beside `rc` when a command failed.
void printWarnings(uint32_t rc) {
    for (const std::string& message : g_warnings) {
        if (rc != 0) std::fprintf(stderr, "mcishell: %u: %s\n", unsigned(rc), message.c_str());
        else std::fprintf(stderr, "mcishell: %s\n", message.c_str());
    }
    g_warnings.clear();
}

// A plain non-negative decimal: no sign, fraction or exponent.
bool parseCount(const std::string& text, uint64_t& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    const bool digitsOnly = !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return c >= '0' && c <= '9';
    });
    return digitsOnly && ec == std::errc() && end == text.data() + text.size();
}

// "wait MS" with MS a plain non-negative decimal.
enum class Wait { NotAWait, Valid, Invalid };
Wait parseWait(const std::string& line, uint64_t& ms) {
    if (line != "wait" && line.rfind("wait ", 0) != 0) return Wait::NotAWait;
    return parseCount(line.size() > 5 ? line.substr(5) : std::string(), ms) ? Wait::Valid
                                                                            : Wait::Invalid;
}

// Every frame carries its own number, counted across all captures of the run (channel 0 the
// low 15 bits, channel 1 the next 15), so any stretch of a take tells when it was captured.
wsx::audio::VirtualAudioBackend::Signal numberedSignal() {
    auto next = std::make_shared<uint64_t>(0);
    return [next](int16_t* out, uint64_t, size_t frames, const wsx::audio::AudioFormat& f) {
        for (size_t i = 0; i < frames; ++i, ++*next)
            for (size_t c = 0; c < f.channels; ++c)
                out[i * f.channels + c] = int16_t((*next >> (15 * c)) & 0x7FFF);
    };
}

int run(std::istream& in, wsx::mci::EngineOptions options, bool virtualClock, bool numbered) {
    std::unique_ptr<wsx::audio::AudioBackend> backend;
    wsx::audio::VirtualAudioBackend* clock = nullptr;
    if (virtualClock) {
        auto v = std::make_unique<wsx::audio::VirtualAudioBackend>();
        clock = v.get();
        if (numbered) v->setSignal(numberedSignal());
        backend = std::move(v);
    } else {
        backend = std::make_unique<wsx::audio::PulseAudioBackend>();
    }
    // Lets time pass: the virtual clock's, or the real one's.
    const auto pass = [clock](std::chrono::milliseconds ms) {
        if (clock) clock->advance(uint64_t(ms.count()));
        else std::this_thread::sleep_for(ms);
    };
    options.idle = [&pass](std::chrono::milliseconds step) {
        g_waiting = 1;
        pass(step);
        return g_interrupted == 0;
    };
    int exitCode = 0;
    {
        wsx::mci::MciEngine engine(*backend, options);
        engine.setNotifySink([](const std::string& alias, wsx::mci::Notification n) {
            g_notices.push_back("notify " + alias + ' ' + wsx::mci::notificationWord(n));
        });
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.empty() || line[0] == '#') continue;
            uint64_t ms = 0;
            const Wait wait = parseWait(line, ms);
            if (wait == Wait::Invalid) {
                std::cerr << "mcishell: wait takes a whole number of milliseconds (0-9 only): "
                          << line << "\n";
                exitCode = 1;
                continue;
            }
            if (line == "inputs") {
                for (const auto& device : backend->captureDevices())
                    std::cout << device.name << '\t' << device.description << '\n';
                std::cout << std::flush;
                continue;
            }
            if (wait == Wait::Valid) {
                // Real time passes in steps, telling what ends meanwhile as it ends; the
                // virtual clock moves at once, as nobody watches it meanwhile.
                for (uint64_t left = ms; left > 0;) {
                    const uint64_t step = clock ? left : std::min<uint64_t>(left, 50);
                    pass(std::chrono::milliseconds(step));
                    left -= step;
                    engine.pollNotifications();
                    printNotices();
                }
                printWarnings(0);
                continue;
            }
            std::string reply;
            g_interrupted = 0;
            const uint32_t rc = engine.mciSendString(line, &reply);
            g_waiting = 0;
            std::cout << rc;
            if (!reply.empty()) std::cout << " \"" << reply << '"';
            std::cout << std::endl;
            printNotices();
            if (g_interrupted) std::cerr << "mcishell: interrupted: " << line << "\n";
            printWarnings(rc);
            if (rc != 0) exitCode = 1;
        }
        engine.pollNotifications();
        printNotices();
    }
    printWarnings(0);  // from closing what the script left open
    return exitCode;
}

}  // namespace

int main(int argc, char** argv) {
    wsx::log::setSink(&logToStderr);
    takeInterrupts();
    bool virtualClock = false;
    bool numbered = false;
    std::string file;
    wsx::mci::EngineOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        uint64_t value = 0;
        const bool compactOption = arg.rfind("--compact-", 0) == 0;
        if (compactOption && (i + 1 >= argc || !parseCount(argv[i + 1], value))) {
            std::cerr << "mcishell: " << arg << " takes a whole number\n";
            return 2;
        }
        if (compactOption) ++i;
        if (arg == "--compact-after") options.compactMinBytes = value;
        else if (arg == "--compact-percent")
            options.compactPercent = uint32_t(std::min<uint64_t>(value, 100));
        else if (arg == "--compact-pause") options.compactPause = std::chrono::milliseconds(value);
        else if (arg == "--virtual") virtualClock = true;
        else if (arg == "--numbered") numbered = true;
        else if (arg == "-h" || arg == "--help") {
            std::cout << kMcishellHelp;
            return 0;
        } else if (file.empty() && arg[0] != '-') file = arg;
        else {
            std::cerr << "mcishell: unknown argument " << arg << "\n";
            return 2;
        }
    }
    if (numbered && !virtualClock) {
        std::cerr << "mcishell: --numbered needs --virtual\n";
        return 2;
    }
    if (file.empty()) return run(std::cin, options, virtualClock, numbered);
    std::ifstream in(file);
    if (!in) {
        std::cerr << "mcishell: cannot read " << file << "\n";
        return 2;
    }
    return run(in, options, virtualClock, numbered);
}
