#include "widgets/list_entry_delegate.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QToolTip>

namespace tavrel {

QStyleOptionViewItem ListEntryDelegate::indented(const QStyleOptionViewItem& option,
                                                 const QModelIndex& index) const {
    QStyleOptionViewItem shifted(option);
    shifted.rect.setLeft(option.rect.left() + Indent(index));
    return shifted;
}

void ListEntryDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    QStyledItemDelegate::paint(painter, indented(option, index), index);
}

QSize ListEntryDelegate::sizeHint(const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.rwidth() += Indent(index);
    return size;
}

bool ListEntryDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                  const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (event->type() != QEvent::ToolTip || !index.isValid()) {
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }
    QStyleOptionViewItem entry = indented(option, index);
    initStyleOption(&entry, index);
    const QStyle* style = view->style();
    const QRect room = style->subElementRect(QStyle::SE_ItemViewItemText, &entry, view);
    // The style keeps a margin on either side of the text.
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
    const int wanted = entry.fontMetrics.horizontalAdvance(entry.text) + 2 * margin;
    const bool cut = wanted > room.width() || room.left() + wanted > view->viewport()->width() ||
                     room.left() < 0;
    if (cut) {
        QToolTip::showText(event->globalPos(), entry.text, view->viewport(), option.rect);
    } else {
        QToolTip::hideText();
    }
    return true;
}

}  // namespace tavrel
