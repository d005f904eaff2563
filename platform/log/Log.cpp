#include "Log.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>

namespace wsx::log {

namespace {

void toStderr(Level level, const char* category, const std::string& message) {
    if (level == Level::Debug && !debugRequested()) return;
    // One fprintf per line: stdio locks the stream, so lines from threads do not interleave.
    std::fprintf(stderr, "%s: %s%s\n", category, level == Level::Debug ? "debug: " : "",
                 message.c_str());
}

std::atomic<Sink> g_sink{&toStderr};

}  // namespace

bool debugRequested() {
    static const bool requested = [] {
        const char* value = std::getenv("WSX_DEBUG");
        return value && std::strcmp(value, "1") == 0;
    }();
    return requested;
}

Sink setSink(Sink sink) { return g_sink.exchange(sink ? sink : &toStderr); }

void warning(const char* category, const std::string& message) {
    g_sink.load()(Level::Warning, category, message);
}

void debug(const char* category, const std::string& message) {
    g_sink.load()(Level::Debug, category, message);
}

std::string errnoText(int error) { return std::generic_category().message(error); }

}  // namespace wsx::log
