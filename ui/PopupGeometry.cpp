#include "ui/PopupGeometry.h"

namespace tarvo {

PopupGeometry LayoutPopup(int labelWidth, int popupHeight, int buttonWidth, const QRect& screen)
{
    PopupGeometry g;
    g.width = labelWidth <= kPopupWidestNarrowLabel ? kPopupMinWidth : labelWidth + kPopupLabelMargin;
    g.buttonLeft = g.width / 2 - buttonWidth / 2;
    g.left = screen.left() + screen.width() / 2 - g.width / 2;
    g.top = screen.top() + screen.height() / 2 - popupHeight / 2;
    return g;
}

} // namespace tarvo
