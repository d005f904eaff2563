#include "frmAbout.h"

#include "CaptionFit.h"
#include "forms/Version.h"
#include "ui_frmAbout.h"

#include <QCursor>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPixmap>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace wsx {

using namespace registry;

frmAbout::frmAbout(Registry& registry, platform::ShellService& shell,
                   platform::DialogService& dialogs, QWidget* parent)
    : QDialog(parent),
      ui(std::make_unique<Ui::frmAbout>()),
      m_registry(registry),
      m_shell(shell),
      m_dialogs(dialogs) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setWindowModality(Qt::ApplicationModal);
    setWindowIcon(QIcon(QStringLiteral(":/icons/DEFAULT")));
    // The maker's addresses are build options.
    ui->lblWeb->setText(QStringLiteral(WSX_WEB_ADDRESS));
    ui->lblWeb->adjustSize();
    ui->txtMail->setText(QStringLiteral(WSX_MAIL_ADDRESS));
    ui->txtMail->setCursorPosition(0);
    showMailWhole();
    // What the pictures are, and what the address box holds, for screen readers.
    ui->picIcon->setAccessibleName(QStringLiteral(WSX_PRODUCT_NAME));
    ui->imgHand->setAccessibleName(QStringLiteral("手形指针：点网址或电子邮件地址即可打开"));
    ui->txtMail->setAccessibleName(QStringLiteral("E-mail"));
    ui->lblWeb->installEventFilter(this);
    ui->txtMail->installEventFilter(this);
    connect(ui->cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(ui->cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);
    ui->cmdOK->setDefault(true);
    Form_Load();
    fitCaptions(this);  // may make the box a little taller
    setFixedSize(size());
}

frmAbout::~frmAbout() = default;

void frmAbout::showMailWhole() {
    // The field is as wide as the layout gives it, wider when the address needs it, up to the
    // OK button beside it; an address longer still is condensed (down to 70 %), and one that
    // does not fit even so shows whole in the field's tool tip.
    QLineEdit& field = *ui->txtMail;
    field.ensurePolished();
    const QMargins margins = field.textMargins() + field.contentsMargins();
    const auto needed = [&] {
        return field.fontMetrics().horizontalAdvance(field.text()) + margins.left() +
               margins.right() + 6;  // the frame and the cursor's room
    };
    const int room = std::max(field.width(), ui->cmdOK->x() - 4 - field.x());
    field.resize(std::clamp(needed(), field.width(), room), field.height());
    QFont font = field.font();
    for (int stretch = 99; stretch >= 70 && needed() > field.width(); --stretch) {
        font.setStretch(stretch);
        field.setFont(font);
    }
    field.setToolTip(needed() > field.width() ? field.text() : QString());
}

void frmAbout::Form_Load() {
    const QString title = QStringLiteral(WSX_PRODUCT_NAME);
    setWindowTitle(QStringLiteral("关于 ") + title);
    ui->lblVersion->setText(QStringLiteral("版本 %1.%2.%3")
                                .arg(WSX_VERSION_MAJOR)
                                .arg(WSX_VERSION_MINOR)
                                .arg(WSX_VERSION_PATCH));
    ui->lblVersion->setText(ui->lblVersion->text() + QStringLiteral("(正式版)"));
    ui->lblTitle->setText(title);
    QPalette palette = ui->txtMail->palette();
    palette.setColor(QPalette::Base, this->palette().color(QPalette::Window));
    ui->txtMail->setPalette(palette);
    // The hand pointer's hot spot is the tip of the index finger.
    const QCursor hand(QPixmap(QStringLiteral(":/icons/HAND")), 11, 0);
    ui->txtMail->setCursor(hand);
    ui->lblWeb->setCursor(hand);
}

bool frmAbout::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        if (watched == ui->lblWeb) lblWeb_Click();
        if (watched == ui->txtMail) txtMail_Click();
    }
    return QDialog::eventFilter(watched, event);
}

void frmAbout::cmdOK_Click() { accept(); }

void frmAbout::cmdSysInfo_Click() { StartSysInfo(); }

void frmAbout::lblWeb_Click() {
    m_shell.ShellExecute("http://" + ui->lblWeb->text().toStdString(), platform::SW_HIDE);
}

void frmAbout::txtMail_Click() {
    m_shell.ShellExecute("mailto:" + ui->txtMail->text().toStdString(), platform::SW_HIDE);
}

void frmAbout::StartSysInfo() {
    std::string path;
    bool found =
        GetKeyValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", path);
    if (!found && GetKeyValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Shared Tools Location",
                              "MSINFO", path)) {
        const std::filesystem::path candidate = std::filesystem::path(path) / "MSINFO32.EXE";
        std::error_code ec;
        if (std::filesystem::is_regular_file(candidate, ec)) {
            path = candidate.string();
            found = true;
        }
    }
    if (found && !path.empty() && m_shell.StartProgram(path)) return;
    m_dialogs.MsgBox(this, QStringLiteral("此时系统信息不可用"), platform::MsgBoxButtons::Ok,
                     platform::MsgBoxIcon::None, QStringLiteral(WSX_PRODUCT_NAME));
}

bool frmAbout::GetKeyValue(HKEY KeyRoot, const std::string& KeyName, const std::string& SubKeyRef,
                           std::string& KeyVal) {
    // Read-control plus the six key rights: enough to read, without asking for full access.
    constexpr REGSAM kAccess = 0x2003F;
    HKEY key = 0;
    bool result = false;
    if (m_registry.RegOpenKeyEx(KeyRoot, KeyName, 0, kAccess, &key) != ERROR_SUCCESS) {
        KeyVal.clear();
    } else {
        std::vector<BYTE> buffer(1024, 0);
        DWORD size = 1024;
        DWORD type = 0;
        if (m_registry.RegQueryValueEx(key, SubKeyRef, &type, buffer.data(), &size) !=
            ERROR_SUCCESS) {
            KeyVal.clear();
        } else {
            // Data that ends with its NUL loses the NUL; data without one is kept whole.
            size_t keep = size;
            if (size > 0 && buffer[size - 1] == 0) keep = size - 1;
            const std::string text(reinterpret_cast<const char*>(buffer.data()), keep);
            if (type == REG_SZ) {
                KeyVal = text;
            } else if (type == REG_DWORD) {
                // Each byte from the last to the first as upper-case hexadecimal without
                // leading zeros, then read as a hexadecimal number.
                std::string hex;
                for (size_t i = text.size(); i-- > 0;) {
                    char digits[4];
                    std::snprintf(digits, sizeof digits, "%X",
                                  unsigned(static_cast<unsigned char>(text[i])));
                    hex += digits;
                }
                KeyVal = hex.empty() ? std::string("0")
                                     : std::to_string(std::stoull(hex.substr(0, 16), nullptr, 16));
            }
            result = true;
        }
    }
    if (key != 0) m_registry.RegCloseKey(key);
    return result;
}

}  // namespace wsx
