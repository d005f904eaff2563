#pragma once

#include <QString>

class QWidget;

namespace wsx::platform {

// YesNoNoDefault: a question whose Yes cannot be undone (No is the default and Escape).
enum class MsgBoxButtons { Ok, YesNo, YesNoCancel, YesNoNoDefault };
enum class MsgBoxIcon { None, Question, Information, Critical };
enum class MsgBoxResult { Ok, Yes, No, Cancel };
enum class SaveDialogResult { Chosen, Cancelled, Failed };

// Message boxes and the file-save dialog, behind an interface so tests can answer them.
// Both run a nested event loop: timers, tray clicks and hot keys go on while they are open.
// Thread safety: UI thread only.
class DialogService {
public:
    virtual ~DialogService() = default;
    // Yes is the default button of the YesNo and YesNoCancel boxes.
    virtual MsgBoxResult MsgBox(QWidget* parent, const QString& text, MsgBoxButtons buttons,
                                MsgBoxIcon icon, const QString& title) = 0;
    // Shows a modal save dialog starting at `fileName`; on Chosen, `fileName` is the full
    // path. `filter` is "description|pattern" pairs, all joined by '|'; `filterIndex` (from
    // 1) selects one at the start and on Chosen says which the user left selected. A name
    // typed without an extension gets the selected pattern's. On Failed, `error` says why.
    virtual SaveDialogResult ShowSave(QWidget* parent, const QString& title, const QString& filter,
                                      int& filterIndex, QString& fileName, QString& error) = 0;
};

}  // namespace wsx::platform
