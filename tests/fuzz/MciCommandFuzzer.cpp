// Feeds arbitrary text to the MCI engine, one command per line, with the virtual clock
// moving between commands, so that parsing and every transport path see hostile input.
// Must never crash, hang, leak or trip a sanitizer; the result codes are not judged here.
#include "audio/VirtualAudioBackend.h"
#include "engine/MciEngine.h"

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::filesystem::path spool =
        std::filesystem::temp_directory_path() / ("wsx-fuzz-" + std::to_string(::getpid()));
    wsx::audio::VirtualAudioBackend backend;
    wsx::mci::EngineOptions options{spool, 1u << 20};
    wsx::mci::MciEngine engine(backend, options);
    engine.mciSendString("open new type waveaudio alias A", nullptr);
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    size_t start = 0;
    int commands = 0;
    while (start <= input.size() && commands++ < 64) {
        size_t end = input.find('\n', start);
        if (end == std::string_view::npos) end = input.size();
        const std::string_view command = input.substr(start, end - start);
        // "save" writes wherever the text says; the fuzzer must not scribble over the machine.
        std::string lower(command);
        for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
        if (lower.find("save") == std::string::npos) {
            std::string reply;
            engine.mciSendString(command, &reply);
        }
        backend.advance(7);
        start = end + 1;
    }
    return 0;
}
