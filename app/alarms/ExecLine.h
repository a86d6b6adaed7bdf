#pragma once
// The user's alarm command line, split into a program and its arguments the way a desktop entry's
// Exec line is, so no shell ever sees a file name or a time.
#include <QDateTime>
#include <QStringList>
#include <optional>

namespace tarvo {

// Words separated by blanks; a word may be "quoted", where \" \` \$ and \\ stand for the character
// itself. Nothing (not an empty list) for an unterminated quote or a line without a word.
std::optional<QStringList> SplitExecLine(const QString& line);

// Replaces %f by the picture's full name, %t by the alarm time (ISO 8601, with its offset from UTC)
// and %% by %, inside each word, so a name with blanks stays one argument.
QStringList ExpandAlarmFields(const QStringList& words, const QString& pictureFile, const QDateTime& alarmTime);

} // namespace tarvo
