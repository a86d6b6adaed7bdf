#pragma once
// Size and place of a popup warning: wide enough for its text, never narrower than 121 pixels,
// the OK button centred in it and the popup centred on the screen.
#include <QRect>

namespace tarvo {

struct PopupGeometry {
    int width = 0;      // popup width
    int buttonLeft = 0; // left edge of the OK button inside the popup
    int left = 0;       // popup position on the screen
    int top = 0;
};

inline constexpr int kPopupMinWidth = 121;
inline constexpr int kPopupWidestNarrowLabel = 97; // labels up to this width get the minimum width
inline constexpr int kPopupLabelMargin = 24;

// labelWidth: the label's width for its text; popupHeight and buttonWidth as laid out;
// screen: the screen's geometry (its origin offsets the position).
PopupGeometry LayoutPopup(int labelWidth, int popupHeight, int buttonWidth, const QRect& screen);

} // namespace tarvo
