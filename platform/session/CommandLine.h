#pragma once

#include <optional>
#include <string>

namespace wsx::platform {

// What a start of the program was asked to do.
enum class Verb {
    None,    // a plain start: open the window, or show the running one
    Record,  // --record: what Ctrl+Alt+Down does
    Stop,    // --stop: what Ctrl+Alt+Up does
    Play,    // --play: what Ctrl+Alt+Right does
    Show,    // --show: what 显示声匣 does
};

// One of: a mistake (error), help, the version, or a start with a verb or none.
struct CommandLine {
    Verb verb = Verb::None;
    bool help = false;
    bool version = false;
    std::string error;  // an argument not understood, in the words shown to the user
};

// Reads argv[1..]: at most one verb, --help (-h) or --version; a mistake outweighs help,
// help the version, and either a verb. Arguments Qt itself takes (-platform, -display, ...)
// are left to QApplication and must come after ours.
CommandLine parseCommandLine(int argc, const char* const* argv);

// The text --help prints, in Chinese and English.
std::string usageText();

// The verb's option as typed ("--record"); "" for Verb::None.
const char* verbOption(Verb verb);

// The exit status and text for the arguments that need no window (--help, --version, a
// mistake); nullopt when the program goes on. The text goes to stdout for help and version,
// to stderr for a mistake.
std::optional<int> answerWithoutWindow(const CommandLine& command, const std::string& version);

}  // namespace wsx::platform
