#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class frmHotKey;
}

namespace wsx {

// The hot-key overview: shows the three keys and closes. Created afresh each time.
class frmHotKey final : public QDialog {
    Q_OBJECT
public:
    explicit frmHotKey(QWidget* parent = nullptr);
    ~frmHotKey() override;
    void cmdOk_Click();

    std::unique_ptr<Ui::frmHotKey> ui;
};

}  // namespace wsx
