#pragma once

#include "modules/ModuleTray.h"

#include <QDialog>
#include <QLabel>

#include <memory>

namespace Ui {
class frmHotKey;
}

namespace wsx {

// The hot-key overview: shows the three keys in force and closes; 更改热键 (cmdChange) is
// handled by whoever shows it. Created afresh each time. A non-empty notice (the keys cannot
// work on this desktop, and what to do instead) goes in a line below the keys, and the
// dialog grows to hold it.
class frmHotKey final : public QDialog {
    Q_OBJECT
public:
    explicit frmHotKey(const QString& notice = {}, QWidget* parent = nullptr);
    ~frmHotKey() override;
    void cmdOk_Click();

    // Shows `keys` (in the order of ModuleTray::kHotKeys) in the list: an arrow key as its
    // picture after the modifiers, as the standard keys have always been shown; any other
    // key in words. Where the desktop reports the keys it binds for a command itself
    // (`reported`, same order, "" for none), those are shown instead: as a chord when they
    // read as one, else in the desktop's own words.
    void showKeys(const ModuleTray::HotKeyChoice& keys,
                  const ModuleTray::ReportedHotKeys& reported = {});
    // Puts `notice` in the line below the keys, or takes the line away when it is empty.
    void showNotice(const QString& notice);

    std::unique_ptr<Ui::frmHotKey> ui;
    QLabel* lblNotice = nullptr;  // only with a notice

private:
    int m_noticeShift = 0;  // how far the notice moved the lines and buttons down
};

}  // namespace wsx
