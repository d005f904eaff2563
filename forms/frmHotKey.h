#pragma once

#include <QDialog>
#include <QLabel>

#include <memory>

namespace Ui {
class frmHotKey;
}

namespace wsx {

// The hot-key overview: shows the three keys and closes. Created afresh each time. A
// non-empty `notice` (the keys cannot work on this desktop, and what to do instead) goes in
// a line below the keys, and the dialog grows to hold it.
class frmHotKey final : public QDialog {
    Q_OBJECT
public:
    explicit frmHotKey(const QString& notice = {}, QWidget* parent = nullptr);
    ~frmHotKey() override;
    void cmdOk_Click();

    std::unique_ptr<Ui::frmHotKey> ui;
    QLabel* lblNotice = nullptr;  // only with a notice
};

}  // namespace wsx
