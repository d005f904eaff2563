// A take folder as a later start finds it after a crash, a full disk or a hostile hand:
// the format record, the journal and the sound file's size all come from the input, and
// the folder goes through what recovery does with it: TakeStore::inspect (the list the
// window offers) and "open <folder>" (adopting it), then a save of what was adopted.
// Input: two bytes of sound-file size (little-endian), the format record up to the first
// NUL byte, then the journal.
// What inspect offers must be what open gives: readable exactly when it opens, and the
// same length.
#include "FuzzFolder.h"
#include "audio/VirtualAudioBackend.h"
#include "engine/interpreter/MciEngine.h"
#include "engine/take/TakeStore.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

bool writeFile(const std::filesystem::path& file, const uint8_t* data, size_t size, off_t length) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const bool ok = (size == 0 || ::write(fd, data, size) == ssize_t(size)) &&
                    (length < 0 || ::ftruncate(fd, length) == 0);
    ::close(fd);
    return ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace wsx::mci;
    if (size < 2) return 0;
    const off_t soundBytes = off_t(data[0] | data[1] << 8);
    const uint8_t* rest = data + 2;
    const uint8_t* end = data + size;
    const uint8_t* nul = std::find(rest, end, uint8_t{0});
    const std::filesystem::path take = wsx::fuzz::quietFolder().root() / "take-fuzz";
    std::filesystem::create_directory(take);
    if (!writeFile(take / Take::kFormatName, rest, size_t(nul - rest), -1) ||
        !writeFile(take / Take::kJournalName, nul == end ? end : nul + 1,
                   nul == end ? 0 : size_t(end - nul - 1), -1) ||
        !writeFile(take / Take::kSoundName, nullptr, 0, soundBytes))
        std::abort();

    const TakeInfo info = TakeStore::inspect(take);
    {
        wsx::audio::VirtualAudioBackend backend;
        MciEngine engine(backend,
                         EngineOptions{wsx::fuzz::quietFolder().root() / "takes", 1u << 20});
        const uint32_t rc =
            engine.mciSendString("open \"" + take.string() + "\" type waveaudio alias T", nullptr);
        if ((rc == 0) != info.readable) std::abort();
        if (rc == 0) {
            std::string length;
            if (engine.mciSendString("set T time format bytes", nullptr) != 0 ||
                engine.mciSendString("status T length", &length) != 0 ||
                length != std::to_string(info.lengthBytes))
                std::abort();
            engine.mciSendString(
                "save T \"" + (wsx::fuzz::quietFolder().root() / "out.wav").string() + "\"",
                nullptr);
            engine.mciSendString("play T", nullptr);
            backend.advance(20);
            engine.mciSendString("close T", nullptr);
        }
    }
    wsx::fuzz::quietFolder().clear();
    return 0;
}
