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

void frmMain::mnuHelpTopic_Click() {
    const std::string path = EnsureTrailingSlash(programFolder()) + "record.chm";
    m_services.shell.ShellExecute(path, platform::SW_SHOWNORMAL);
}

}  // namespace wsx
