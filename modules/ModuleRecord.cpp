#include "ModuleRecord.h"

#include <charconv>
#include <cmath>

namespace wsx {

int64_t roundHalfEven(double value) {
    // nearbyint rounds in the default mode, to nearest with ties to even.
    return int64_t(std::nearbyint(value));
}

std::optional<int64_t> parseMilliseconds(const std::string& text) {
    int64_t v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return v;
}

namespace {

// In double quotes with inner quotes doubled, so paths with blanks and quotes pass whole.
std::string quotedName(const std::string& name) {
    std::string quoted = "\"";
    for (char c : name) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

}  // namespace

int32_t ModuleRecord::send(const std::string& command) {
    return int32_t(m_mci.mciSendString(command, nullptr));
}

std::string ModuleRecord::query(const std::string& command) {
    // A status reply is read like a 256-byte buffer: at most 255 characters, up to the
    // first NUL. The result code is not looked at; a failed query leaves the reply empty.
    std::string reply;
    m_mci.mciSendString(command, &reply);
    if (const size_t nul = reply.find('\0'); nul != std::string::npos) reply.resize(nul);
    if (reply.size() > 255) reply.resize(255);
    return reply;
}

int16_t ModuleRecord::MciSetTimeFormat(const std::string& device, int32_t formatIndex) {
    static const char* const kWords[] = {"frames", "hms", "milliseconds", "msf"};
    const std::string word = (formatIndex >= 0 && formatIndex <= 3) ? kWords[formatIndex] : "";
    return int16_t(send("set " + device + " time format " + word));
}

int32_t ModuleRecord::MciSetSamplesPerSec(const std::string& device, const std::string& rate) {
    return send("set " + device + " Samplespersec " + rate);
}

int32_t ModuleRecord::MciSetChannels(const std::string& device, const std::string& channels) {
    return send("set " + device + " channels " + channels);
}

std::string ModuleRecord::MciGetPosition(const std::string& device) {
    return query("status " + device + " position");
}

std::string ModuleRecord::MciGetLength(const std::string& device) {
    return query("status " + device + " length");
}

int32_t ModuleRecord::MciPlay(const std::string& device) { return send("play " + device); }

int32_t ModuleRecord::MciPlayFrom(const std::string& device, const std::string& position) {
    return send("play " + device + " from " + position);
}

int32_t ModuleRecord::MciPause(const std::string& device) { return send("pause " + device); }

int32_t ModuleRecord::MciClose(const std::string& device) { return send("close " + device); }

int32_t ModuleRecord::MciRecordOverwrite(const std::string& device) {
    return send("record " + device + " overwrite");
}

void ModuleRecord::MciOpenNew() {
    send("open new type waveaudio alias RecordDev");
    send("set RecordDev Bitspersample 16");
}

int32_t ModuleRecord::MciSeek(const std::string& device, const std::string& position) {
    return send("seek " + device + " to " + position);
}

int32_t ModuleRecord::MciSave(const std::string& device, const std::string& fileName) {
    return send("save " + device + " " + quotedName(fileName));
}

int32_t ModuleRecord::MciOpenTake(const std::string& takeFolder) {
    return send("open " + quotedName(takeFolder) + " type waveaudio alias RecordDev");
}

std::string ModuleRecord::MciGetMode(const std::string& device) {
    return query("status " + device + " mode");
}

std::string ModuleRecord::MciGetSilence(const std::string& device) {
    return query("status " + device + " silence");
}

std::string ModuleRecord::MciStatusReason(const std::string& device) {
    return query("status " + device + " reason");
}

int32_t ModuleRecord::MciDeleteFrom(const std::string& device) {
    return send("delete " + device + " from " + MciGetPosition(device));
}

int32_t ModuleRecord::MciDeleteTo(const std::string& device) {
    return send("delete " + device + " from 0 to " + MciGetPosition(device));
}

std::string ModuleRecord::FormatTime(const std::string& milliseconds) {
    if (milliseconds.empty() || milliseconds.size() > 18) return "--:--";
    int64_t ms = 0;
    for (char c : milliseconds) {
        if (c < '0' || c > '9') return "--:--";
        ms = ms * 10 + (c - '0');
    }
    // Whole seconds by exact integer arithmetic: the same as dividing by 1000 in double
    // precision and rounding half to even, without its limits for long takes.
    int64_t total = ms / 1000;
    const int64_t rest = ms % 1000;
    if (rest > 500 || (rest == 500 && total % 2 == 1)) ++total;
    const int64_t minutes = total / 60;
    const int64_t seconds = total - minutes * 60;
    auto twoDigits = [](int64_t v) {
        std::string s = std::to_string(v);
        return s.size() < 2 ? "0" + s : s;
    };
    return twoDigits(minutes) + ":" + twoDigits(seconds);
}

int32_t ModuleRecord::MciSetInput(const audio::CaptureSource& input) {
    const std::string item = input.kind == audio::CaptureSource::Kind::Named
                                 ? quotedName(input.name)
                                 : std::string(audio::captureSourceWord(input.kind));
    return send("set waveaudio input " + item);
}

std::string ModuleRecord::MciGetLevel(const std::string& device) {
    return query("status " + device + " level");
}

std::string ModuleRecord::MciGetSaving(const std::string& device) {
    return query("status " + device + " saving");
}

std::string ModuleRecord::MciGetSaveProgress(const std::string& device) {
    return query("status " + device + " progress");
}

int32_t ModuleRecord::MciStop(const std::string& device) { return send("stop " + device); }

}  // namespace wsx
