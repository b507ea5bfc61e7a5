#include "clock/dialogs/DimmerWidget.h"

#include "platform/api/Platform.h"

#include <QDebug>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QStyleOption>

DimmerWidget::DimmerWidget() : QWidget(nullptr)
{
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::SubWindow);
    setStyleSheet(QStringLiteral("background-color: rgba(30, 30, 30, 127);"));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        setGeometry(screen->geometry());
    setWindowOpacity(0.5);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void DimmerWidget::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Qt's attribute only keeps mouse events from this widget; the window system still hands the
    // clicks to it unless the native window lets them through.
    platform::Desktop* host = platform::services().hostDesktop;
    if (!host)
        return;
    const platform::WindowId id = winId();
    const std::uint32_t exStyle = host->windowExStyle(id) | platform::exstyle::Layered | platform::exstyle::Transparent;
    if (!host->setWindowExStyle(id, exStyle))
        qWarning().noquote() << "护眼模式: 无法让鼠标点击穿透遮罩窗口";
}

void DimmerWidget::paintEvent(QPaintEvent*)
{
    QStyleOption option;
    option.initFrom(this);
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
}
