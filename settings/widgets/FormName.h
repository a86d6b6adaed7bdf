#pragma once
// Every control of a settings window carries its form name as objectName, by which tests and
// tools find it.
#include <QString>

namespace tarvo {

template <class Control>
Control* Named(Control* control, const QString& formName)
{
    control->setObjectName(formName);
    return control;
}

} // namespace tarvo
