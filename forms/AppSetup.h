#pragma once

class QApplication;

namespace wsx {

// What the whole program shares, set once before the first window: Qt's Chinese standard
// buttons, a slider style whose track clicks step by the page step, "宋体" mapped to an
// installed Song face, and the icon resources. Tests call it too, so they see what a
// user sees.
void setUpApplication(QApplication& app);

}  // namespace wsx
