#include "imaging/widgets/AreaOutline.h"

#include "imaging/Colours.h"

#include <QPainter>
#include <algorithm>

namespace tarvo {

void DrawAreaOutline(QImage& picture, QPoint a, QPoint b, Colour markColor)
{
    const int left = std::min(a.x(), b.x());
    const int right = std::max(a.x(), b.x());
    const int top = std::min(a.y(), b.y());
    const int bottom = std::max(a.y(), b.y());
    if (picture.isNull() || right <= left || bottom <= top)
        return;
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(ToQColor(markColor), 0)); // cosmetic: exactly one pixel wide
    painter.setBrush(Qt::NoBrush);
    // An aliased drawRect of width w covers w + 1 columns.
    painter.drawRect(QRect(left, top, right - left - 1, bottom - top - 1));
}

} // namespace tarvo
