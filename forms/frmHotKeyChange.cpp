#include "frmHotKeyChange.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QVBoxLayout>

namespace wsx {

using platform::HotKeyChord;

namespace {

QString captionOf(size_t index) {
    return QString::fromUtf8(ModuleTray::kHotKeys[index].description);
}

// The chord of an editor's first (only) key combination; {0, 0} for none or a key not
// offered.
HotKeyChord chordOf(const QKeySequence& sequence) {
    if (sequence.isEmpty()) return {};
    const QString text = QKeySequence(sequence[0]).toString(QKeySequence::PortableText);
    return platform::chordFromText(text.toStdString()).value_or(HotKeyChord{});
}

QKeySequence sequenceOf(const HotKeyChord& chord) {
    return QKeySequence::fromString(QString::fromStdString(platform::chordText(chord)),
                                    QKeySequence::PortableText);
}

}  // namespace

QString chordWords(const HotKeyChord& chord) {
    return sequenceOf(chord).toString(QKeySequence::NativeText);
}

namespace {

// A key editor for one key combination that leaves Tab, Return and Esc to the dialog (none
// of them can be a hot key on its own): Tab moves to the next editor, Return presses 确定,
// Esc cancels.
class ChordEdit final : public QKeySequenceEdit {
public:
    using QKeySequenceEdit::QKeySequenceEdit;

protected:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const bool plain = (key->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier)) == 0;
            switch (plain ? key->key() : 0) {
            case Qt::Key_Tab:
            case Qt::Key_Backtab: return QWidget::event(event);
            case Qt::Key_Return:
            case Qt::Key_Enter:
            case Qt::Key_Escape: event->ignore(); return false;
            default: break;
            }
        }
        return QKeySequenceEdit::event(event);
    }
    // One key combination: each press ends the recording (setKeySequence does), so the
    // next press starts a new one that replaces it instead of adding a second.
    void keyPressEvent(QKeyEvent* event) override {
        QKeySequenceEdit::keyPressEvent(event);
        const QKeySequence sequence = keySequence();
        if (!sequence.isEmpty()) setKeySequence(QKeySequence(sequence[0]));
    }
};

}  // namespace

QString hotKeyChoiceProblem(const ModuleTray::HotKeyChoice& keys) {
    for (size_t i = 0; i < keys.size(); ++i) {
        if (platform::chordText(keys[i]).empty())
            return captionOf(i) + QStringLiteral(
                                      "的热键不能用：请按住 Ctrl、Alt 或 Win，再按字母、数字、"
                                      "F1–F24、方向键、Home、End、PgUp、PgDown、Ins、Del、"
                                      "空格、Pause 或 Print。");
        if (!platform::hasCommandModifier(keys[i]))
            return captionOf(i) + QStringLiteral(
                                      "的热键要带 Ctrl、Alt 或 Win：单独一个键（或只加 "
                                      "Shift）会让别的程序里打不了这个字。");
        for (size_t j = 0; j < i; ++j)
            if (keys[j] == keys[i])
                return captionOf(j) + QStringLiteral("和") + captionOf(i) +
                       QStringLiteral("用了同一个热键 ") +
                       QString::fromStdString(platform::chordText(keys[i])) +
                       QStringLiteral("，请换一个。");
    }
    return {};
}

frmHotKeyChange::frmHotKeyChange(const ModuleTray::HotKeyChoice& inForce, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("更改声匣热键"));
    setFont(QFont(QStringLiteral("宋体"), 9));
    QIcon icon(QStringLiteral(":/icons/HOTKEY"));
    icon.addFile(QStringLiteral(":/icons/HOTKEY_16"));
    setWindowIcon(icon);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setWindowModality(Qt::ApplicationModal);

    auto* rows = new QGridLayout;
    // Shown as the overview lists them: 录音, 停止, 播放.
    int row = 0;
    for (const int32_t id :
         {ModuleTray::kHotKeyRecord, ModuleTray::kHotKeyStop, ModuleTray::kHotKeyPlay}) {
        for (size_t i = 0; i < txtKeys.size(); ++i) {
            if (ModuleTray::kHotKeys[i].id != id) continue;
            auto* edit = new ChordEdit(this);
            edit->setObjectName(QStringLiteral("txtKey_") +
                                QString::fromLatin1(ModuleTray::kHotKeys[i].name));
            txtKeys[i] = edit;
            rows->addWidget(new QLabel(captionOf(i) + QStringLiteral("："), this), row, 0);
            rows->addWidget(edit, row++, 1);
        }
    }

    lblProblem = new QLabel(this);
    lblProblem->setObjectName(QStringLiteral("lblProblem"));
    lblProblem->setWordWrap(true);
    lblProblem->setStyleSheet(QStringLiteral("color: #800000;"));
    lblProblem->hide();

    QFont bold = font();
    bold.setBold(true);
    auto makeButton = [this, &bold](const QString& text) {
        auto* button = new QPushButton(text, this);
        button->setFont(bold);
        return button;
    };
    cmdDefault = makeButton(QStringLiteral("恢复默认(&D)"));
    cmdOk = makeButton(QStringLiteral("确定(&O)"));
    cmdCancel = makeButton(QStringLiteral("取消"));
    cmdOk->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdDefault);
    buttons->addStretch();
    buttons->addWidget(cmdOk);
    buttons->addWidget(cmdCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel(QStringLiteral("点一下框，按下新的组合键（要带 Ctrl、Alt 或 Win）："), this));
    layout->addLayout(rows);
    layout->addWidget(lblProblem);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(cmdDefault, &QPushButton::clicked, this, &frmHotKeyChange::cmdDefault_Click);
    connect(cmdOk, &QPushButton::clicked, this, &frmHotKeyChange::cmdOk_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    showChoice(inForce);
}

ModuleTray::HotKeyChoice frmHotKeyChange::choice() const {
    ModuleTray::HotKeyChoice keys;
    for (size_t i = 0; i < keys.size(); ++i) keys[i] = chordOf(txtKeys[i]->keySequence());
    return keys;
}

void frmHotKeyChange::showChoice(const ModuleTray::HotKeyChoice& keys) {
    for (size_t i = 0; i < keys.size(); ++i) txtKeys[i]->setKeySequence(sequenceOf(keys[i]));
}

void frmHotKeyChange::cmdDefault_Click() {
    showChoice(ModuleTray::StandardHotKeys());
    lblProblem->hide();
}

void frmHotKeyChange::cmdOk_Click() {
    const QString problem = hotKeyChoiceProblem(choice());
    lblProblem->setText(problem);
    lblProblem->setVisible(!problem.isEmpty());
    if (problem.isEmpty()) accept();
}

}  // namespace wsx
