#pragma once

#include "modules/ModuleTray.h"

#include <QDialog>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QPushButton>

#include <array>

namespace wsx {

// Why `keys` cannot be the hot keys (a key without Ctrl, Alt or Win, a key not offered, one
// key for two commands), in a sentence for the user; "" when they can.
QString hotKeyChoiceProblem(const ModuleTray::HotKeyChoice& keys);

// A key combination in the words the key editors show it in ("Ctrl+Alt+下方向" with Qt's
// Chinese translation loaded); "" for a key not offered.
QString chordWords(const platform::HotKeyChord& chord);

// 更改声匣热键: one key editor for each of 录音, 停止 and 播放, each taking a single key
// combination (a new press replaces it), 恢复默认 to put the standard keys back, 确定 and
// 取消. 确定 with keys that cannot be used says why in a line and keeps the dialog open.
// Thread safety: UI thread only.
class frmHotKeyChange final : public QDialog {
    Q_OBJECT
public:
    explicit frmHotKeyChange(const ModuleTray::HotKeyChoice& inForce, QWidget* parent = nullptr);

    // The keys in the editors, in the order of ModuleTray::kHotKeys; a key that is empty or
    // not offered is {0, 0}.
    ModuleTray::HotKeyChoice choice() const;
    void cmdDefault_Click();
    void cmdOk_Click();

    std::array<QKeySequenceEdit*, std::size(ModuleTray::kHotKeys)> txtKeys{};  // kHotKeys order
    QLabel* lblProblem = nullptr;
    QPushButton* cmdDefault = nullptr;
    QPushButton* cmdOk = nullptr;
    QPushButton* cmdCancel = nullptr;

private:
    void showChoice(const ModuleTray::HotKeyChoice& keys);
};

}  // namespace wsx
