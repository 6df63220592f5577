#pragma once

#include <QStyledItemDelegate>

namespace tavrel {

// Draws the entries of the folder and file lists, each indented as the list
// wants it. A name cut off at the list's edge shows whole in a tooltip.
class ListEntryDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

  protected:
    // How far an entry is drawn in from the list's left edge, in pixels.
    virtual int Indent(const QModelIndex&) const { return 0; }

  private:
    QStyleOptionViewItem indented(const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const;
};

}  // namespace tavrel
