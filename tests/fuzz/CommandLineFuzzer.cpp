// The command line as a key binding, a script or a typo gives it: any words (the input split
// at NUL bytes). A start does exactly one thing: says what was mistaken, prints help or the
// version, or goes on with one verb or none. The parser is compared with a plain reading of
// the rules: our options come first, the first word that is not ours starts Qt's own, and a
// mistake is an unknown "--" word there or two different verbs. A verb read from a line
// is the one its own option reads as alone.
#include "platform/session/CommandLine.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using namespace wsx::platform;

namespace {

CommandLine parseWords(const std::vector<std::string>& words) {
    std::vector<const char*> argv{"wanshengxia"};
    for (const std::string& word : words) argv.push_back(word.c_str());
    argv.push_back(nullptr);
    return parseCommandLine(int(argv.size() - 1), argv.data());
}

struct Expected {
    std::string mistakenWord;  // empty: no mistake
    std::string verbWord;      // the last verb option read; empty for none
    bool help = false;
    bool version = false;
};

Expected readByTheRules(const std::vector<std::string>& words) {
    static const std::vector<std::string> kVerbWords{"--record", "--stop", "--play", "--show"};
    Expected expected;
    for (const std::string& word : words) {
        if (word == "--help" || word == "-h") {
            expected.help = true;
        } else if (word == "--version") {
            expected.version = true;
        } else if (std::find(kVerbWords.begin(), kVerbWords.end(), word) != kVerbWords.end()) {
            if (!expected.verbWord.empty() && expected.verbWord != word)
                expected.mistakenWord = word;
            expected.verbWord = word;
        } else {
            if (word.rfind("--", 0) == 0) expected.mistakenWord = word;
            break;
        }
    }
    return expected;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> words;
    if (size > 0) {
        words.emplace_back();
        for (size_t i = 0; i < size; ++i) {
            if (data[i] == 0) words.emplace_back();
            else words.back().push_back(char(data[i]));
        }
    }
    const CommandLine command = parseWords(words);
    const Expected expected = readByTheRules(words);

    // One thing at a time.
    const bool mistake = !command.error.empty();
    const int answers =
        int(mistake) + int(command.help) + int(command.version) + int(command.verb != Verb::None);
    if (answers > 1) std::abort();

    if (mistake != !expected.mistakenWord.empty()) std::abort();
    if (mistake) {
        // The user is shown which word was not understood.
        if (command.error.find(expected.mistakenWord) == std::string::npos) std::abort();
        return 0;
    }
    if (command.help != expected.help) std::abort();
    if (command.version != (expected.version && !expected.help)) std::abort();
    if (command.help || command.version) return 0;

    if (verbOption(command.verb) != expected.verbWord) std::abort();
    if (command.verb != Verb::None) {
        const CommandLine alone = parseWords({verbOption(command.verb)});
        if (alone.verb != command.verb || !alone.error.empty()) std::abort();
    }
    return 0;
}
