#pragma once

// The key-function choice: each item is painted on its function colour (ColorDelegate), and the
// closed box shows the current function on its colour too.

#include <QComboBox>

class ColorComboBox : public QComboBox
{
    Q_OBJECT
public:
    explicit ColorComboBox(QWidget* parent = nullptr);

    // Adds a function with its colour as the item's background data.
    void addColorItem(const QString& text, const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;
};
