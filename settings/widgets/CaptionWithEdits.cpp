#include "settings/widgets/CaptionWithEdits.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <algorithm>

namespace tarvo {

namespace {
QString CaptionText(const QWidget* caption)
{
    if (const auto* b = qobject_cast<const QAbstractButton*>(caption))
        return b->text();
    if (const auto* l = qobject_cast<const QLabel*>(caption))
        return l->text();
    return {};
}

struct BlankRun {
    qsizetype start;
    qsizetype length;
};

QList<BlankRun> BlankRuns(const QString& text)
{
    QList<BlankRun> runs;
    for (qsizetype i = 0; i < text.size();) {
        if (text[i] != ' ') {
            ++i;
            continue;
        }
        qsizetype j = i;
        while (j < text.size() && text[j] == ' ')
            ++j;
        if (j - i >= 2)
            runs.push_back({i, j - i});
        i = j;
    }
    return runs;
}
} // namespace

CaptionWithEdits::CaptionWithEdits(QWidget* caption, QList<QLineEdit*> edits, QWidget* parent)
    : QWidget(parent), caption_(caption), edits_(std::move(edits))
{
    caption_->setParent(this);
    for (QLineEdit* e : edits_) {
        e->setParent(this);
        e->setMinimumWidth(0); // the blank decides the width
        e->setMaximumWidth(QWIDGETSIZE_MAX);
        e->setAlignment(Qt::AlignRight);
        e->raise();
    }
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

int CaptionWithEdits::textLeft() const
{
    QStyleOptionButton opt;
    opt.initFrom(caption_);
    if (qobject_cast<const QCheckBox*>(caption_))
        return style()->subElementRect(QStyle::SE_CheckBoxContents, &opt, caption_).left();
    if (qobject_cast<const QRadioButton*>(caption_))
        return style()->subElementRect(QStyle::SE_RadioButtonContents, &opt, caption_).left();
    if (const auto* l = qobject_cast<const QLabel*>(caption_))
        return l->contentsRect().left() + l->margin();
    return 0;
}

QSize CaptionWithEdits::sizeHint() const
{
    QSize s = caption_->sizeHint();
    for (const QLineEdit* e : edits_)
        s.setHeight(std::max(s.height(), e->sizeHint().height()));
    return s;
}

void CaptionWithEdits::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeEdits();
}

void CaptionWithEdits::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        placeEdits();
}

void CaptionWithEdits::placeEdits()
{
    const QString text = CaptionText(caption_);
    const QFontMetrics fm(caption_->font());
    const QList<BlankRun> runs = BlankRuns(text);
    const int rowHeight = height();
    caption_->setGeometry(0, (rowHeight - caption_->sizeHint().height()) / 2, width(),
                          caption_->sizeHint().height());
    const int left = textLeft();
    constexpr int gap = 2; // keeps the edit clear of the words around it
    for (qsizetype i = 0; i < edits_.size() && i < runs.size(); ++i) {
        const int start = left + fm.horizontalAdvance(text.left(runs[i].start));
        const int blank = fm.horizontalAdvance(text.mid(runs[i].start, runs[i].length));
        // Wide enough for four digits, centred in the blank, never over the words beside it.
        const int wanted = edits_[i]->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12;
        const int w = std::max(std::min(wanted, blank - 2 * gap), 12);
        const int h = edits_[i]->sizeHint().height();
        edits_[i]->setGeometry(start + (blank - w) / 2, (rowHeight - h) / 2, w, h);
    }
}

} // namespace tarvo
