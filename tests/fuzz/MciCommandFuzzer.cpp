// Feeds arbitrary text to the MCI engine, one command per line, with the virtual clock
// moving between commands, so that parsing and every transport path see hostile input.
// Must never crash, hang, leak or trip a sanitizer; the result codes are not judged here.
// "save" and "open" of a take folder are fuzzed too, with their path moved inside the
// target's private folder (FuzzFolder), so the fuzzer never writes anywhere else.
#include "FuzzFolder.h"
#include "audio/VirtualAudioBackend.h"
#include "engine/command/MciFlags.h"
#include "engine/command/MciTokenizer.h"
#include "engine/interpreter/MciEngine.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace {

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

// The command as the engine is to see it: unchanged unless it names a path ("save A path",
// "open path ..."), which is then moved into the private folder. Empty: not to be sent.
std::optional<std::string> confined(std::string_view command) {
    using namespace wsx::mci;
    Tokenized parsed = tokenize(command);
    // The engine refuses these before it touches a file.
    CommandFlags flags;
    if (parsed.error || parsed.tokens.size() < 2 || parsed.tokens[0].quoted ||
        takeCommandFlags(parsed.tokens, flags))
        return std::string(command);
    // The path is found as the engine finds it, after "wait" and "notify" are taken out.
    const std::vector<Token>& t = parsed.tokens;
    const std::string verb = toLowerAscii(t[0].text);
    size_t pathAt = 0;
    if (verb == "save" && t.size() == 3) pathAt = 2;
    else if (verb == "open" && (t[1].quoted || !equalsIgnoreCase(t[1].text, "new"))) pathAt = 1;
    else return std::string(command);
    const std::optional<std::filesystem::path> inside =
        wsx::fuzz::quietFolder().confine(t[pathAt].text);
    if (!inside) return std::nullopt;
    std::string out;
    for (size_t i = 0; i < t.size(); ++i) {
        if (i) out += ' ';
        out += i == pathAt ? quoted(inside->string()) : t[i].quoted ? quoted(t[i].text) : t[i].text;
    }
    const size_t flagCount = size_t(flags.wait) + size_t(flags.notify);
    if (flags.wait) out += " wait";
    if (flags.notify) out += " notify";
    // Belt and braces: what the engine will parse names exactly the confined path.
    const Tokenized again = tokenize(out);
    if (again.error || again.tokens.size() != t.size() + flagCount ||
        again.tokens[pathAt].text != inside->string())
        return std::nullopt;
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    {
        wsx::audio::VirtualAudioBackend backend;
        wsx::mci::EngineOptions options{wsx::fuzz::quietFolder().root() / "takes", 1u << 20};
        // A waiting command moves the clock, so a wait ends at the latest with the 1 MiB limit.
        options.idle = [&backend](std::chrono::milliseconds step) {
            backend.advance(uint64_t(step.count()));
            return true;
        };
        wsx::mci::MciEngine engine(backend, options);
        engine.mciSendString("open new type waveaudio alias A", nullptr);
        const std::string_view input(reinterpret_cast<const char*>(data), size);
        size_t start = 0;
        int commands = 0;
        while (start <= input.size() && commands++ < 64) {
            size_t end = input.find('\n', start);
            if (end == std::string_view::npos) end = input.size();
            if (const auto command = confined(input.substr(start, end - start))) {
                std::string reply;
                engine.mciSendString(*command, &reply);
            }
            backend.advance(7);
            start = end + 1;
        }
        // Closed on purpose, so no take is kept for a later start.
        engine.mciSendString("close all", nullptr);
    }
    wsx::fuzz::quietFolder().clear();
    return 0;
}
