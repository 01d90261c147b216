// The words for a tag write the decoder library refused, shared by the tag editor (a message box) and
// anything else that writes tags for the user.
#pragma once

#include <QString>

namespace core {

// The message's first line: "タグ情報の更新に失敗しました。"
[[nodiscard]] QString tagWriteFailedText();

// The line that names the cause, for a VBMP3_TAG_ code of the library; a code it does not know (or -1,
// no reason given) gets a general line.
[[nodiscard]] QString tagWriteFailureReason(int code);

// Both lines, separated by CR as the window's messages are.
[[nodiscard]] QString tagWriteFailureMessage(int code);

} // namespace core
