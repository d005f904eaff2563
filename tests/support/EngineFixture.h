#pragma once

#include "audio/VirtualAudioBackend.h"
#include "engine/interpreter/MciEngine.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <string>

namespace wsx::test {

// A constant signal, so that which take a stretch of sound came from can be read back.
inline audio::VirtualAudioBackend::Signal constantSignal(int16_t value) {
    return [value](int16_t* out, uint64_t, size_t frames, const audio::AudioFormat& f) {
        std::fill(out, out + frames * f.channels, value);
    };
}

// The MCI engine on a virtual clock with its spool in a temporary folder.
class EngineTest : public ::testing::Test {
protected:
    explicit EngineTest(uint64_t maxDataBytes = mci::kMaxWavDataBytes)
        : engine(backend, options(maxDataBytes)) {}

    // A command given "wait" moves the virtual clock while it waits.
    mci::EngineOptions options(uint64_t maxDataBytes) {
        mci::EngineOptions o{takeFolder(), maxDataBytes};
        o.idle = [this](std::chrono::milliseconds step) {
            backend.advance(uint64_t(step.count()));
            return true;
        };
        return o;
    }

    // Where the engine keeps its takes.
    std::filesystem::path takeFolder() const { return tmp.path() / "spool"; }

    uint32_t send(const std::string& command) { return engine.mciSendString(command, nullptr); }
    // Sends a query that must succeed and returns its reply.
    std::string ask(const std::string& command) {
        std::string reply = "stale";
        const uint32_t rc = engine.mciSendString(command, &reply);
        EXPECT_EQ(rc, 0u) << command;
        return reply;
    }
    long number(const std::string& command) { return std::stol(ask(command)); }
    // Opens element A in milliseconds at the given format.
    void openA(int rate = 22050, int channels = 2, int bits = 16) {
        ASSERT_EQ(send("open new type waveaudio alias A"), 0u);
        ASSERT_EQ(send("set A time format milliseconds bitspersample " + std::to_string(bits) +
                       " samplespersec " + std::to_string(rate) + " channels " +
                       std::to_string(channels)),
                  0u);
    }

    TempDir tmp;
    audio::VirtualAudioBackend backend;
    mci::MciEngine engine;
};

}  // namespace wsx::test
