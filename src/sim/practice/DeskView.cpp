#include "sim/practice/DeskView.h"

#include <QMouseEvent>
#include <QPainter>

namespace practice {

namespace {

const QColor kDeskColour(0x1e, 0x1e, 0x1e);
const QColor kActiveTitle(0x1f, 0x5f, 0xbf);
const QColor kInactiveTitle(0x80, 0x80, 0x88);
const QColor kFace(0xf0, 0xf0, 0xf0);

bool is(const DrawnControl& c, const char* className)
{
    return c.className.compare(QLatin1String(className), Qt::CaseInsensitive) == 0;
}

} // namespace

DeskView::DeskView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(420, 280);
}

void DeskView::display(const sim::DesktopSnapshot& desk)
{
    m_desk = desk;
    m_drawn = layoutDesk(m_desk, size());
    repaint();
}

void DeskView::resizeEvent(QResizeEvent*)
{
    m_drawn = layoutDesk(m_desk, size());
}

platform::WindowId DeskView::buttonAt(const QPoint& point) const
{
    // Front to back: the window in front takes the click.
    for (auto w = m_drawn.crbegin(); w != m_drawn.crend(); ++w) {
        if (!w->rect.contains(point))
            continue;
        for (const DrawnControl& c : w->controls) {
            if (is(c, "Button") && c.enabled && c.rect.translated(w->rect.topLeft()).contains(point))
                return c.id;
        }
        return 0;
    }
    return 0;
}

void DeskView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (const platform::WindowId button = buttonAt(event->pos()))
        emit buttonClicked(button);
}

void DeskView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), kDeskColour);
    if (m_drawn.isEmpty()) {
        p.setPen(Qt::lightGray);
        p.drawText(rect(), Qt::AlignCenter, QStringLiteral("没有交易软件在运行"));
    }
    for (const DrawnWindow& w : m_drawn)
        paintWindow(p, w);
    p.end();
    emit painted();
}

void DeskView::paintWindow(QPainter& p, const DrawnWindow& w)
{
    p.save();
    p.translate(w.rect.topLeft());
    const QRect frame(0, 0, w.rect.width() - 1, w.rect.height() - 1);
    const QRect title(1, 1, w.rect.width() - 2, 23);
    if (w.mainWindow) {
        // The client's quote screen behind its dialogs: dark, as both clients draw it.
        p.fillRect(frame, QColor(0x10, 0x10, 0x18));
        p.setPen(QColor(0x40, 0x40, 0x50));
        for (int y = 48; y < w.rect.height(); y += 24)
            p.drawLine(8, y, w.rect.width() - 8, y);
    } else {
        p.fillRect(frame.adjusted(3, 3, 3, 3), QColor(0, 0, 0, 90)); // shadow
        p.fillRect(frame, kFace);
    }
    p.fillRect(title, w.foreground ? kActiveTitle : kInactiveTitle);
    p.setPen(Qt::white);
    QFont bold = font();
    bold.setBold(true);
    p.setFont(bold);
    p.drawText(title.adjusted(8, 0, -8, 0), Qt::AlignVCenter | Qt::AlignLeft, w.title);
    p.setFont(font());
    p.setPen(QColor(0x60, 0x60, 0x60));
    p.drawRect(frame);
    for (const DrawnControl& c : w.controls)
        paintControl(p, c);
    p.restore();
}

void DeskView::paintControl(QPainter& p, const DrawnControl& c)
{
    const QRect r = c.rect;
    const QColor ink = c.enabled ? Qt::black : Qt::gray;
    if (is(c, "Edit") || is(c, "ComboBox")) {
        p.fillRect(r, Qt::white);
        p.setPen(c.focused ? kActiveTitle : QColor(0x7a, 0x7a, 0x7a));
        p.drawRect(r.adjusted(0, 0, -1, -1));
        p.setPen(ink);
        p.drawText(r.adjusted(5, 0, -5, 0), Qt::AlignVCenter | Qt::AlignLeft, c.text);
    } else if (is(c, "Button")) {
        p.fillRect(r, QColor(0xe1, 0xe1, 0xe1));
        p.setPen(c.focused ? kActiveTitle : QColor(0xad, 0xad, 0xad));
        p.drawRect(r.adjusted(0, 0, -1, -1));
        p.setPen(ink);
        p.drawText(r, Qt::AlignCenter, c.text);
    } else {
        p.setPen(ink);
        p.drawText(r.adjusted(2, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft, c.text);
    }
    if (is(c, "Button"))
        return;
    // Which child it is, as the program counts them (a profile names fields this way).
    QFont small = font();
    small.setPointSizeF(qMax(6.0, small.pointSizeF() * 0.7));
    p.setFont(small);
    p.setPen(QColor(0x90, 0x90, 0xb0));
    p.drawText(r.adjusted(0, 0, -3, 0), Qt::AlignTop | Qt::AlignRight,
               c.className + QLatin1Char(' ') + QString::number(c.classIndex));
    p.setFont(font());
}

} // namespace practice
