#include "app/alarms/ExecLine.h"

namespace tarvo {

std::optional<QStringList> SplitExecLine(const QString& line)
{
    QStringList words;
    QString word;
    bool inWord = false;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c == '"') {
                quoted = false;
            } else if (c == '\\' && i + 1 < line.size() && QStringLiteral("\"`$\\").contains(line[i + 1])) {
                word += line[++i];
            } else {
                word += c;
            }
        } else if (c == ' ' || c == '\t') {
            if (inWord)
                words << word;
            word.clear();
            inWord = false;
        } else if (c == '"') {
            quoted = true;
            inWord = true;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quoted)
        return std::nullopt;
    if (inWord)
        words << word;
    if (words.isEmpty())
        return std::nullopt;
    return words;
}

QStringList ExpandAlarmFields(const QStringList& words, const QString& pictureFile, const QDateTime& alarmTime)
{
    const QString time = alarmTime.toOffsetFromUtc(alarmTime.offsetFromUtc()).toString(Qt::ISODate);
    QStringList expanded;
    for (const QString& w : words) {
        QString out;
        for (qsizetype i = 0; i < w.size(); ++i) {
            if (w[i] != '%' || i + 1 >= w.size()) {
                out += w[i];
                continue;
            }
            const QChar code = w[++i];
            if (code == 'f')
                out += pictureFile;
            else if (code == 't')
                out += time;
            else if (code == '%')
                out += '%';
            else
                out += '%' + QString(code); // an unknown code stays as the user wrote it
        }
        expanded << out;
    }
    return expanded;
}

} // namespace tarvo
