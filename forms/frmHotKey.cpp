#include "frmHotKey.h"

#include "CaptionFit.h"
#include "frmHotKeyChange.h"
#include "ui_frmHotKey.h"

#include <QIcon>
#include <QPixmap>
#include <QPushButton>

#include <algorithm>

namespace wsx {

using platform::HotKeyChord;

namespace {

// The picture the list shows for an arrow key; "" for other keys.
QString arrowPicture(uint32_t vk) {
    switch (vk) {
    case platform::VK_DOWN: return QStringLiteral(":/icons/ARROW_DOWN");
    case platform::VK_UP: return QStringLiteral(":/icons/ARROW_UP");
    case platform::VK_RIGHT: return QStringLiteral(":/icons/ARROW_RIGHT");
    default: return {};
    }
}

}  // namespace

frmHotKey::frmHotKey(const QString& notice, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::frmHotKey>()) {
    ui->setupUi(this);
    fitCaptions(this);
    showNotice(notice);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    QIcon icon(QStringLiteral(":/icons/HOTKEY"));
    icon.addFile(QStringLiteral(":/icons/HOTKEY_16"));
    setWindowIcon(icon);
    setWindowModality(Qt::ApplicationModal);
    connect(ui->cmdOk, &QPushButton::clicked, this, &frmHotKey::cmdOk_Click);
}

frmHotKey::~frmHotKey() = default;

// Enter presses the default button and Esc rejects the dialog: both close it.
void frmHotKey::cmdOk_Click() { accept(); }

void frmHotKey::showKeys(const ModuleTray::HotKeyChoice& keys,
                         const ModuleTray::ReportedHotKeys& reported) {
    struct Row {
        int32_t id;
        QLabel* label;
        QLabel* image;
        int imageGap;  // from the label's right edge, as the form places it
    };
    const Row rows[] = {{ModuleTray::kHotKeyRecord, ui->Label2, ui->Image1, 5},
                        {ModuleTray::kHotKeyStop, ui->Label4, ui->Image3, 5},
                        {ModuleTray::kHotKeyPlay, ui->Label3, ui->Image2, 3}};
    for (const Row& row : rows) {
        HotKeyChord chord;
        std::string desktopWords;
        for (size_t i = 0; i < keys.size(); ++i) {
            if (ModuleTray::kHotKeys[i].id != row.id) continue;
            chord = keys[i];
            desktopWords = reported[i];
        }
        if (const auto desktopChord = platform::chordFromText(desktopWords)) {
            chord = *desktopChord;
            desktopWords.clear();
        }
        const QString caption = row.label->text().section(QStringLiteral("："), 0, 0);
        // In the key chooser's words, or as the desktop writes a trigger it reported that is
        // no chord of ours; an arrow is a picture named after its key.
        QString words = desktopWords.empty() ? chordWords(chord)
                                             : QString::fromStdString(desktopWords);
        if (!desktopWords.empty()) chord = {};
        const QString picture = arrowPicture(chord.vk);
        const qsizetype keyStart = words.lastIndexOf(QLatin1Char('+')) + 1;
        const QString keyName = words.mid(keyStart);
        if (!picture.isEmpty()) words.truncate(keyStart);
        row.image->setAccessibleName(keyName);
        row.image->setToolTip(keyName);
        row.label->setText(caption + QStringLiteral("：") + words);
        // Longer words widen the label (up to the dialog's edge) and push the arrow along.
        // Measured in the label's style-sheet face, which it has only once polished.
        row.label->ensurePolished();
        const int wanted = row.label->fontMetrics().horizontalAdvance(row.label->text()) + 2;
        const int room = width() - row.label->x() - (picture.isEmpty() ? 8 : 8 + 18);
        row.label->resize(std::clamp(wanted, 118, room), row.label->height());
        row.image->setVisible(!picture.isEmpty());
        if (!picture.isEmpty()) {
            row.image->setPixmap(QPixmap(picture));
            row.image->move(row.label->geometry().right() + 1 + row.imageGap, row.image->y());
        }
    }
}

void frmHotKey::showNotice(const QString& notice) {
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    int shift = 0;
    if (notice.isEmpty()) {
        delete lblNotice;
        lblNotice = nullptr;
    } else {
        // Below the keys, in the keys' width, in the dialog's own face; the lines and the
        // buttons move down by its height.
        if (lblNotice == nullptr) {
            lblNotice = new QLabel(this);
            lblNotice->setObjectName(QStringLiteral("lblNotice"));
            lblNotice->setWordWrap(true);
            lblNotice->setStyleSheet(QStringLiteral("color: #800000;"));
        }
        lblNotice->setText(notice);
        const int noticeWidth = ui->Label1->width();
        const int noticeHeight = lblNotice->heightForWidth(noticeWidth);
        lblNotice->setGeometry(ui->Label1->x(), ui->Line2->y() - m_noticeShift - 4, noticeWidth,
                               noticeHeight);
        lblNotice->show();
        shift = noticeHeight + 4;
    }
    for (QWidget* below : {static_cast<QWidget*>(ui->Line1), static_cast<QWidget*>(ui->Line2),
                           static_cast<QWidget*>(ui->cmdOk), static_cast<QWidget*>(ui->cmdChange)})
        below->move(below->x(), below->y() + shift - m_noticeShift);
    resize(width(), height() + shift - m_noticeShift);
    m_noticeShift = shift;
    setFixedSize(size());
}

}  // namespace wsx
