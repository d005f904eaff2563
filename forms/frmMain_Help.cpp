// Start with the desktop session, the About box and the help file.
#include "Paths.h"
#include "frmAbout.h"
#include "frmMain.h"
#include "ui_frmMain.h"

namespace wsx {

void frmMain::chkStart_Click() {
    const std::string value = ui->chkStart->checkState() != Qt::Unchecked ? ExePath : std::string();
    m_reg.RegSetString(registry::HKEY_LOCAL_MACHINE, RunKeyPath, RunValueName, value);
}

void frmMain::mnuAbout_Click() {
    frmAbout about(m_services.registry, m_services.shell, m_services.dialogs);
    about.exec();
}

void frmMain::mnuAboutRec_Click() { mnuAbout_Click(); }

// The help is record.chm beside the program, and the same pages as HTML in help/ beside it.
// The CHM opens where the desktop has a viewer for it, the HTML index in the browser
// otherwise; when neither can open, a box names the files and why.
void frmMain::mnuHelpTopic_Click() {
    const std::string folder = EnsureTrailingSlash(programFolder());
    const std::string chm = folder + "record.chm";
    const std::string index = folder + "help/index.html";
    bool anyFound = false;
    for (const std::string& file : {chm, index}) {
        std::string program;
        const int found = m_services.shell.FindExecutable(file, program);
        anyFound = anyFound || found != platform::SE_ERR_FNF;
        if (found > 32 && m_services.shell.ShellExecute(file, platform::SW_SHOWNORMAL) > 32) return;
    }
    const QString text = anyFound
                             ? QStringLiteral(
                                   "无法打开帮助：这个桌面没有能打开帮助文件“%1”的程序，"
                                   "也没有能打开“%2”的网页浏览器。请安装 CHM 阅读器或网页浏览器。")
                             : QStringLiteral("找不到帮助文件“%1”和“%2”。");
    m_services.dialogs.MsgBox(
        this, text.arg(QString::fromStdString(chm), QString::fromStdString(index)),
        platform::MsgBoxButtons::Ok, platform::MsgBoxIcon::Information, kAppTitle);
}

}  // namespace wsx
