#pragma once

#include <QRect>
#include <QWidget>
#include <array>
#include <span>

// Shared by the windows that are built from layout tables in twips, the units the windows were designed in.

class QButtonGroup;

namespace ui {

// Twips, 1/1440 inch, are 15 to a pixel at 96 dots per inch; Qt scales logical pixels for other screens.
constexpr int TwipsPerPixel = 15;

inline QRect twipsToPixels(int left, int top, int width, int height) {
    return QRect(left / TwipsPerPixel, top / TwipsPerPixel, width / TwipsPerPixel, height / TwipsPerPixel);
}

// The child with this object name (the control's name in the layout table).
template <typename T> T* childNamed(QWidget* root, const char* name) {
    return root->findChild<T*>(QString::fromLatin1(name));
}

// Sets the focus order of the named controls; controls that take no focus (frames, labels, display
// fields) are passed over.
void applyTabOrder(QWidget* root, std::span<const char* const> names);

// Tab enters an option group at its checked option and the arrow keys move (and check) within it. Qt
// itself makes whichever option last had focus the group's tab stop, which leaves the checked one
// unreachable by Tab once another option had focus (or from the start, when the first one takes it).
void keepTabStopOnChecked(QButtonGroup* group);

// The controls of a control array, "Bits(0)" to "Bits(N-1)", in index order.
template <typename T, std::size_t N> std::array<T*, N> childrenNamed(QWidget* root, const char* base) {
    std::array<T*, N> found{};
    for (std::size_t i = 0; i < N; ++i)
        found[i] = root->findChild<T*>(QStringLiteral("%1(%2)").arg(QLatin1String(base)).arg(i));
    return found;
}

} // namespace ui
