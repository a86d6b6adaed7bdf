#include "imaging/FileNaming.h"
#include "common/Clock.h"
#include "common/ThreadHandOver.h"
#include "settings/PerUserStore.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QThread>
#include <algorithm>

namespace tarvo {

namespace {
constexpr int LastNumber = 999;
constexpr FileKind AllKinds[] = {FileKind::LocalPicture, FileKind::WebsitePicture, FileKind::VideoFile};

const ShortString& PrefixOf(FileKind kind, const OptionsValues& options)
{
    return kind == FileKind::LocalPicture ? options.LPicPrefix : kind == FileKind::WebsitePicture ? options.WPicPrefix : options.VidPrefix;
}

// Pictures only: videos have no fixed name.
const ShortString& FixedNameOf(FileKind kind, const OptionsValues& options)
{
    return kind == FileKind::LocalPicture ? options.LPicFixed : options.WPicFixed;
}
} // namespace

const char* CounterValueName(FileKind kind)
{
    switch (kind) {
    case FileKind::LocalPicture: return "LPicCount";
    case FileKind::WebsitePicture: return "WPicCount";
    case FileKind::VideoFile: return "VidCount";
    }
    return "";
}

FileCounters::FileCounters(PerUserStore& store) : store_(store) {}

void FileCounters::Load()
{
    for (FileKind kind : AllKinds)
        Set(kind, store_.ReadInteger(CounterValueName(kind), 0));
}

void FileCounters::StoreAll()
{
    for (FileKind kind : AllKinds)
        store_.WriteInteger(CounterValueName(kind), CounterOf(kind).load());
}

int FileCounters::Value(FileKind kind) const { return counters_[static_cast<int>(kind)].load(); }

void FileCounters::Set(FileKind kind, int value) { CounterOf(kind).store(value); }

int FileCounters::Draw(FileKind kind)
{
    std::atomic<int>& counter = CounterOf(kind);
    int seen = counter.load();
    int number;
    do {
        // A negative value can only come from a damaged store; numbering starts again at 0.
        number = seen > LastNumber || seen < 0 ? 0 : seen;
    } while (!counter.compare_exchange_weak(seen, number + 1));
    StoreCounter(kind);
    return number;
}

void FileCounters::StoreCounter(FileKind kind)
{
    const auto store = [this, kind] { store_.WriteInteger(CounterValueName(kind), CounterOf(kind).load()); };
    if (!QCoreApplication::instance() || QThread::currentThread() == thread())
        store();
    else
        PostQueued(this, store); // dropped unrun when the counters go first
}

QString ZeroPad(int n, int width)
{
    const QString digits = QString::number(qAbs(qint64(n)));
    const QString padded = digits.rightJustified(width, QLatin1Char('0'));
    return n < 0 ? QLatin1Char('-') + padded : padded;
}

QString TwoDigits(int n) { return n >= 0 && n <= 9 ? QLatin1Char('0') + QString::number(n) : QString::number(n); }

QString TimedFileName(const QDateTime& moment)
{
    const QDate d = moment.date();
    const QTime t = moment.time();
    return TwoDigits(d.month()) + QLatin1Char('-') + TwoDigits(d.day()) + QLatin1String("  ")
         + TwoDigits(t.hour()) + QLatin1Char('.') + TwoDigits(t.minute()) + QLatin1Char('.')
         + TwoDigits(t.second());
}

QString TimedFileName() { return TimedFileName(ProgramClock().now().toLocalTime()); }

QString MakeFileName(FileKind kind, const OptionsValues& options, FileCounters& counters)
{
    const bool video = kind == FileKind::VideoFile;
    const std::int32_t scheme = kind == FileKind::LocalPicture   ? options.LPicNaming
                              : kind == FileKind::WebsitePicture ? options.WPicNaming
                                                                 : options.VidNaming;
    switch (scheme) {
    case NamingTimed:
        return TimedFileName();
    case NamingIncrementing:
        return PrefixOf(kind, options).str() + ZeroPad(counters.Draw(kind), 3);
    case NamingFixed:
        if (!video)
            return FixedNameOf(kind, options).str();
        return {};
    default:
        return {};
    }
}

bool IsTimedFileName(const QString& base)
{
    static const QRegularExpression timed(QStringLiteral("^([0-9]{2})-([0-9]{2})  ([0-9]{2})\\.([0-9]{2})\\.([0-9]{2})$"));
    const QRegularExpressionMatch m = timed.match(base);
    if (!m.hasMatch())
        return false;
    const auto part = [&m](int n) { return m.captured(n).toInt(); };
    // A leap year, so that 02-29 counts.
    return QDate(2000, part(1), part(2)).isValid() && QTime(part(3), part(4), part(5)).isValid();
}

bool IsIncrementingFileName(const QString& base, const QString& prefix)
{
    if (base.size() != prefix.size() + 3 || !base.startsWith(prefix))
        return false;
    return std::all_of(base.end() - 3, base.end(), [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
}

bool IsFixedFileName(const QString& base, const QString& fixed) { return !fixed.isEmpty() && base == fixed; }

bool IsMadeFileName(FileKind kind, const QString& base, const OptionsValues& options)
{
    if (base.isEmpty())
        return false;
    if (IsTimedFileName(base) || IsIncrementingFileName(base, PrefixOf(kind, options).str()))
        return true;
    return kind != FileKind::VideoFile && IsFixedFileName(base, FixedNameOf(kind, options).str());
}

// A history copy of the website picture: the fixed name followed by TwoDigits(n), n from 2 to the
// longest history.
static bool IsHistoryName(const QString& base, const QString& fixed)
{
    if (fixed.isEmpty() || !base.startsWith(fixed))
        return false;
    const QString digits = base.mid(fixed.size());
    bool ok = false;
    const int n = digits.toInt(&ok);
    return ok && n >= 2 && n <= MaxHistory && TwoDigits(n) == digits;
}

bool IsWebsiteFileName(const QString& base, const OptionsValues& options)
{
    return IsMadeFileName(FileKind::WebsitePicture, base, options) || IsHistoryName(base, options.WPicFixed.str());
}

} // namespace tarvo
