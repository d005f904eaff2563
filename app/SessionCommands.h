#pragma once

#include "forms/frmMain.h"
#include "platform/session/SingleInstance.h"

namespace wsx {

// What the verbs of a later start do in the window: --record, --stop and --play what their
// hot keys do, --show (and a plain start) what a double click on the tray icon does.
platform::SingleInstance::Handler sessionCommandsFor(frmMain& window);

}  // namespace wsx
