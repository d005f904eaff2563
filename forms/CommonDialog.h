#pragma once

#include "platform/dialogs/DialogService.h"

#include <QString>

namespace wsx {

// The window's file-save dialog: it keeps its file name between uses; an empty name after
// Save As means the user cancelled (or the file could not be written).
class CommonDialog {
public:
    explicit CommonDialog(platform::DialogService& dialogs) : m_dialogs(dialogs) {}

    platform::SaveDialogResult ShowSave(QWidget* parent) {
        return m_dialogs.ShowSave(parent, DialogTitle, Filter, FilterIndex, FileName, Error);
    }

    QString DialogTitle;
    QString Filter;       // "description|pattern" pairs joined by '|'
    int FilterIndex = 1;  // the selected pair, from 1; the user's choice after ShowSave
    QString FileName;
    QString Error;  // why the last ShowSave failed

private:
    platform::DialogService& m_dialogs;
};

}  // namespace wsx
