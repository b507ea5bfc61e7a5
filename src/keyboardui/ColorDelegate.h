#pragma once

// Paints a list item on its own colour: the item's background data fills the whole rectangle
// and the text is drawn centred in white. A selected item uses the palette's highlight colours
// instead, so the current choice stays visible.

#include <QStyledItemDelegate>

class ColorDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};
