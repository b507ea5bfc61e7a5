#pragma once

// 护眼模式: a dark translucent sheet over the whole primary screen that every click passes
// through to the windows below (Qt's transparency for mouse events and, on the native window,
// the layered and transparent extended styles through the host desktop).

#include <QWidget>

class DimmerWidget : public QWidget
{
    Q_OBJECT

public:
    DimmerWidget();

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};
