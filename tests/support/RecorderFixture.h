#pragma once

#include "forms/AppSetup.h"
#include "forms/frmMain.h"
#include "platform/registry/Registry.h"
#include "support/EngineFixture.h"

#include <QApplication>
#include <QImage>
#include <QString>

#include <deque>
#include <set>
#include <string>
#include <vector>

namespace wsx::test {

// Passes every command to the real engine and keeps a log of the strings sent.
class LoggingMci final : public mci::MciInterface {
public:
    explicit LoggingMci(mci::MciInterface& inner) : m_inner(inner) {}
    uint32_t mciSendString(std::string_view command, std::string* reply) override {
        sent.emplace_back(command);
        return m_inner.mciSendString(command, reply);
    }
    // The commands sent since the last call.
    std::vector<std::string> take() {
        std::vector<std::string> out;
        out.swap(sent);
        return out;
    }
    std::vector<std::string> sent;

private:
    mci::MciInterface& m_inner;
};

// Answers message boxes and the save dialog from scripts, and remembers what was asked.
class ScriptedDialogs final : public platform::DialogService {
public:
    struct Asked {
        QString text;
        platform::MsgBoxButtons buttons;
        platform::MsgBoxIcon icon;
        QString title;
    };
    struct SaveAnswer {
        platform::SaveDialogResult result;
        QString path;
        int filterIndex = 1;  // the filter the "user" leaves selected
    };
    platform::MsgBoxResult MsgBox(QWidget*, const QString& text, platform::MsgBoxButtons buttons,
                                  platform::MsgBoxIcon icon, const QString& title) override {
        asked.push_back({text, buttons, icon, title});
        if (onAsk) onAsk();
        if (answers.empty()) return platform::MsgBoxResult::Cancel;
        const auto a = answers.front();
        answers.pop_front();
        return a;
    }
    platform::SaveDialogResult ShowSave(QWidget*, const QString& title, const QString& filter,
                                        int& filterIndex, QString& fileName,
                                        QString& error) override {
        saveShown.push_back({title, filter, fileName, filterIndex});
        if (saves.empty()) return platform::SaveDialogResult::Cancelled;
        const SaveAnswer a = saves.front();
        saves.pop_front();
        if (a.result == platform::SaveDialogResult::Chosen) fileName = a.path;
        if (a.result == platform::SaveDialogResult::Chosen) filterIndex = a.filterIndex;
        if (a.result == platform::SaveDialogResult::Failed) error = a.path;
        return a.result;
    }
    struct SaveShown {
        QString title, filter, startName;
        int startFilter;  // the filter selected as the dialog opens, from 1
    };
    std::deque<platform::MsgBoxResult> answers;
    std::deque<SaveAnswer> saves;
    std::vector<Asked> asked;
    std::vector<SaveShown> saveShown;
    std::function<void()> onAsk;  // runs while a box is "open"
};

class RecordingTray final : public platform::NotifyIconService {
public:
    struct Call {
        uint32_t message;
        uint32_t flags;
        std::string tip;
        QImage icon;  // what the icon shows at 32 × 32
        std::string infoTitle, info;
        qint64 iconIdentity;  // the icon's cache key: equal only for the very same icon
    };
    bool Shell_NotifyIcon(uint32_t message, const platform::NOTIFYICONDATA& d) override {
        calls.push_back({message, d.uFlags, d.szTip, d.hIcon.pixmap(32, 32).toImage(),
                         d.szInfoTitle, d.szInfo, d.hIcon.cacheKey()});
        return true;
    }
    bool setIconMenu(platform::HWND, uint32_t, QMenu* m) override {
        menu = m;
        return true;
    }
    bool trayAvailable() const override { return available; }
    bool available = true;
    QMenu* menu = nullptr;
    std::vector<Call> calls;
};

class RecordingHotKeys final : public platform::HotKeyService {
public:
    bool RegisterHotKey(platform::HWND, int32_t id, uint32_t modifiers, uint32_t vk) override {
        registered.push_back({id, int32_t(modifiers), int32_t(vk)});
        return true;
    }
    bool UnregisterHotKey(platform::HWND, int32_t id) override {
        unregistered.push_back(id);
        return true;
    }
    platform::HotKeyReach reach() const override { return reachNow; }
    platform::HotKeyReach reachNow = platform::HotKeyReach::Working;
    std::vector<std::vector<int32_t>> registered;
    std::vector<int32_t> unregistered;
};

class RecordingShell final : public platform::ShellService {
public:
    int ShellExecute(const std::string& target, int show) override {
        executed.push_back({target, show});
        return executeResult;
    }
    // Files for which the desktop names a program; files in `missing` do not exist.
    int FindExecutable(const std::string& file, std::string& program) override {
        looked.push_back(file);
        if (missing.count(file) != 0) return platform::SE_ERR_FNF;
        if (openable.count(file) == 0) return platform::SE_ERR_NOASSOC;
        program = "viewer.desktop";
        return 42;
    }
    bool StartProgram(const std::string& path) override {
        started.push_back(path);
        return startSucceeds;
    }
    std::vector<std::pair<std::string, int>> executed;
    std::vector<std::string> looked;
    std::set<std::string> openable, missing;
    std::vector<std::string> started;
    bool startSucceeds = true;
    int executeResult = 42;  // what every ShellExecute answers
};

// The recorder window on the virtual clock, with scripted dialogs and recording fakes for
// the tray, hot keys and shell; the registry is the real one on a temporary folder.
class RecorderTest : public EngineTest {
protected:
    RecorderTest()
        : mci(engine),
          registry(registry::RegistryEnvironment{tmp.path() / "autostart", std::string()}),
          services{
              mci,          dialogs, tray, hotKeys, registry, shell, "/opt/录音 工具/wanshengxia",
              takeFolder(), nullptr, {}} {}
    void SetUp() override {
        window = std::make_unique<frmMain>(services);
        window->Form_Load();
    }
    void TearDown() override { window.reset(); }

    // One tick of the position timer after `ms` more milliseconds of sound.
    void tickAfter(uint64_t ms) {
        backend.advance(ms);
        window->TimerMci_Timer();
    }
    void recordFor(uint64_t ms) {
        window->cmdRecord_Click();
        tickAfter(ms);
    }

    LoggingMci mci;
    ScriptedDialogs dialogs;
    RecordingTray tray;
    RecordingHotKeys hotKeys;
    registry::Registry registry;
    RecordingShell shell;
    RecorderServices services;
    std::unique_ptr<frmMain> window;
};

}  // namespace wsx::test
