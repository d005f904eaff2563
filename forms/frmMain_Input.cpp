// What to record from: the 录音来源 submenu of 编辑. Three fixed choices (the default input,
// what the computer plays, both mixed) and, below a separator, every input of the sound
// server by its description, kept up to date while the window runs. The choice goes to the
// sound device as the engine's input ("set waveaudio input"), so it outlives New.
#include "frmMain.h"
#include "ui_frmMain.h"

#include <QActionGroup>

namespace wsx {

using platform::MsgBoxButtons;
using platform::MsgBoxIcon;
using Kind = audio::CaptureSource::Kind;

namespace {
constexpr const char* kDeviceProperty = "wsxInputName";  // marks the server's inputs
}  // namespace

void frmMain::setUpInputMenu() {
    m_inputGroup = new QActionGroup(this);
    for (QAction* item : {ui->mnuInputDefault, ui->mnuInputComputer, ui->mnuInputBoth})
        m_inputGroup->addAction(item);
    connect(m_inputGroup, &QActionGroup::triggered, this, &frmMain::mnuInput_Click);
    m_input = m_settings.input();
    // The default needs no word to the device: it is what the device starts with.
    if (m_input.source.kind != Kind::DefaultInput) m_record.MciSetInput(m_input.source);
    if (m_input.source.kind == Kind::Named) {
        // Listed until the server's list says otherwise, so the choice shows at once.
        auto* item = ui->mnuInput->addAction(
            QString::fromStdString(m_input.description).replace('&', QStringLiteral("&&")));
        item->setCheckable(true);
        item->setProperty(kDeviceProperty, QString::fromStdString(m_input.source.name));
        m_inputGroup->addAction(item);
    }
    showInputChoice();
    TimerInputs.setInterval(1000);
    connect(&TimerInputs, &QTimer::timeout, this, &frmMain::TimerInputs_Timer);
    if (m_services.inputs) TimerInputs.start();
}

void frmMain::showInputChoice() {
    for (QAction* item : m_inputGroup->actions()) {
        const QVariant name = item->property(kDeviceProperty);
        const bool chosen =
            name.isValid()
                ? m_input.source.kind == Kind::Named &&
                      name.toString().toStdString() == m_input.source.name
                : (item == ui->mnuInputDefault && m_input.source.kind == Kind::DefaultInput) ||
                      (item == ui->mnuInputComputer &&
                       m_input.source.kind == Kind::DefaultMonitor) ||
                      (item == ui->mnuInputBoth && m_input.source.kind == Kind::Both);
        item->setChecked(chosen);
    }
}

void frmMain::mnuInput_Click(QAction* item) {
    InputChoice choice;
    if (item == ui->mnuInputComputer) choice.source.kind = Kind::DefaultMonitor;
    else if (item == ui->mnuInputBoth) choice.source.kind = Kind::Both;
    else if (const QVariant name = item->property(kDeviceProperty); name.isValid()) {
        choice.source = {Kind::Named, name.toString().toStdString()};
        choice.description =
            item->text().replace(QStringLiteral("&&"), QStringLiteral("&")).toStdString();
    }
    m_input = choice;
    m_settings.setInput(m_input);
    m_record.MciSetInput(m_input.source);
    showInputChoice();
}

void frmMain::TimerInputs_Timer() {
    if (!m_services.inputs) return;
    const uint64_t generation = m_services.inputs->captureDevicesGeneration();
    if (generation == m_inputsSeen) return;
    m_inputsSeen = generation;
    const std::vector<audio::CaptureDevice> devices = m_services.inputs->captureDevices();
    // No answer from the server is no news about its inputs: the menu stays as it is.
    if (devices.empty()) return;
    for (QAction* item : m_inputGroup->actions()) {
        if (!item->property(kDeviceProperty).isValid()) continue;
        m_inputGroup->removeAction(item);
        ui->mnuInput->removeAction(item);
        delete item;
    }
    bool chosenIsThere = false;
    for (const audio::CaptureDevice& device : devices) {
        const QString text =
            QString::fromStdString(device.description.empty() ? device.name : device.description);
        auto* item = ui->mnuInput->addAction(QString(text).replace('&', QStringLiteral("&&")));
        item->setCheckable(true);
        item->setProperty(kDeviceProperty, QString::fromStdString(device.name));
        m_inputGroup->addAction(item);
        chosenIsThere = chosenIsThere || device.name == m_input.source.name;
    }
    if (m_input.source.kind == Kind::Named && !chosenIsThere) {
        const QString gone = QString::fromStdString(
            m_input.description.empty() ? m_input.source.name : m_input.description);
        m_input = {};
        m_settings.setInput(m_input);
        m_record.MciSetInput(m_input.source);
        showInputChoice();
        m_services.dialogs.MsgBox(this,
                                  QStringLiteral("录音来源“%1”已不存在，改用默认输入。").arg(gone),
                                  MsgBoxButtons::Ok, MsgBoxIcon::Information, kAppTitle);
        return;
    }
    showInputChoice();
}

}  // namespace wsx
