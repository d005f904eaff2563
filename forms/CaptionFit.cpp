#include "CaptionFit.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>

#include <algorithm>
#include <vector>

namespace wsx {

namespace {

constexpr int kNarrowestStretch = 70;  // percent of the face's own width
// Pixels an option's or check box's text keeps off the next control in its row ("11025HZ"
// would touch the circle of "22050HZ", which begins where its control ends).
constexpr int kCaptionGap = 3;

bool isCaption(const QWidget* widget) {
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return !label->text().isEmpty() && label->pixmap().isNull();
    if (qobject_cast<const QRadioButton*>(widget) || qobject_cast<const QCheckBox*>(widget) ||
        qobject_cast<const QPushButton*>(widget))
        return !static_cast<const QAbstractButton*>(widget)->text().isEmpty();
    return false;
}

// Where, in `widget`'s coordinates, the first sibling to its right in the same row begins;
// far beyond its right edge when none does.
int nextInRow(const QWidget* widget) {
    const QRect own = widget->geometry();
    int left = own.right() + 1 + 1000;
    for (const QObject* object : widget->parentWidget()->children()) {
        const auto* sibling = qobject_cast<const QWidget*>(object);
        if (sibling == nullptr || sibling == widget || sibling->isWindow()) continue;
        const QRect other = sibling->geometry();
        if (other.left() > own.left() && other.top() <= own.bottom() && other.bottom() >= own.top())
            left = std::min(left, other.left());
    }
    return left - own.left();
}

// How much wider and taller `room` must be for `text` drawn with `flags` (0 when it fits).
QSize shortfall(const QFontMetrics& metrics, const QRect& room, int flags, const QString& text) {
    const QRect needed = metrics.boundingRect(room, flags, text);
    return {std::max(0, needed.width() - room.width()),
            std::max(0, needed.height() - room.height())};
}

// How much wider and taller the widget must be to show its whole caption. Only the text's
// room counts: a button's size hint adds the style's padding and minimum width, which the
// fixed places never had.
QSize shortfall(const QWidget* widget) {
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        const bool rich =
            label->textFormat() == Qt::RichText ||
            (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text()));
        if (rich) {
            const QSize needed = label->wordWrap()
                                     ? QSize(label->width(), label->heightForWidth(label->width()))
                                     : label->sizeHint();
            return {std::max(0, needed.width() - label->width()),
                    std::max(0, needed.height() - label->height())};
        }
        const int flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
        return shortfall(label->fontMetrics(), label->contentsRect(), flags, label->text());
    }
    const auto* button = static_cast<const QAbstractButton*>(widget);
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    const QStyle::SubElement contents =
        qobject_cast<const QPushButton*>(widget)    ? QStyle::SE_PushButtonContents
        : qobject_cast<const QRadioButton*>(widget) ? QStyle::SE_RadioButtonContents
                                                    : QStyle::SE_CheckBoxContents;
    QRect room = button->style()->subElementRect(contents, &option, button);
    if (!button->icon().isNull() && contents == QStyle::SE_PushButtonContents)
        room.setWidth(room.width() - button->iconSize().width() - 4);
    if (contents != QStyle::SE_PushButtonContents) {
        const int neighbour = nextInRow(widget);
        if (neighbour - kCaptionGap <= room.right()) room.setRight(neighbour - kCaptionGap - 1);
    }
    return shortfall(button->fontMetrics(), room, Qt::AlignCenter | Qt::TextShowMnemonic,
                     button->text());
}

// Where a child may be: inside its parent, and in a group box below the title's text.
QRect inParent(const QWidget* widget) {
    const QWidget* parent = widget->parentWidget();
    QRect area(QPoint(0, 0), parent->size());
    if (const auto* group = qobject_cast<const QGroupBox*>(parent))
        area.setTop(groupTitleRect(group).bottom() + 1);
    return area;
}

// Whether `widget` may take `wanted`: inside its parent and over no sibling it did not
// already overlap.
bool isFree(const QWidget* widget, const QRect& wanted) {
    if (!inParent(widget).contains(wanted)) return false;
    const QRect now = widget->geometry();
    for (const QObject* object : widget->parentWidget()->children()) {
        const auto* sibling = qobject_cast<const QWidget*>(object);
        if (sibling == nullptr || sibling == widget || sibling->isWindow()) continue;
        const QRect other = sibling->geometry();
        if (wanted.intersects(other) && !now.intersects(other)) return false;
    }
    return true;
}

// Moves what lies in `widget`'s parent from `from` down by `dy`, and grows the parent by as
// much, and so on up to the form.
void pushDown(QWidget* widget, int from, int dy, QWidget* form) {
    if (widget == form) return;
    QWidget* parent = widget->parentWidget();
    for (QObject* object : parent->children()) {
        auto* sibling = qobject_cast<QWidget*>(object);
        if (sibling == nullptr || sibling == widget || sibling->isWindow()) continue;
        if (sibling->y() >= from) sibling->move(sibling->x(), sibling->y() + dy);
    }
    const int parentBottom = parent->y() + parent->height();
    parent->resize(parent->width(), parent->height() + dy);
    if (parent != form) pushDown(parent, parentBottom, dy, form);
}

void fitHeight(QWidget* widget, int dy, QWidget* form) {
    const QRect now = widget->geometry();
    for (const QRect& taller : {now.adjusted(0, -(dy / 2), 0, dy - dy / 2),
                                now.adjusted(0, -dy, 0, 0), now.adjusted(0, 0, 0, dy)}) {
        if (isFree(widget, taller)) {
            widget->setGeometry(taller);
            return;
        }
    }
    // No room as it stands: it takes what is free above it (down to a group box's title),
    // and what lies below moves down as far as it still needs.
    const QRect area = inParent(widget);
    int top = area.top();
    int firstBelow = area.bottom() + 1;
    for (const QObject* object : widget->parentWidget()->children()) {
        const auto* sibling = qobject_cast<const QWidget*>(object);
        if (sibling == nullptr || sibling == widget || sibling->isWindow()) continue;
        const QRect other = sibling->geometry();
        if (other.left() > now.right() || other.right() < now.left()) continue;
        if (other.bottom() < now.top()) top = std::max(top, other.bottom() + 1);
        if (other.top() > now.bottom()) firstBelow = std::min(firstBelow, other.top());
    }
    top = std::min(top, std::max(now.top(), area.top()));
    const QRect taller(now.x(), top, now.width(), now.height() + dy);
    const int push = std::max(0, taller.bottom() + 1 - firstBelow);
    if (push > 0) pushDown(widget, now.bottom() + 1, push, form);
    widget->setGeometry(taller);
}

void fitWidth(QWidget* widget, int dx) {
    const QRect now = widget->geometry();
    for (const QRect& wider : {now.adjusted(0, 0, dx, 0), now.adjusted(-dx, 0, 0, 0)}) {
        if (isFree(widget, wider)) {
            widget->setGeometry(wider);
            return;
        }
    }
    if (qobject_cast<QPushButton*>(widget)) return;
    QFont font = widget->font();
    for (int stretch = 99; stretch >= kNarrowestStretch && shortfall(widget).width() > 0;
         --stretch) {
        font.setStretch(stretch);
        widget->setFont(font);
    }
}

}  // namespace

QRect groupTitleRect(const QGroupBox* group) {
    QStyleOptionGroupBox option;
    option.initFrom(group);
    option.text = group->title();
    option.textAlignment = group->alignment();
    option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
    option.lineWidth = 1;
    return group->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel,
                                          group);
}

void fitCaptions(QWidget* form) {
    form->ensurePolished();
    std::vector<QWidget*> captions;
    for (QWidget* widget : form->findChildren<QWidget*>())
        if (!widget->isWindow() && isCaption(widget)) captions.push_back(widget);
    // Top to bottom, so a caption moved down by one above it is fitted where it ends up.
    const auto top = [form](const QWidget* widget) { return widget->mapTo(form, QPoint()).y(); };
    std::stable_sort(captions.begin(), captions.end(),
                     [&](const QWidget* a, const QWidget* b) { return top(a) < top(b); });
    for (QWidget* caption : captions) {
        caption->ensurePolished();
        if (const int dx = shortfall(caption).width(); dx > 0) fitWidth(caption, dx);
        if (const int dy = shortfall(caption).height(); dy > 0) fitHeight(caption, dy, form);
    }
}

}  // namespace wsx
