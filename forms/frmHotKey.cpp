#include "frmHotKey.h"

#include "CaptionFit.h"
#include "ui_frmHotKey.h"

#include <QIcon>
#include <QPushButton>

namespace wsx {

frmHotKey::frmHotKey(const QString& notice, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::frmHotKey>()) {
    ui->setupUi(this);
    fitCaptions(this);
    if (!notice.isEmpty()) {
        // Below the keys, in the keys' width, in the dialog's own face; the lines and the
        // button move down by its height.
        lblNotice = new QLabel(notice, this);
        lblNotice->setObjectName(QStringLiteral("lblNotice"));
        lblNotice->setWordWrap(true);
        lblNotice->setStyleSheet(QStringLiteral("color: #800000;"));
        const int noticeWidth = ui->Label1->width();
        const int noticeHeight = lblNotice->heightForWidth(noticeWidth);
        lblNotice->setGeometry(ui->Label1->x(), ui->Line2->y() - 4, noticeWidth, noticeHeight);
        const int shift = noticeHeight + 4;
        for (QWidget* below : {static_cast<QWidget*>(ui->Line1), static_cast<QWidget*>(ui->Line2),
                               static_cast<QWidget*>(ui->cmdOk)})
            below->move(below->x(), below->y() + shift);
        resize(width(), height() + shift);
    }
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
