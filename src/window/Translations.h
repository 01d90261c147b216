#pragma once

class QCoreApplication;

namespace ui {

// Loads Qt's own Japanese texts (the buttons of message boxes, the folder chooser, the input box) so
// that no English shows in the Japanese window. False when the translation file is not installed; the
// program then runs with Qt's English texts.
[[nodiscard]] bool installTranslations(QCoreApplication& app);

} // namespace ui
