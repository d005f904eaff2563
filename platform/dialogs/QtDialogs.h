#pragma once

#include "DialogService.h"

namespace wsx::platform {

// QMessageBox and QFileDialog. The save dialog asks before replacing a file and adds the
// filter's extension to a name typed without one.
class QtDialogs final : public DialogService {
public:
    MsgBoxResult MsgBox(QWidget* parent, const QString& text, MsgBoxButtons buttons,
                        MsgBoxIcon icon, const QString& title) override;
    SaveDialogResult ShowSave(QWidget* parent, const QString& title, const QString& filter,
                              int& filterIndex, QString& fileName, QString& error) override;
};

}  // namespace wsx::platform
