#include "settings/ProfileBox.h"

#include "common/AssignIfChanged.h"

namespace tarvo {

void ProfileBox::setText(const QString& text)
{
    if (AssignIfChanged(text_, text))
        emit changed();
}

void ProfileBox::setItems(const QStringList& items)
{
    if (AssignIfChanged(items_, items))
        emit changed();
}

void ProfileBox::setDeleteEnabled(bool enabled)
{
    if (AssignIfChanged(deleteEnabled_, enabled))
        emit changed();
}

} // namespace tarvo
