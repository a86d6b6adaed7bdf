#pragma once
// Outline of a detection area drawn into a picture in the marking colour.
#include "settings/OptionsValues.h"

#include <QImage>
#include <QPoint>

namespace tarvo {

// Draws a one-pixel outline between two opposite corners given in any order. Like the area the
// motion comparison uses, the right and bottom corner coordinates lie just outside the area, so
// the outline covers columns left..right-1 and rows top..bottom-1; an empty area draws nothing.
void DrawAreaOutline(QImage& picture, QPoint a, QPoint b, Colour markColor);

} // namespace tarvo
