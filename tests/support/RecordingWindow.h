#pragma once

#include "platform/messages/WindowMessages.h"

#include <QGuiApplication>
#include <QStandardPaths>

#include <cstdint>
#include <string>
#include <vector>

namespace wsx::test {

// A window that keeps every platform message it is sent, for the desktop stand-in tests.
struct Message {
    platform::HWND hWnd;
    uint32_t msg;
    int32_t wParam;
    int32_t lParam;
};

class RecordingWindow : public platform::WindowMessageTarget {
public:
    int32_t WindowProc(platform::HWND hWnd, uint32_t uMsg, int32_t wParam,
                       int32_t lParam) override {
        messages.push_back(Message{hWnd, uMsg, wParam, lParam});
        return 0;
    }
    bool received(uint32_t msg, int32_t wParam, int32_t lParam) const {
        for (const Message& m : messages)
            if (m.hWnd == this && m.msg == msg && m.wParam == wParam && m.lParam == lParam)
                return true;
        return false;
    }
    std::vector<Message> messages;
};

// Why the desktop tests cannot run here, or empty when they can: they need the X display
// and xdotool to press keys and click.
inline std::string desktopMissing() {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return "no X display (DISPLAY unset or unreachable); run under tests/support/x-env.sh";
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        return "xdotool is not installed (Debian package xdotool)";
    return {};
}

}  // namespace wsx::test
