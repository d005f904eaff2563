#include "frmHotKey.h"

#include "ui_frmHotKey.h"

#include <QIcon>
#include <QPushButton>

namespace wsx {

frmHotKey::frmHotKey(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::frmHotKey>()) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(size());
    QIcon icon(QStringLiteral(":/icons/HOTKEY"));
    icon.addFile(QStringLiteral(":/icons/HOTKEY_16"));
    setWindowIcon(icon);
    setWindowModality(Qt::ApplicationModal);
    connect(ui->cmdOk, &QPushButton::clicked, this, &frmHotKey::cmdOk_Click);
}

frmHotKey::~frmHotKey() = default;

// Enter presses the default button and Esc rejects the dialog: both close it.
void frmHotKey::cmdOk_Click() { accept(); }

}  // namespace wsx
