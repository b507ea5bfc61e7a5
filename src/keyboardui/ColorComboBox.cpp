#include "ColorComboBox.h"

#include "ColorDelegate.h"

#include <QStyleOptionComboBox>
#include <QStylePainter>

ColorComboBox::ColorComboBox(QWidget* parent) : QComboBox(parent)
{
    setItemDelegate(new ColorDelegate(this));
}

void ColorComboBox::addColorItem(const QString& text, const QColor& color)
{
    addItem(text);
    setItemData(count() - 1, color, Qt::BackgroundRole);
}

void ColorComboBox::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    const QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    const QColor color = currentData(Qt::BackgroundRole).value<QColor>();
    if (color.isValid()) {
        painter.fillRect(field, color);
        painter.setPen(Qt::white);
    }
    painter.drawText(field, Qt::AlignCenter, currentText());
}
