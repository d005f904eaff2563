// Takes an earlier run left, failures the window tells, and ending without the close
// question: the window's side of never losing a take.
#include "engine/take/TakeStore.h"
#include "support/RecorderFixture.h"
#include "support/WavReader.h"
#include "ui_frmMain.h"

#include <QRegularExpression>

#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace wsx;
using platform::MsgBoxButtons;
using platform::MsgBoxIcon;
using platform::MsgBoxResult;
using platform::SaveDialogResult;
using wsx::test::RecorderTest;

class Takes : public RecorderTest {
protected:
    // What an earlier run leaves when it ends without closing its element: `ms` of 11025 Hz
    // mono sound of the value `value`, recorded by another engine on the same folder.
    void leaveTake(uint64_t ms, int16_t value) {
        backend.setSignal(test::constantSignal(value));
        mci::MciEngine earlier(backend, mci::EngineOptions{takeFolder()});
        ASSERT_EQ(earlier.mciSendString("open new type waveaudio alias B", nullptr), 0u);
        ASSERT_EQ(
            earlier.mciSendString(
                "set B time format ms bitspersample 16 samplespersec 11025 channels 1", nullptr),
            0u);
        ASSERT_EQ(earlier.mciSendString("record B", nullptr), 0u);
        backend.advance(ms);
        ASSERT_EQ(earlier.mciSendString("pause B", nullptr), 0u);
    }
    // What a killed run leaves: the child records, maybe saves, and ends without any
    // destructor, as after SIGKILL.
    void leaveKilledTake(bool save) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            mci::MciEngine killed(backend, mci::EngineOptions{takeFolder()});
            killed.mciSendString("open new type waveaudio alias K", nullptr);
            if (save) {
                killed.mciSendString("record K", nullptr);
                backend.advance(500);
                killed.mciSendString("pause K", nullptr);
                killed.mciSendString("save K \"" + (tmp.path() / "k.wav").string() + "\"", nullptr);
            }
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
    }
    size_t takesLeft() { return mci::TakeStore(takeFolder()).orphans().size(); }
};

TEST_F(Takes, ALeftTakeIsOfferedAndBecomesTheRecording) {
    leaveTake(2000, 1234);
    dialogs.answers = {MsgBoxResult::Yes};
    window->RecoverLeftTake();
    ASSERT_EQ(dialogs.asked.size(), 1u);
    const auto& question = dialogs.asked[0];
    EXPECT_TRUE(QRegularExpression(
                    QStringLiteral("^上次的录音没有保存就中断了（长度 00:02，开始于 "
                                   "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d）。是否恢复这段录音？$"))
                    .match(question.text)
                    .hasMatch())
        << question.text.toStdString();
    EXPECT_EQ(question.buttons, MsgBoxButtons::YesNoCancel);
    EXPECT_EQ(question.icon, MsgBoxIcon::Question);
    EXPECT_EQ(question.title, "万声匣");

    // The take is the window's recording now: stopped, unsaved, in its own format.
    EXPECT_TRUE(window->IsChanged);
    EXPECT_TRUE(window->ui->cmdPlay->isEnabled());
    EXPECT_TRUE(window->ui->mnuSaveAs->isEnabled());
    EXPECT_TRUE(window->ui->mnuDelBack->isEnabled());
    EXPECT_EQ(window->ui->lblLen->text(), "文件长度：00:02");
    EXPECT_EQ(window->ui->Slider->maximum(), 2);
    EXPECT_TRUE(window->ui->opt11025->isChecked());
    EXPECT_TRUE(window->ui->optSingle->isChecked());
    EXPECT_FALSE(window->ui->opt11025->isEnabled());

    // It saves exactly what was recorded, and Record goes on in the same take.
    dialogs.saves = {
        {SaveDialogResult::Chosen, QString::fromStdString((tmp.path() / "r.wav").string())}};
    window->mnuSaveAs_Click();
    const auto saved = test::readWav(tmp.path() / "r.wav");
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->format.sampleRate, 11025u);
    EXPECT_EQ(saved->format.channels, 1u);
    const std::vector<int16_t> samples = test::samples16(saved->data);
    EXPECT_EQ(samples.size(), 22050u);
    EXPECT_TRUE(std::all_of(samples.begin(), samples.end(), [](int16_t s) { return s == 1234; }));
    EXPECT_EQ(takesLeft(), 0u);  // the window holds it now
}

TEST_F(Takes, NoAndCancelKeepTheTakeForLaterAndOnlyASecondYesDiscardsIt) {
    leaveTake(1000, 7);
    dialogs.answers = {MsgBoxResult::Cancel};
    window->RecoverLeftTake();
    EXPECT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(takesLeft(), 1u);

    dialogs.asked.clear();
    dialogs.answers = {MsgBoxResult::No, MsgBoxResult::No};
    window->RecoverLeftTake();
    ASSERT_EQ(dialogs.asked.size(), 2u);
    EXPECT_EQ(dialogs.asked[1].text, "确实放弃这段录音吗？放弃后无法找回。");
    EXPECT_EQ(dialogs.asked[1].buttons, MsgBoxButtons::YesNoNoDefault);
    EXPECT_EQ(takesLeft(), 1u);
    EXPECT_FALSE(window->IsChanged);
    EXPECT_FALSE(window->ui->cmdPlay->isEnabled());

    dialogs.asked.clear();
    dialogs.answers = {MsgBoxResult::No, MsgBoxResult::Yes};
    window->RecoverLeftTake();
    EXPECT_EQ(dialogs.asked.size(), 2u);
    EXPECT_EQ(takesLeft(), 0u);
}

TEST_F(Takes, EmptyAndSavedTakesOfKilledRunsGoWithoutAQuestion) {
    leaveKilledTake(/*save=*/true);
    leaveKilledTake(/*save=*/false);
    window->RecoverLeftTake();
    EXPECT_TRUE(dialogs.asked.empty());
    EXPECT_EQ(takesLeft(), 0u);
    EXPECT_TRUE(std::filesystem::exists(tmp.path() / "k.wav"));
}

TEST_F(Takes, EndingOnASignalLeavesUnsavedSoundOpenAndClosesAnythingElse) {
    bool unloaded = false;
    QObject::connect(window.get(), &frmMain::unloaded, [&unloaded] { unloaded = true; });
    recordFor(1000);
    window->EndSession();
    EXPECT_TRUE(unloaded);
    EXPECT_TRUE(dialogs.asked.empty());  // no close question
    // The element was paused, not closed: the engine keeps its take when it goes.
    ASSERT_NE(engine.device("RecordDev"), nullptr);
    EXPECT_EQ(engine.device("RecordDev")->mode(), mci::WaveAudioDevice::Mode::Paused);

    window = std::make_unique<frmMain>(services);
    window->Form_Load();  // closes the old element, as a new program's device would be new
    window->EndSession();
    EXPECT_EQ(engine.device("RecordDev"), nullptr);
}

TEST_F(Takes, ATakeThatStopsByItselfIsStoppedToldAndKept) {
    window->show();
    recordFor(1000);
    // A pause of the window's own (the close question is open) is no failure.
    ASSERT_EQ(send("pause RecordDev"), 0u);
    tickAfter(100);
    EXPECT_TRUE(window->IsRecording);
    EXPECT_TRUE(dialogs.asked.empty());
    ASSERT_EQ(send("record RecordDev"), 0u);
    backend.failStreams();
    tickAfter(100);
    EXPECT_FALSE(window->IsRecording);
    EXPECT_TRUE(window->ui->cmdPlay->isEnabled());
    EXPECT_TRUE(window->IsChanged);
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(dialogs.asked[0].text,
              "录音停止了：与声音服务器的连接中断了。已经录下的 00:01 都保留着，可以播放和保存。");
    EXPECT_EQ(dialogs.asked[0].buttons, MsgBoxButtons::Ok);

    // Hidden in the tray, the same news comes as a notification beside the icon.
    window->setWindowState(Qt::WindowMinimized);
    QApplication::processEvents();
    ASSERT_FALSE(window->isVisible());
    window->cmdPlay_Click();
    ASSERT_TRUE(window->IsPlaying);
    backend.failStreams();
    tickAfter(100);
    EXPECT_FALSE(window->IsPlaying);
    EXPECT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(tray.calls.back().flags, platform::NIF_INFO);
    EXPECT_EQ(tray.calls.back().info, "播放停止了：与声音服务器的连接中断了。");
}

TEST_F(Takes, ADamagedTakeIsSalvagedOrReportedAndNeverRemovedUnasked) {
    leaveTake(2000, 55);
    const auto take = std::filesystem::directory_iterator(takeFolder())->path();
    // A journal of garbage: its sound is offered whole, and the question says what is lost.
    {
        std::ofstream journal(take / "journal", std::ios::binary | std::ios::trunc);
        for (int i = 0; i < 5000; ++i) journal.put(char(i * 7919 % 251));
    }
    dialogs.answers = {MsgBoxResult::Cancel};
    window->RecoverLeftTake();
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_TRUE(dialogs.asked[0].text.startsWith(QStringLiteral("上次的录音没有保存就中断了（长度 00:02，")));
    EXPECT_TRUE(dialogs.asked[0].text.endsWith(
        QStringLiteral("）。最后的几步编辑无法读取，只能恢复读得出的部分。是否恢复这段录音？")))
        << dialogs.asked[0].text.toStdString();
    EXPECT_EQ(takesLeft(), 1u);

    // A FIFO in place of the journal: reported at once (no hang), the take left as it is.
    std::filesystem::remove(take / "journal");
    ASSERT_EQ(::mkfifo((take / "journal").c_str(), 0600), 0);
    dialogs.asked.clear();
    dialogs.answers = {MsgBoxResult::Ok};
    window->RecoverLeftTake();
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_TRUE(dialogs.asked[0].text.startsWith(QStringLiteral("上次中断的录音无法读取，不能恢复。")));
    EXPECT_EQ(std::filesystem::file_size(take / "sound"), 44100u);
    EXPECT_FALSE(window->IsChanged);
}

TEST_F(Takes, SilenceForAStallIsToldOncePerTakeInABoxOrBesideTheTray) {
    window->show();
    recordFor(500);
    backend.stallCapture(3000);  // a suspended server: no sound for three seconds
    tickAfter(500);
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(dialogs.asked[0].text, "录音中有 3 秒没有收到声音，这段用静音补上了。");
    EXPECT_EQ(dialogs.asked[0].icon, MsgBoxIcon::Information);
    EXPECT_EQ(dialogs.asked[0].buttons, MsgBoxButtons::Ok);
    EXPECT_EQ(window->ui->lblLen->text(), "文件长度：00:04");
    EXPECT_TRUE(window->IsRecording);

    backend.stallCapture(2000);  // once per take
    tickAfter(200);
    window->cmdStop_Click();
    EXPECT_EQ(dialogs.asked.size(), 1u);

    // The next take, recorded while the window is hidden in the tray: a notification.
    dialogs.answers = {MsgBoxResult::No};  // the new-recording question: do not save
    window->mnuNew_Click();
    window->setWindowState(Qt::WindowMinimized);
    QApplication::processEvents();
    ASSERT_FALSE(window->isVisible());
    recordFor(100);
    backend.stallCapture(1400);
    tickAfter(100);
    EXPECT_EQ(tray.calls.back().flags, platform::NIF_INFO);
    EXPECT_EQ(tray.calls.back().info, "录音中有 1 秒没有收到声音，这段用静音补上了。");
    EXPECT_EQ(dialogs.asked.size(), 2u);  // only the new-recording question
}
