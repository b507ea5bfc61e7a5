#include "OrderBook.h"

namespace sim {

void OrderBook::add(const Order& order)
{
    std::function<void(const Order&)> observer;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_orders.push_back(order);
        observer = m_observer;
    }
    if (observer)
        observer(order);
}

std::vector<Order> OrderBook::orders()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_orders;
}

std::vector<Order> OrderBook::submitted()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<Order> out;
    for (const Order& o : m_orders) {
        if (o.status == Order::Status::Submitted)
            out.push_back(o);
    }
    return out;
}

std::size_t OrderBook::submittedCount()
{
    return submitted().size();
}

void OrderBook::clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_orders.clear();
}

void OrderBook::setObserver(std::function<void(const Order&)> observer)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_observer = std::move(observer);
}

} // namespace sim
