#include "settings/ProfileBox.h"

namespace tarvo {

void ProfileBox::setText(const QString& text)
{
    if (text == text_)
        return;
    text_ = text;
    emit changed();
}

void ProfileBox::setItems(const QStringList& items)
{
    if (items == items_)
        return;
    items_ = items;
    emit changed();
}

void ProfileBox::setDeleteEnabled(bool enabled)
{
    if (enabled == deleteEnabled_)
        return;
    deleteEnabled_ = enabled;
    emit changed();
}

} // namespace tarvo
