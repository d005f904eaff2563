#pragma once

#include <array>
#include <string>
#include <string_view>
#include <utility>

// What a recording takes its sound from, and the one table of the words that name it: the
// command language ("set waveaudio input monitor"), the window's command strings and the
// settings file all write the same words. It lives this low so the settings file can keep
// a choice without knowing the sound backends; audio/AudioBackend.h opens streams from it.
namespace wsx::audio {

// The defaults are looked up when the stream opens, so each recording follows what the
// server's default is at that moment.
struct CaptureSource {
    enum class Kind {
        DefaultInput,    // the server's default source (a microphone, usually)
        DefaultMonitor,  // what the server's default sink plays (the computer's sound)
        Both,            // the default source and the default sink's monitor, mixed
        Named,           // one source of the server, by its name
    };
    Kind kind = Kind::DefaultInput;
    std::string name;  // Named only
    bool operator==(const CaptureSource&) const = default;
};

// The word of every kind but Named (which is written as the source's name).
inline constexpr std::array<std::pair<CaptureSource::Kind, std::string_view>, 3>
    kCaptureSourceWords{{{CaptureSource::Kind::DefaultInput, "default"},
                         {CaptureSource::Kind::DefaultMonitor, "monitor"},
                         {CaptureSource::Kind::Both, "both"}}};

// The word of `kind`; empty for Named.
constexpr std::string_view captureSourceWord(CaptureSource::Kind kind) {
    for (const auto& [k, word] : kCaptureSourceWords)
        if (k == kind) return word;
    return {};
}

}  // namespace wsx::audio
