#include "platform/shell/QtShell.h"

#include "platform/shell/DesktopAssociations.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
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

}  // namespace

int QtShell::ShellExecute(const std::string& target, int /*showCommand*/) {
    const QString text = QString::fromStdString(target);
    if (text.isEmpty()) return SE_ERR_FNF;

    if (isAddress(text))
        return QDesktopServices::openUrl(QUrl(text, QUrl::StrictMode)) ? kStarted : SE_ERR_NOASSOC;

    const QFileInfo file(text);
    if (!file.exists()) return SE_ERR_FNF;
    // The program FindExecutable names, when there is one; the desktop's opener otherwise.
    if (openWithDefaultProgram(file.absoluteFilePath().toStdString())) return kStarted;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(file.absoluteFilePath())) ? kStarted
                                                                                   : SE_ERR_NOASSOC;
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
