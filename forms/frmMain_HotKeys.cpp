// The hot-key overview, the notice when the keys do not reach the program, and other keys
// for the three hot keys: kept in the settings, chosen from the overview.
#include "frmHotKey.h"
#include "frmHotKeyChange.h"
#include "frmMain.h"
#include "ui_frmHotKey.h"

#include <QSettings>

namespace wsx {

using namespace platform;

namespace {

// The settings file of the program (RecorderSettings keeps its path).
QSettings programSettings() {
    return QSettings(QString::fromStdString(RecorderSettings::defaultFile()), QSettings::IniFormat);
}

const char* noticeFor(HotKeyReach reach) {
    switch (reach) {
    case HotKeyReach::NoGlobalKeys: return "这个桌面不给程序全局热键";
    case HotKeyReach::TakenByOther: return "另一个程序占用了这些热键";
    case HotKeyReach::TakenByDesktop: return "桌面自己的快捷键占用了这些热键";
    case HotKeyReach::Pending:
    case HotKeyReach::Working: break;
    }
    return nullptr;
}

}  // namespace

QString frmMain::hotKeyNotice() const {
    const char* cause = noticeFor(m_services.hotKeys.reach());
    if (cause == nullptr) return {};
    return QString::fromUtf8(cause) +
           QStringLiteral(
               "，它们现在不起作用。请在桌面的键盘设置里把按键绑定到命令 "
               "wanshengxia --record、--stop、--play。");
}

void frmMain::HotKeysReachChanged() {
    const QString notice = hotKeyNotice();
    if (m_overview != nullptr) m_overview->showNotice(notice);
    if (notice.isEmpty() || m_unloaded) return;
    QSettings settings = programSettings();
    if (settings.value(QStringLiteral("HotKeys/NoticeShown")).toBool()) return;
    settings.setValue(QStringLiteral("HotKeys/NoticeShown"), true);
    if (m_services.tray.trayAvailable()) m_tray.TrayNotify("声匣热键", notice.toStdString());
    else
        m_services.dialogs.MsgBox(this, notice, MsgBoxButtons::Ok, MsgBoxIcon::Information,
                                  kAppTitle);
}

void frmMain::mnuHotKey_Click() {
    frmHotKey dialog(hotKeyNotice());
    dialog.showKeys(m_tray.HotKeyChords);
    connect(dialog.ui->cmdChange, &QPushButton::clicked, &dialog,
            [this, &dialog] { cmdChangeHotKeys_Click(dialog); });
    m_overview = &dialog;
    dialog.exec();
    m_overview = nullptr;
}

void frmMain::mnuHotKeyH_Click() { mnuHotKey_Click(); }

void frmMain::LoadHotKeys() {
    ModuleTray::HotKeyChoice keys = ModuleTray::StandardHotKeys();
    for (size_t i = 0; i < keys.size(); ++i)
        keys[i] = m_settings.hotKey(ModuleTray::kHotKeys[i].name).value_or(keys[i]);
    // Kept keys that clash (an edited file) would leave a command without its key.
    m_tray.HotKeyChords =
        hotKeyChoiceProblem(keys).isEmpty() ? keys : ModuleTray::StandardHotKeys();
}

void frmMain::ChangeHotKeys(const ModuleTray::HotKeyChoice& keys) {
    m_tray.UnregisterHotKeys();
    m_tray.HotKeyChords = keys;
    for (size_t i = 0; i < keys.size(); ++i)
        m_settings.setHotKey(ModuleTray::kHotKeys[i].name, keys[i]);
    m_tray.RegisterHotKeys();
}

void frmMain::cmdChangeHotKeys_Click(frmHotKey& overview) {
    frmHotKeyChange chooser(m_tray.HotKeyChords, &overview);
    // Held keys never reach the editors (a grab takes them first): typing the current keys
    // would run their commands instead. They are let go while the chooser is open.
    m_tray.UnregisterHotKeys();
    if (chooser.exec() != QDialog::Accepted) {
        m_tray.RegisterHotKeys();
        return;
    }
    ChangeHotKeys(chooser.choice());
    overview.showKeys(m_tray.HotKeyChords);
    // X11 answers at once; a portal answers later, through HotKeysReachChanged.
    overview.showNotice(hotKeyNotice());
}

}  // namespace wsx
