#include "ColorDelegate.h"

#include <QPainter>

void ColorDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const
{
    painter->save();
    QColor text = Qt::white;
    if (option.state & QStyle::State_Selected) {
        painter->fillRect(option.rect, option.palette.highlight());
        text = option.palette.highlightedText().color();
    } else {
        // Background data may be a brush, or a colour or colour name; anything else paints none.
        const QVariant background = index.data(Qt::BackgroundRole);
        const QColor fill = background.userType() == QMetaType::QBrush ? background.value<QBrush>().color()
                                                                       : background.value<QColor>();
        if (fill.isValid())
            painter->fillRect(option.rect, fill);
    }
    painter->setPen(text);
    painter->setFont(option.font);
    painter->drawText(option.rect, Qt::AlignCenter, index.data(Qt::DisplayRole).toString());
    painter->restore();
}
