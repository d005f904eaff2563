#pragma once

#include <string>

// Why something failed, said once, where the failure is found.
//
// The audio layer and the engine log through these functions; the program chooses the
// sink. Messages are one line, lower case, with no trailing period: "cannot record: no
// sound server at unix:/run/user/1000/pulse/native: Connection refused".
//
// Thread safety: every function may be called from any thread except the audio callbacks
// that move samples (they must not allocate or block). The sink is swapped atomically.
namespace wsx::log {

enum class Level { Debug, Warning };

// Where the messages of a layer go: names Qt's logging categories can use as they are.
inline constexpr const char* kAudio = "wsx.audio";
inline constexpr const char* kEngine = "wsx.engine";

// Receives every message, debug ones too: the sink decides what to show. Called on the
// thread that logs, so it must be thread-safe; it must not log itself.
using Sink = void (*)(Level level, const char* category, const std::string& message);

// Installs `sink` for the whole process and returns the one it replaces. nullptr restores
// the default: "<category>: <message>" on stderr for warnings, and for debug messages too
// when the environment has WSX_DEBUG=1.
Sink setSink(Sink sink);

void warning(const char* category, const std::string& message);
void debug(const char* category, const std::string& message);

// True when the environment asks for debug messages (WSX_DEBUG=1); sinks that filter by
// themselves follow it too.
bool debugRequested();

// The text strerror() gives for `error` (an errno value), safe on any thread.
std::string errnoText(int error);

}  // namespace wsx::log
