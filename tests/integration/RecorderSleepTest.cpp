// The recorder keeps the computer awake while it records, and puts a take away before the
// computer sleeps anyway. logind here is a stand-in on a private bus given as
// DBUS_SYSTEM_BUS_ADDRESS: the real one belongs to the machine, and a test must neither
// inhibit nor send to sleep the computer it runs on. The stand-in answers Inhibit as logind
// does (a descriptor whose closing lets the lock go) and sends PrepareForSleep when told.
#include "engine/take/TakeStore.h"
#include "support/RecorderFixture.h"
#include "ui_frmMain.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QDBusVirtualObject>
#include <QProcess>

#include <poll.h>
#include <unistd.h>

using namespace wsx;
using platform::MsgBoxIcon;

namespace {

class LogindStandIn final : public QDBusVirtualObject {
public:
    struct Inhibitor {
        QString what, who, why, mode;
        int readEnd = -1;  // of a pipe whose write end the caller holds
    };
    ~LogindStandIn() override {
        for (const Inhibitor& i : inhibitors) ::close(i.readEnd);
    }
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != QStringLiteral("Inhibit")) return false;
        const QVariantList a = message.arguments();
        int ends[2];
        if (a.size() != 4 || ::pipe(ends) != 0) return false;
        inhibitors.push_back({a[0].toString(), a[1].toString(), a[2].toString(),
                              a[3].toString(), ends[0]});
        connection.send(message.createReply(QVariant::fromValue(QDBusUnixFileDescriptor(ends[1]))));
        ::close(ends[1]);  // the reply holds its own copy
        return true;
    }
    // The inhibitors of `mode` whose descriptor the caller still holds.
    std::vector<Inhibitor> held(const QString& mode) const {
        std::vector<Inhibitor> out;
        for (const Inhibitor& i : inhibitors) {
            pollfd p{i.readEnd, 0, 0};
            if (i.mode == mode && !(::poll(&p, 1, 0) == 1 && (p.revents & POLLHUP)))
                out.push_back(i);
        }
        return out;
    }
    std::vector<Inhibitor> inhibitors;
};

class Sleep : public test::RecorderTest {
protected:
    Sleep() {
        dbus.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--session"), QStringLiteral("--nofork"),
                    QStringLiteral("--print-address=1"),
                    QStringLiteral("--address=unix:path=") +
                        QString::fromStdString((tmp.path() / "system_bus_socket").string())});
        dbus.waitForReadyRead(5000);
        const QByteArray address = dbus.readLine().trimmed();
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", address.constData(), 1);
        logind.emplace(QDBusConnection::connectToBus(QString::fromUtf8(address), "logind"));
        recorderBus.emplace(QDBusConnection::connectToBus(
            QString::fromLocal8Bit(qgetenv("DBUS_SYSTEM_BUS_ADDRESS")), "recorder"));
        guard.emplace(*recorderBus);
        services.sleep = &*guard;
    }
    ~Sleep() override {
        guard.reset();
        QDBusConnection::disconnectFromBus("recorder");
        QDBusConnection::disconnectFromBus("logind");
        dbus.kill();
        dbus.waitForFinished();
    }
    void serveLogind() {
        ASSERT_TRUE(logind->registerService(QStringLiteral("org.freedesktop.login1")));
        ASSERT_TRUE(logind->registerVirtualObject(QStringLiteral("/org/freedesktop/login1"),
                                                  &standIn));
    }
    void prepareForSleep(bool start) {
        QDBusMessage signal = QDBusMessage::createSignal(
            QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"));
        signal << start;
        logind->send(signal);
    }
    // Runs the event loop until `condition` holds, two seconds at most.
    template <class Condition>
    bool settle(Condition condition) {
        for (int i = 0; i < 400 && !condition(); ++i) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            ::usleep(5000);
        }
        return condition();
    }
    size_t heldCount(const char* mode) { return standIn.held(QString::fromLatin1(mode)).size(); }

    QProcess dbus;
    std::optional<QDBusConnection> logind, recorderBus;
    LogindStandIn standIn;
    std::optional<platform::SleepGuard> guard;
};

}  // namespace

TEST_F(Sleep, TheComputerIsKeptAwakeExactlyWhileATakeRecordsAndItIsPutAwayBeforeASleep) {
    ASSERT_TRUE(recorderBus->isConnected()) << "no private bus";
    serveLogind();
    window->show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(standIn.inhibitors.empty()) << "nothing held before recording";

    recordFor(500);
    ASSERT_TRUE(settle([&] { return heldCount("block") == 1 && heldCount("delay") == 1; }));
    const auto block = standIn.held(QStringLiteral("block"))[0];
    EXPECT_EQ(block.what, "sleep:idle");
    EXPECT_EQ(block.who, "万声匣");
    EXPECT_EQ(block.why, "正在录音");
    EXPECT_EQ(standIn.held(QStringLiteral("delay"))[0].what, "sleep");
    window->cmdStop_Click();
    EXPECT_TRUE(settle([&] { return heldCount("block") == 0 && heldCount("delay") == 0; }));

    // The machine sleeps anyway (the lid): the take is paused and on disk before the delay
    // lock goes, and after waking the user learns where it paused.
    window->cmdRecord_Click();
    tickAfter(1000);
    ASSERT_TRUE(settle([&] { return heldCount("block") == 1 && heldCount("delay") == 1; }));
    prepareForSleep(true);
    ASSERT_TRUE(settle([&] { return heldCount("delay") == 0; }));
    EXPECT_FALSE(window->IsRecording);
    EXPECT_EQ(engine.device("RecordDev")->mode(), mci::WaveAudioDevice::Mode::Paused);
    EXPECT_EQ(heldCount("block"), 0u);
    const auto take = std::filesystem::directory_iterator(takeFolder())->path();
    const mci::TakeInfo onDisk = mci::TakeStore::inspect(take);
    EXPECT_TRUE(onDisk.intact);
    EXPECT_EQ(onDisk.lengthMs, 1500u) << "all that was captured, journalled";
    EXPECT_TRUE(dialogs.asked.empty()) << "nothing said before the sleep";

    prepareForSleep(false);
    ASSERT_TRUE(settle([&] { return !dialogs.asked.empty(); }));
    EXPECT_EQ(dialogs.asked[0].text, "电脑睡眠前，录音在 00:02 处暂停了，已经录下的都保留着。");
    EXPECT_EQ(dialogs.asked[0].icon, MsgBoxIcon::Information);
    EXPECT_EQ(heldCount("delay"), 0u) << "not recording: nothing taken again";
}

TEST_F(Sleep, WithoutLogindRecordingGoesOnAsBefore) {
    ASSERT_TRUE(recorderBus->isConnected()) << "no private bus";
    recordFor(300);
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    tickAfter(300);
    EXPECT_TRUE(window->IsRecording);
    window->cmdStop_Click();
    EXPECT_EQ(window->ui->lblLen->text(), "文件长度：00:01");
    EXPECT_TRUE(dialogs.asked.empty());
}
