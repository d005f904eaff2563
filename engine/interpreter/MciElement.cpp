#include "MciElement.h"

#include "engine/command/MciError.h"

#include <filesystem>

namespace wsx::mci {

namespace {

constexpr std::string_view kDeviceType = "waveaudio";

}  // namespace

uint32_t resolveOpenTarget(const Token& element, const std::optional<std::string>& type,
                           OpenTarget& target) {
    if (type && !equalsIgnoreCase(*type, kDeviceType)) return MCIERR_INVALID_DEVICE_NAME;
    if (!element.quoted && equalsIgnoreCase(element.text, "new")) {
        target = {OpenTarget::Kind::New, {}};
        return type ? MCI_OK : MCIERR_MISSING_PARAMETER;
    }
    if (!element.quoted && equalsIgnoreCase(element.text, kDeviceType)) {
        target = {OpenTarget::Kind::DeviceOnly, {}};
        return MCI_OK;
    }
    std::string path = element.text;
    bool typed = type.has_value();
    // "waveaudio!name": the device type, then the element. Any other text before a '!' is
    // part of the file's name.
    const size_t bang = path.find('!');
    if (bang == kDeviceType.size() && equalsIgnoreCase(path.substr(0, bang), kDeviceType)) {
        path.erase(0, bang + 1);
        typed = true;
    }
    std::error_code ec;
    if (!path.empty() && std::filesystem::is_directory(path, ec)) {
        target = {OpenTarget::Kind::TakeFolder, path};
        return typed ? MCI_OK : MCIERR_MISSING_PARAMETER;
    }
    target = {OpenTarget::Kind::File, path};
    if (typed) return MCI_OK;
    const std::filesystem::path file(path);
    if (!file.has_extension()) return MCIERR_INVALID_DEVICE_NAME;
    return equalsIgnoreCase(file.extension().string(), ".wav") ? MCI_OK
                                                               : MCIERR_EXTENSION_NOT_FOUND;
}

}  // namespace wsx::mci
