#include "platform/session/CommandLine.h"

#include <cstdio>
#include <cstring>
#include <utility>

namespace wsx::platform {

namespace {

struct VerbOption {
    Verb verb;
    const char* option;
};
constexpr VerbOption kVerbs[] = {{Verb::Record, "--record"},
                                 {Verb::Stop, "--stop"},
                                 {Verb::Play, "--play"},
                                 {Verb::Show, "--show"}};

}  // namespace

const char* verbOption(Verb verb) {
    for (const VerbOption& v : kVerbs)
        if (v.verb == verb) return v.option;
    return "";
}

CommandLine parseCommandLine(int argc, const char* const* argv) {
    CommandLine command;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            command.help = true;
            continue;
        }
        if (std::strcmp(arg, "--version") == 0) {
            command.version = true;
            continue;
        }
        bool known = false;
        for (const VerbOption& v : kVerbs) {
            if (std::strcmp(arg, v.option) != 0) continue;
            known = true;
            if (command.verb != Verb::None && command.verb != v.verb)
                command.error = std::string(
                                    "一次只能给一个命令 (only one of --record, --stop, "
                                    "--play, --show at a time): ") +
                                verbOption(command.verb) + " " + arg;
            command.verb = v.verb;
        }
        // The first argument that is not ours starts Qt's own (-platform xcb, ...).
        if (!known) {
            if (arg[0] == '-' && arg[1] == '-')
                command.error = std::string("不认识的选项 (unknown option): ") + arg;
            break;
        }
    }
    // One answer: a mistake before help, help before the version, either before a verb.
    if (!command.error.empty()) {
        CommandLine mistake;
        mistake.error = std::move(command.error);
        return mistake;
    }
    if (command.help) command.version = false;
    if (command.help || command.version) command.verb = Verb::None;
    return command;
}

std::string usageText() {
    return "用法 (usage): wanshengxia [--record | --stop | --play | --show]\n"
           "\n"
           "  (无选项)    打开万声匣；已经在运行时显示它的窗口\n"
           "              open the recorder, or show the one already running\n"
           "  --record    录音 (Ctrl+Alt+Down)；没有在运行时先打开它\n"
           "              record; starts the recorder first when none runs\n"
           "  --stop      停止 (Ctrl+Alt+Up)\n"
           "  --play      播放 (Ctrl+Alt+Right)\n"
           "  --show      显示声匣 (show the window); starts the recorder when none runs\n"
           "  --help      显示这段说明 (this text)\n"
           "  --version   显示版本 (print the version)\n"
           "\n"
           "录音、停止、播放只在窗口上对应的按钮可用时才生效，和热键一样。\n"
           "Record, stop and play act only when the window's button for them is enabled, as\n"
           "the hot keys do. They reach the running recorder over the session bus; bind them\n"
           "to keys in the desktop's keyboard settings where the desktop gives the program no\n"
           "global keys.\n";
}

std::optional<int> answerWithoutWindow(const CommandLine& command, const std::string& version) {
    if (!command.error.empty()) {
        std::fprintf(stderr, "wanshengxia: %s\n%s", command.error.c_str(), usageText().c_str());
        return 2;
    }
    if (command.help) {
        std::fputs(usageText().c_str(), stdout);
        return 0;
    }
    if (command.version) {
        std::printf("wanshengxia %s\n", version.c_str());
        return 0;
    }
    return std::nullopt;
}

}  // namespace wsx::platform
