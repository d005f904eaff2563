#include "QtDialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace wsx::platform {

MsgBoxResult QtDialogs::MsgBox(QWidget* parent, const QString& text, MsgBoxButtons buttons,
                               MsgBoxIcon icon, const QString& title) {
    QMessageBox box(parent);
    box.setWindowTitle(title);
    box.setText(text);
    static constexpr QMessageBox::Icon kIcons[] = {QMessageBox::NoIcon, QMessageBox::Question,
                                                   QMessageBox::Information, QMessageBox::Critical};
    box.setIcon(kIcons[int(icon)]);
    switch (buttons) {
    case MsgBoxButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case MsgBoxButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        break;
    case MsgBoxButtons::YesNoNoDefault:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        break;
    case MsgBoxButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes: return MsgBoxResult::Yes;
    case QMessageBox::No: return MsgBoxResult::No;
    case QMessageBox::Cancel: return MsgBoxResult::Cancel;
    default: return buttons == MsgBoxButtons::Ok ? MsgBoxResult::Ok : MsgBoxResult::Cancel;
    }
}

SaveDialogResult QtDialogs::ShowSave(QWidget* parent, const QString& title, const QString& filter,
                                     QString& fileName, QString& error) {
    // "Wave文件(*.wav)|*.wav": Qt reads the pattern from the description's parentheses.
    const QString description = filter.section('|', 0, 0);
    const QString pattern = filter.section('|', 1, 1);
    QFileDialog dialog(parent, title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(description.contains('(') ? description
                                                   : description + " (" + pattern + ")");
    if (pattern.startsWith("*.")) dialog.setDefaultSuffix(pattern.mid(2));
    if (!fileName.isEmpty()) {
        const QFileInfo info(fileName);
        dialog.setDirectory(info.absolutePath());
        dialog.selectFile(info.fileName());
    }
    if (dialog.exec() != QDialog::Accepted) return SaveDialogResult::Cancelled;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty()) {
        error = QObject::tr("没有选择文件。");
        return SaveDialogResult::Failed;
    }
    fileName = chosen.first();
    return SaveDialogResult::Chosen;
}

}  // namespace wsx::platform
