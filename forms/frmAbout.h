#pragma once

#include "platform/dialogs/DialogService.h"
#include "platform/registry/Registry.h"
#include "platform/shell/ShellService.h"

#include <QDialog>

#include <memory>
#include <string>

namespace Ui {
class frmAbout;
}

namespace wsx {

// The About box: title, version, description, the maker's links, and a button that starts
// the machine's system-information program. Created afresh for each showing.
// Thread safety: UI thread only.
class frmAbout final : public QDialog {
    Q_OBJECT
public:
    frmAbout(registry::Registry& registry, platform::ShellService& shell,
             platform::DialogService& dialogs, QWidget* parent = nullptr);
    ~frmAbout() override;

    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click();
    void lblWeb_Click();
    void txtMail_Click();
    void StartSysInfo();
    // Reads one registry value as text into KeyVal; false (and KeyVal empty) on failure.
    bool GetKeyValue(registry::HKEY KeyRoot, const std::string& KeyName,
                     const std::string& SubKeyRef, std::string& KeyVal);

    std::unique_ptr<Ui::frmAbout> ui;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Widens the e-mail field to show the whole address, as far as the box allows.
    void showMailWhole();

    registry::Registry& m_registry;
    platform::ShellService& m_shell;
    platform::DialogService& m_dialogs;
};

}  // namespace wsx
