// The server's sources for the window's choice of input: listing them, and watching them
// come and go.
//
// Threads: both calls run on the UI thread and take the loop lock; the subscription's
// callback runs on the loop thread and only counts.
#include "PulseAudioBackend.h"
#include "PulseLoop.h"
#include "platform/log/Log.h"

namespace wsx::audio {

namespace {

struct SourceQuery {
    pa_threaded_mainloop* loop;
    std::vector<CaptureDevice> devices;
    bool done = false;
};

void onSourceInfo(pa_context*, const pa_source_info* info, int eol, void* userdata) {
    auto* query = static_cast<SourceQuery*>(userdata);
    if (eol == 0 && info) {
        query->devices.push_back(
            {info->name ? info->name : "", info->description ? info->description : ""});
    } else {
        query->done = true;
        pa_threaded_mainloop_signal(query->loop, 0);
    }
}

void onSourceEvent(pa_context*, pa_subscription_event_type_t, uint32_t, void* generation) {
    static_cast<std::atomic<uint64_t>*>(generation)->fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

std::vector<CaptureDevice> PulseAudioBackend::captureDevices() {
    if (!ensureLoop()) return {};
    LoopLock lock(m_loop.get());
    std::string why;
    if (connectLocked(why) != OpenError::None) {
        log::debug(log::kAudio, "cannot list the sources: " + why);
        return {};
    }
    SourceQuery query{m_loop.get(), {}};
    pa_operation* operation =
        pa_context_get_source_info_list(m_context.get(), &onSourceInfo, &query);
    if (!operation) return {};
    waitLocked(m_loop.get(), m_context.get(), kOpenTimeoutUsec, [&query] { return query.done; });
    if (pa_operation_get_state(operation) == PA_OPERATION_RUNNING) pa_operation_cancel(operation);
    pa_operation_unref(operation);
    return query.done ? std::move(query.devices) : std::vector<CaptureDevice>{};
}

uint64_t PulseAudioBackend::captureDevicesGeneration() {
    if (m_loop) {
        LoopLock lock(m_loop.get());
        pa_context* context = m_context.get();
        if (context && context != m_subscribed &&
            pa_context_get_state(context) == PA_CONTEXT_READY) {
            pa_context_set_subscribe_callback(context, &onSourceEvent, &m_devicesGeneration);
            // Sources come and go; the server's default source changing is a server event.
            if (pa_operation* o =
                    pa_context_subscribe(context,
                                         pa_subscription_mask_t(PA_SUBSCRIPTION_MASK_SOURCE |
                                                                PA_SUBSCRIPTION_MASK_SERVER),
                                         nullptr, nullptr))
                pa_operation_unref(o);
            m_subscribed = context;
        }
    }
    return m_devicesGeneration.load(std::memory_order_relaxed);
}

}  // namespace wsx::audio
