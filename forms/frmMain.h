#pragma once

#include "CommonDialog.h"
#include "RecorderServices.h"
#include "platform/settings/RecorderSettings.h"
#include "forms/Version.h"
#include "modules/ModuleRecord.h"
#include "modules/ModuleReg.h"
#include "modules/ModuleTray.h"

#include <QHash>
#include <QMainWindow>
#include <QTimer>

class QAction;
class QActionGroup;
class QKeyEvent;

namespace wsx {
class LevelMeterView;
class frmHotKey;
}  // namespace wsx

#include <cstdint>
#include <memory>
#include <string>

namespace Ui {
class frmMain;
}

namespace wsx {

// What the recorder window is doing. frmMain::applyState shows a state on every command,
// option, timer and the tray tip at once.
enum class WindowState {
    Empty,         // nothing recorded since start-up or New: Record, and the format is open
    Recording,     // only Stop
    Stopped,       // paused with sound: play, record over it, cut, save
    Playing,       // only Stop, the slider seeks, Save As saves
    EmptiedByCut,  // a cut left no sound: Record in the format already chosen, or save
};

// The recorder window. Its handlers keep the names the rest of the program knows them by
// and are public so that tests drive them exactly as clicks, menus, timers and platform
// messages do. The member definitions are spread over frmMain*.cpp by concern.
// Thread safety: UI thread only; the sound device runs its own threads behind the MCI
// interface and is only ever polled from here.
class frmMain final : public QMainWindow, public platform::WindowMessageTarget, public TrayWindow {
    Q_OBJECT

public:
    static inline const std::string kDevice = "RecordDev";
    static inline const QString kAppTitle = QStringLiteral(WSX_PRODUCT_NAME);

    explicit frmMain(RecorderServices services, QWidget* parent = nullptr);
    ~frmMain() override;

    // Start-up and shutdown (frmMain_Lifecycle.cpp)
    void Form_Load();
    void Form_QueryUnload(int16_t& Cancel, int16_t UnloadMode);
    void Form_Resize();
    void Form_Unload(int16_t& Cancel);
    void mnuExit_Click();
    void mnuExitRec_Click();

    // Record, stop, play (frmMain_Transport.cpp)
    void cmdRecord_Click();
    void cmdStop_Click();
    void cmdPlay_Click();

    // Position display and seeking (frmMain_Position.cpp)
    void TimerMci_Timer();
    void Slider_MouseDown();
    void Slider_MouseUp();
    // A focused slider moves with the arrows, Page Up/Down, Home and End; the first press
    // pauses as a mouse press does and the release seeks as the mouse's release does
    // (frmMain_Access.cpp). Returns whether the event is used up (never: the slider moves).
    bool Slider_KeyEvent(QKeyEvent* event);
    // The focus left the slider with a seek key still down (Tab, a hot key that greys it):
    // the release will not come, so the seek happens now, or only ends when it is grey.
    void Slider_FocusOut();

    // New, Save As, deleting (frmMain_File.cpp, frmMain_Edit.cpp)
    void mnuSaveAs_Click();
    void mnuNew_Click();
    void mnuDelFore_Click();
    void mnuDelBack_Click();

    // Tray animation, platform messages, hot-key overview (frmMain_Tray.cpp)
    void TimerPlay_Timer();
    void TimerRecord_Timer();
    void TimerStop_Timer();
    void mnuShowRec_Click();
    void mnuHotKey_Click();
    void mnuHotKeyH_Click();
    int32_t WindowProc(platform::HWND hWnd, uint32_t uMsg, int32_t wParam, int32_t lParam) override;

    // Takes an earlier run left, and ending without a question (frmMain_Takes.cpp).
    // Offers back the newest take an earlier run left unsaved (killed, crashed, ended by a
    // signal); takes that are empty or were saved are removed without a question. Called
    // once, after the window has appeared.
    void RecoverLeftTake();
    // Ends the program at once without the close question (a signal, a log-out): unsaved
    // sound is left in its take for the next start, anything else is closed as on exit.
    void EndSession();
    // Commands of a later start (frmMain_Tray.cpp). HotKeyCommand posts the message hot key
    // `id` gives (--record, --stop, --play) and says whether its button takes it now;
    // RestoreWindow (--show, a plain start) un-hides, un-minimises and raises the window, as
    // a double click on the tray icon does.
    bool HotKeyCommand(int32_t id);
    void RestoreWindow();
    // The desktop's answer about the hot keys has come: the first time ever that they cannot
    // work, a tray notification (a box without a tray) says so.
    void HotKeysReachChanged();
    // The overview's line for keys that cannot work; "" when they do (or no answer yet).
    QString hotKeyNotice() const;
    // The keys the desktop reports it binds for the hot keys, for the overview.
    ModuleTray::ReportedHotKeys desktopHotKeys() const;

    // Other keys for the hot keys (frmMain_HotKeys.cpp). LoadHotKeys takes the keys kept in
    // the settings, or the standard ones when any kept key is damaged or the set cannot be
    // used; Form_Load registers them. ChangeHotKeys keeps `keys` and registers them in place
    // of the old ones at once. cmdChangeHotKeys_Click is the overview's 更改热键 button: the
    // chooser, then the overview shows the keys in force and what the desktop says of them.
    void LoadHotKeys();
    void ChangeHotKeys(const ModuleTray::HotKeyChoice& keys);
    void cmdChangeHotKeys_Click(frmHotKey& overview);

    // Start with the desktop session (frmMain_Help.cpp)
    void chkStart_Click();

    // What to record from: the 录音来源 menu (frmMain_Input.cpp). A choice is kept at once
    // and holds for every later recording, after New too.
    void mnuInput_Click(QAction* item);
    // Lists the server's inputs again when they have changed; a chosen input that has gone
    // gives way to the default input, and the user is told.
    void TimerInputs_Timer();

    // The level meter's tick (frmMain_Level.cpp): runs while recording or playing.
    void TimerLevel_Timer();

    // About and help (frmMain_Help.cpp)
    void mnuAbout_Click();
    void mnuAboutRec_Click();
    void mnuHelpTopic_Click();

    // Recording state shared by the handlers; applyState sets both flags.
    bool IsRecording = false;
    bool IsPlaying = false;
    bool IsChanged = false;
    int32_t MciResult = 0;
    int16_t PlayFrame = 0;
    int16_t RecordFrame = 0;
    int16_t StopFrame = 0;
    std::string ExePath;
    std::string RunKeyPath;
    std::string RunValueName;

    QTimer TimerMci;
    QTimer TimerPlay;
    QTimer TimerRecord;
    QTimer TimerStop;
    QTimer TimerInputs;
    QTimer TimerLevel;
    CommonDialog dlgMciSave;
    std::unique_ptr<Ui::frmMain> ui;

    // The program's folder as the platform reports it.
    std::string programFolder() const;

    platform::HWND trayWindowHandle() override { return this; }
    QIcon trayWindowIcon() const override { return windowIcon(); }
    QMenu* trayWindowMenu() override;

signals:
    // The window has been unloaded: the program ends.
    void unloaded();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void connectHandlers();
    // Sets every command, option, timer, IsRecording/IsPlaying and the tray tip for `state`
    // (frmMain_State.cpp).
    void applyState(WindowState state);
    // Shows the length and position after a cut; `plusOneSecond` keeps the slider's scale a
    // second beyond the end, as after deleting before the position. A length below
    // `lengthBefore` (ms) marks the recording as changed.
    void refreshAfterCut(int64_t lengthBefore, bool plusOneSecond);
    // Shows position and length as "mm:ss" and the slider at the position's second on a
    // scale of `sliderMaximum` seconds (frmMain_Position.cpp). Both texts are device replies
    // in milliseconds; one that is not a number shows "--:--" (the slider then stands at 0).
    void showPosition(const std::string& positionText, const std::string& lengthText,
                      int sliderMaximum);
    // Shows the icon resource `name` (any case) as the window's icon and hands it to the tray.
    void showFrame(const QString& name);
    // The icon resource `name`, read on first use and the same icon ever after.
    const QIcon& frameIcon(const QString& name);
    void animate(int16_t& frame, const char* prefix, int16_t frames);
    // Runs the one retry of a play or record command: after a failure, pause and send again.
    void retryOnce(int32_t (ModuleRecord::*command)(const std::string&));
    void retryOnce(int32_t (ModuleRecord::*command)(const std::string&, const std::string&),
                   const std::string& argument);
    // Tells the user about a failure: a box while the window is shown, a tray notification
    // while it is hidden (a box when there is no tray).
    void tellFailure(const QString& text);
    // A box when the window is shown, a notification beside the tray icon when it is hidden.
    void tellUser(const QString& text, platform::MsgBoxIcon icon);
    // Once per take: the recording kept silence for time without sound, and how long.
    void tellSilenceOnce();
    // The machine is about to sleep: a recording is paused (its sound flushed and journalled)
    // before the sleep may go on; after waking the user is told where it paused.
    void putAwayForSleep();
    void tellWokeUp();
    // The device's reason word ("noserver", "diskfull"…) in plain Chinese.
    static QString causeText(const std::string& reason);
    // A recording or a playback that the device stopped by itself goes to the stopped state
    // and says why; true when that happened.
    bool stoppedByItself();
    // Waits for a FLAC, Opus or MP3 save the device runs in the background; after about a
    // second shows its progress with 取消 (frmMain_File.cpp). False when the user cancelled.
    bool waitForBackgroundSave(const QString& fileName);
    // Shows a recovered take's length and position after it became the recording.
    void showRecoveredTake();
    // Fills the 录音来源 menu and hands the kept choice to the sound device (constructor).
    void setUpInputMenu();
    // Checks the menu item of m_input.
    void showInputChoice();
    void setUpLevelMeter();
    // The three buttons' pictures, play and stop in the palette's button-text colour.
    void paintButtonPictures();
    // Accessible names for the picture buttons, the options and the slider, and the slider's
    // position as mm:ss for screen readers (frmMain_Access.cpp).
    void setUpAccessibility();
    // Whether the meter follows the sound (it does only while the window is shown); false
    // empties it.
    void showLevelMeter(bool running);
    // Runs the meter's timer exactly while the meter follows the sound and can be seen.
    void runLevelTimer();
    // Pops the tray menu at the mouse position and returns when it has closed.
    void popTrayMenu();
    static int32_t DefaultWindowProc(platform::HWND, uint32_t, int32_t, int32_t) { return 0; }

    RecorderServices m_services;
    ModuleRecord m_record;
    ModuleTray m_tray;
    ModuleReg m_reg;
    using WndProc = int32_t (*)(platform::HWND, uint32_t, int32_t, int32_t);
    WndProc OldWndProc = nullptr;
    bool m_inTray = false;  // the tray icon has been added and not yet removed
    bool m_unloaded = false;
    QString m_pausedForSleepAt;  // mm:ss where a sleep paused the recording, until told
    bool m_silenceTold = false;  // about the element's silence, once (tellSilenceOnce)
    bool m_keepTake = false;  // EndSession with unsaved sound: the take outlives the program
    RecorderSettings m_settings;
    InputChoice m_input;
    QActionGroup* m_inputGroup = nullptr;
    LevelMeterView* m_levelMeter = nullptr;
    bool m_levelRunning = false;
    bool m_keySeeking = false;  // a seek key is down on the slider: its release seeks
    // The animation's current frame: the tray shows it at once, the window when shown.
    QIcon m_frame;
    QHash<QString, QIcon> m_frames;      // by name as asked for: every frame shown so far
    uint64_t m_inputsSeen = UINT64_MAX;  // the generation of the inputs listed in the menu
    frmHotKey* m_overview = nullptr;     // the hot-key overview while it is open
};

}  // namespace wsx
