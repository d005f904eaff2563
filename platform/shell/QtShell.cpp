#include "platform/shell/QtShell.h"

#include "platform/shell/DesktopAssociations.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QUrl>

namespace wsx::platform {

namespace {

constexpr int kStarted = 42;

// An address names its scheme ("https:", "mailto:"); a path does not. A leading '/' is
// always a path, even when a later ':' would parse as a scheme.
bool isAddress(const QString& target) {
    if (target.startsWith(u'/')) return false;
    const QUrl url(target, QUrl::StrictMode);
    return url.isValid() && url.scheme().size() > 1;
}

// How long the opener may take to say whether it could open something (ms). Most return as
// soon as the program has started; where xdg-open runs the program itself it returns only
// when that program ends, and a run this long counts as opened.
constexpr int kOpenerPatienceMs = 1500;

// Hands `target` (an address, or a local file as a file:// address) to xdg-open and judges by
// its exit status: 0 opened, anything else (no program for the type, "no method available",
// a launch that failed) did not. The desktop's opener runs on unwatched when it takes longer.
bool runOpener(const QUrl& target) {
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) return false;
    auto* process = new QProcess;
    process->setProgram(opener);
    process->setArguments({target.toString(QUrl::FullyEncoded)});
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    process->start();
    if (!process->waitForStarted()) {
        delete process;
        return false;
    }
    // Whenever it ends, the process object goes with it.
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    if (!process->waitForFinished(kOpenerPatienceMs)) return true;
    return process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
}

}  // namespace

int QtShell::ShellExecute(const std::string& target, int /*showCommand*/) {
    const QString text = QString::fromStdString(target);
    if (text.isEmpty()) return SE_ERR_FNF;

    if (isAddress(text)) return runOpener(QUrl(text, QUrl::StrictMode)) ? kStarted : SE_ERR_NOASSOC;

    const QFileInfo file(text);
    if (!file.exists()) return SE_ERR_FNF;
    // The program FindExecutable names, when there is one; the desktop's opener otherwise.
    if (openWithDefaultProgram(file.absoluteFilePath().toStdString())) return kStarted;
    return runOpener(QUrl::fromLocalFile(file.absoluteFilePath())) ? kStarted : SE_ERR_NOASSOC;
}

int QtShell::FindExecutable(const std::string& file, std::string& program) {
    program.clear();
    if (file.empty() || !QFileInfo::exists(QString::fromStdString(file))) return SE_ERR_FNF;
    program = defaultProgramFor(file);
    return program.empty() ? SE_ERR_NOASSOC : kStarted;
}

bool QtShell::StartProgram(const std::string& path) {
    if (path.empty()) return false;
    return QProcess::startDetached(QString::fromStdString(path), QStringList{});
}

}  // namespace wsx::platform
