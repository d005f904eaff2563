#include "RecorderSettings.h"

#include <QSettings>
#include <QStandardPaths>
#include <QString>

#include <algorithm>

namespace wsx {

namespace {
using Kind = audio::CaptureSource::Kind;
constexpr const char* kInputKey = "Recording/Input";
constexpr const char* kDeviceKey = "Recording/InputDevice";
constexpr const char* kDescriptionKey = "Recording/InputDescription";
// The word for a named input; its name is kept apart, under kDeviceKey.
constexpr std::string_view kNamedWord = "device";

QLatin1String inputWord(Kind kind) {
    const std::string_view word = kind == Kind::Named ? kNamedWord : audio::captureSourceWord(kind);
    return QLatin1String(word.data(), qsizetype(word.size()));
}

// A name the sound server could have given: not empty, no control characters. A NUL in
// particular would cut the name short on its way to the server, and another input would
// be recorded than the one the menu shows.
bool isDeviceName(const std::string& name) {
    return !name.empty() && std::none_of(name.begin(), name.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
    });
}

QString hotKeyKey(const std::string& name) {
    return QStringLiteral("HotKeys/") + QString::fromStdString(name);
}
}  // namespace

std::string RecorderSettings::defaultFile() {
    // GenericConfigLocation is $XDG_CONFIG_HOME, or ~/.config without it.
    return (QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
            QStringLiteral("/wanshengxia/wanshengxia.ini"))
        .toStdString();
}

InputChoice RecorderSettings::input() const {
    if (m_file.empty()) return {};
    const QSettings ini(QString::fromStdString(m_file), QSettings::IniFormat);
    const QString word = ini.value(kInputKey).toString();
    InputChoice choice;
    for (const Kind kind : {Kind::DefaultInput, Kind::DefaultMonitor, Kind::Both, Kind::Named})
        if (word == inputWord(kind)) choice.source.kind = kind;
    if (choice.source.kind == Kind::Named) {
        choice.source.name = ini.value(kDeviceKey).toString().toStdString();
        choice.description = ini.value(kDescriptionKey).toString().toStdString();
        if (!isDeviceName(choice.source.name)) return {};  // a damaged file: the default
    }
    return choice;
}

void RecorderSettings::setInput(const InputChoice& choice) {
    if (m_file.empty()) return;
    QSettings ini(QString::fromStdString(m_file), QSettings::IniFormat);
    ini.setValue(kInputKey, QString(inputWord(choice.source.kind)));
    if (choice.source.kind == Kind::Named) {
        ini.setValue(kDeviceKey, QString::fromStdString(choice.source.name));
        ini.setValue(kDescriptionKey, QString::fromStdString(choice.description));
    } else {
        ini.remove(kDeviceKey);
        ini.remove(kDescriptionKey);
    }
    ini.sync();
}

std::optional<platform::HotKeyChord> RecorderSettings::hotKey(const std::string& name) const {
    if (m_file.empty()) return std::nullopt;
    const QSettings ini(QString::fromStdString(m_file), QSettings::IniFormat);
    const auto chord = platform::chordFromText(ini.value(hotKeyKey(name)).toString().toStdString());
    if (!chord || !platform::hasCommandModifier(*chord)) return std::nullopt;
    return chord;
}

void RecorderSettings::setHotKey(const std::string& name, const platform::HotKeyChord& chord) {
    if (m_file.empty()) return;
    QSettings ini(QString::fromStdString(m_file), QSettings::IniFormat);
    ini.setValue(hotKeyKey(name), QString::fromStdString(platform::chordText(chord)));
    ini.sync();
}

}  // namespace wsx
