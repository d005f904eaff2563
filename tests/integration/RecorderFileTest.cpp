// New recording and Save As, and what reaches the saved file.
#include "support/RecorderFixture.h"
#include "support/WavReader.h"
#include "ui_frmMain.h"

#include <QProgressDialog>
#include <QTimer>

#include <algorithm>
#include <fstream>
#include <sys/stat.h>

using namespace wsx;
using platform::MsgBoxResult;
using platform::SaveDialogResult;
using wsx::test::RecorderTest;

class FileCommands : public RecorderTest {
protected:
    QString path(const std::string& name) {
        return QString::fromStdString((tmp.path() / name).string());
    }
};

TEST_F(FileCommands, NewWithoutChangesResetsAtOnce) {
    window->mnuNew_Click();
    EXPECT_TRUE(dialogs.asked.empty());
    EXPECT_EQ(window->ui->Slider->value(), 0);
    EXPECT_EQ(window->ui->Slider->maximum(), 1);
    EXPECT_FALSE(window->ui->Slider->isEnabled());
    EXPECT_EQ(window->ui->lblLen->text(), "文件长度：00:00");
    EXPECT_EQ(window->ui->lblPos->text(), "当前位置：00:00");
    EXPECT_EQ(tray.calls.back().tip, "等待录音...");
    EXPECT_EQ(tray.calls[tray.calls.size() - 2].message, platform::NIM_MODIFY);  // the DEFAULT icon
}

TEST_F(FileCommands, NewWhilePlayingAsksWithoutPausingAndNoResets) {
    window->ui->opt11025->setChecked(true);
    recordFor(1000);
    window->cmdStop_Click();
    window->cmdPlay_Click();
    dialogs.answers = {MsgBoxResult::No};
    dialogs.onAsk = [&] {
        EXPECT_EQ(engine.device("RecordDev")->mode(), mci::WaveAudioDevice::Mode::Playing);
    };
    window->mnuNew_Click();
    EXPECT_EQ(engine.device("RecordDev")->lengthBytes(), 0u);
    EXPECT_EQ(backend.openStreams(), 0);
    EXPECT_FALSE(window->IsChanged);
    EXPECT_TRUE(window->ui->opt11025->isEnabled());
    EXPECT_TRUE(window->ui->opt22050->isChecked());
    EXPECT_TRUE(window->ui->cmdRecord->isEnabled());
    EXPECT_FALSE(window->ui->cmdPlay->isEnabled());
    for (QTimer* t :
         {&window->TimerMci, &window->TimerPlay, &window->TimerRecord, &window->TimerStop})
        EXPECT_FALSE(t->isActive());
}

// After New only Record is possible, from the tray menu as from the buttons: neither can
// stop or play a take that is gone, and neither flag says otherwise.
TEST_F(FileCommands, NewFromEveryStateLeavesOnlyRecord) {
    const auto& u = *window->ui;
    const auto newShowsOnlyRecord = [&](const char* from) {
        SCOPED_TRACE(from);
        dialogs.answers = {MsgBoxResult::No};
        window->mnuNew_Click();
        EXPECT_TRUE(u.cmdRecord->isEnabled() && u.mnuRecord->isEnabled());
        EXPECT_FALSE(u.cmdStop->isEnabled() || u.mnuStop->isEnabled());
        EXPECT_FALSE(u.cmdPlay->isEnabled() || u.mnuPlay->isEnabled());
        EXPECT_FALSE(window->IsRecording || window->IsPlaying);
        EXPECT_TRUE(u.optSingle->isEnabled());
        mci.take();
        u.mnuPlay->trigger();
        u.mnuStop->trigger();
        EXPECT_TRUE(mci.take().empty());
    };
    recordFor(500);
    newShowsOnlyRecord("recording");
    recordFor(500);
    window->cmdStop_Click();
    newShowsOnlyRecord("stopped");
    recordFor(500);
    window->cmdStop_Click();
    window->cmdPlay_Click();
    newShowsOnlyRecord("playing");
}

TEST_F(FileCommands, NewYesThenCancelAbandonsNewAndResumesRecording) {
    recordFor(800);
    dialogs.answers = {MsgBoxResult::Yes};
    dialogs.saves = {{SaveDialogResult::Cancelled, {}}};
    window->mnuNew_Click();
    EXPECT_TRUE(window->IsChanged);
    EXPECT_EQ(engine.device("RecordDev")->mode(), mci::WaveAudioDevice::Mode::Recording);
    EXPECT_TRUE(window->dlgMciSave.FileName.isEmpty());
    EXPECT_FALSE(window->ui->cmdRecord->isEnabled());
}

TEST_F(FileCommands, SaveAsKeepsThePathAndResumesPlayback) {
    recordFor(2000);
    window->cmdStop_Click();
    window->cmdPlay_Click();
    tickAfter(500);
    dialogs.saves = {{SaveDialogResult::Chosen, path("第一 次.wav")},
                     {SaveDialogResult::Chosen, path("second.wav")}};
    window->mnuSaveAs_Click();
    EXPECT_FALSE(window->IsChanged);
    EXPECT_EQ(dialogs.saveShown[0].title, "另存为");
    EXPECT_EQ(dialogs.saveShown[0].filter,
              "Wave文件(*.wav)|*.wav|FLAC文件(*.flac)|*.flac|Opus文件(*.opus)|*.opus|"
              "MP3文件(*.mp3)|*.mp3");
    EXPECT_EQ(engine.device("RecordDev")->mode(), mci::WaveAudioDevice::Mode::Playing);
    EXPECT_EQ(engine.device("RecordDev")->positionBytes(), 500u * 88200 / 1000);
    EXPECT_TRUE(window->TimerMci.isActive());
    window->mnuSaveAs_Click();
    EXPECT_EQ(dialogs.saveShown[1].startName, path("第一 次.wav"));
    const auto wav = test::readWav(tmp.path() / "第一 次.wav");
    ASSERT_TRUE(wav.has_value());
    EXPECT_EQ(wav->format, (audio::AudioFormat{22050, 2, 16}));
    EXPECT_EQ(wav->data.size(), 2u * 88200);
}

TEST_F(FileCommands, ADialogFailureIsShownAndNothingElseChanges) {
    recordFor(500);
    window->cmdStop_Click();
    window->dlgMciSave.FileName = path("kept.wav");
    dialogs.saves = {{SaveDialogResult::Failed, "对话框出错"}};
    window->mnuSaveAs_Click();
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(dialogs.asked[0].text, "对话框出错");
    EXPECT_EQ(dialogs.asked[0].buttons, platform::MsgBoxButtons::Ok);
    EXPECT_TRUE(window->IsChanged);
    EXPECT_EQ(window->dlgMciSave.FileName, path("kept.wav"));
    EXPECT_FALSE(window->TimerMci.isActive());
}

// A save the device could not write must not pass for saved: the user is told, the sound
// stays unsaved, and closing asks again instead of discarding it.
TEST_F(FileCommands, AFailedSaveKeepsTheRecordingAndTheWindow) {
    recordFor(700);
    window->cmdStop_Click();
    const auto locked = tmp.path() / "只读";
    std::filesystem::create_directory(locked);
    dialogs.saves = {{SaveDialogResult::Chosen,
                      QString::fromStdString((tmp.path() / "无此目录" / "a.wav").string())}};
    window->mnuSaveAs_Click();
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_TRUE(dialogs.asked[0].text.contains("无法保存"));
    EXPECT_TRUE(dialogs.asked[0].text.contains("无此目录"));
    EXPECT_TRUE(dialogs.asked[0].text.endsWith("：文件夹不存在。"))
        << dialogs.asked[0].text.toStdString();
    EXPECT_EQ(dialogs.asked[0].title, "万声匣");
    EXPECT_TRUE(window->IsChanged);
    EXPECT_TRUE(window->dlgMciSave.FileName.isEmpty());

    // Closing: Yes, and the save fails again → the window stays open with the sound.
    dialogs.answers = {MsgBoxResult::Yes};
    dialogs.saves = {{SaveDialogResult::Chosen, QString::fromStdString((locked / "/").string())}};
    bool unloaded = false;
    QObject::connect(window.get(), &frmMain::unloaded, [&] { unloaded = true; });
    window->mnuExit_Click();
    EXPECT_FALSE(unloaded);
    EXPECT_EQ(engine.device("RecordDev")->lengthBytes(), 700u * 88200 / 1000);
    EXPECT_TRUE(std::filesystem::is_empty(locked));
}

// FLAC, Opus and MP3 from the dialog: the typed extension wins over the selected filter, a
// bare name takes the filter's; each save counts as saved and playback resumes, and one
// that fails in the background is reported like a WAV save that fails.
TEST_F(FileCommands, EncodedSavesFollowTheNameOrTheFilter) {
    recordFor(1500);
    window->cmdStop_Click();
    window->cmdPlay_Click();
    const auto magic = [&](const std::string& name) {
        std::ifstream in(tmp.path() / name, std::ios::binary);
        std::string head(4, '\0');
        in.read(head.data(), 4);
        return head;
    };
    dialogs.saves = {{SaveDialogResult::Chosen, path("a.FLAC"), 1},
                     {SaveDialogResult::Chosen, path("b"), 3},
                     {SaveDialogResult::Chosen, path("c.mp3"), 2},
                     {SaveDialogResult::Chosen, path("无此目录/d"), 2}};
    for (const char* name : {"a.FLAC", "b.opus", "c.mp3"}) {
        window->IsChanged = true;
        window->mnuSaveAs_Click();
        EXPECT_EQ(window->dlgMciSave.FileName, path(name));
        EXPECT_FALSE(window->IsChanged) << name;
        EXPECT_TRUE(dialogs.asked.empty()) << name;
        EXPECT_EQ(engine.device("RecordDev")->mode(), mci::WaveAudioDevice::Mode::Playing);
    }
    // Each Save As opens on the type the last one saved, whichever filter was selected.
    ASSERT_EQ(dialogs.saveShown.size(), 3u);
    EXPECT_EQ(dialogs.saveShown[1].startFilter, 2);  // FLAC, typed under the Wave filter
    EXPECT_EQ(dialogs.saveShown[2].startFilter, 3);  // Opus, chosen as the filter
    EXPECT_EQ(magic("a.FLAC"), "fLaC");
    EXPECT_EQ(magic("b.opus"), "OggS");
    EXPECT_EQ(uint8_t(magic("c.mp3")[0]), 0xFF) << "an MPEG frame, not RIFF";

    window->IsChanged = true;
    window->mnuSaveAs_Click();
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_TRUE(dialogs.asked[0].text.contains("无此目录/d.flac"));
    EXPECT_TRUE(dialogs.asked[0].text.endsWith("：文件夹不存在。"));
    EXPECT_TRUE(window->IsChanged);
    EXPECT_TRUE(window->dlgMciSave.FileName.isEmpty());
}

// A long encoded save shows its progress after about a second, and the progress moves while
// the encoder runs: it never goes back, and it is seen between 0 and 100 % on the way.
TEST_F(FileCommands, AnEncodedSavesProgressMovesWhileItRuns) {
    recordFor(8 * 60 * 1000);  // MP3 takes seconds to encode it, even on a fast machine
    window->cmdStop_Click();
    dialogs.saves = {{SaveDialogResult::Chosen, path("long.mp3"), 1}};
    std::vector<int> seen;
    QTimer watch;
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* progress = qobject_cast<QProgressDialog*>(top);
                progress && progress->isVisible())
                seen.push_back(progress->value());
    });
    watch.start();
    window->mnuSaveAs_Click();
    watch.stop();
    ASSERT_FALSE(seen.empty()) << "the save ended before its progress showed";
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [](int p) { return p > 0 && p < 100; }))
        << "only " << seen.front() << " to " << seen.back() << " % in " << seen.size() << " looks";
    EXPECT_FALSE(window->IsChanged);
}
