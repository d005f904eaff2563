#include "QtDialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include <algorithm>

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
                                     int& filterIndex, QString& fileName, QString& error) {
    // "Wave文件(*.wav)|*.wav|FLAC文件(*.flac)|*.flac": Qt reads each pattern from its
    // description's parentheses.
    const QStringList parts = filter.split('|');
    QStringList names, suffixes;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        const QString& pattern = parts[i + 1];
        names << (description.contains('(') ? description : description + " (" + pattern + ")");
        suffixes << (pattern.startsWith("*.") ? pattern.mid(2) : QString());
    }
    if (names.isEmpty()) return SaveDialogResult::Cancelled;
    const qsizetype first = std::clamp<qsizetype>(filterIndex, 1, names.size()) - 1;
    QFileDialog dialog(parent, title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(names);
    dialog.selectNameFilter(names[first]);
    dialog.setDefaultSuffix(suffixes[first]);
    // A name typed without an extension gets the one of the filter selected when it is
    // accepted (and the overwrite question is asked about that name).
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& name) {
        if (const qsizetype i = names.indexOf(name); i >= 0) dialog.setDefaultSuffix(suffixes[i]);
    });
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
    filterIndex = int(std::max<qsizetype>(names.indexOf(dialog.selectedNameFilter()), 0)) + 1;
    return SaveDialogResult::Chosen;
}

}  // namespace wsx::platform
