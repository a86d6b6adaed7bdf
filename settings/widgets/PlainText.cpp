#include "settings/widgets/PlainText.h"

#include <QTextDocument>

namespace tarvo {

QString PlainToolTip(const QString& text)
{
    return text.isEmpty() ? QString() : Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal);
}

QString PlainWindowTitle(const QString& text)
{
    QString title = text;
    return title.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
}

} // namespace tarvo
