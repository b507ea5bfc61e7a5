#pragma once

// Every order the fake trading clients accepted or refused, in the order it happened: the oracle
// that scenario tests check (which orders were confirmed, at what price and quantity, and that
// nothing else was).

#include "platform/api/Types.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace sim {

struct Order
{
    enum class Client
    {
        Tdx,
        Ths
    };
    enum class Kind
    {
        Buy,
        MarginBuy,
        Sell,
        Cancel,
        CancelAll
    };
    enum class Status
    {
        Submitted,
        Rejected
    };

    Client client = Client::Tdx;
    Kind kind = Kind::Buy;
    Status status = Status::Submitted;
    std::u16string code;
    std::u16string name;
    std::u16string price; // as the dialog showed it ("10.52")
    std::int64_t quantity = 0;
    std::u16string dialogTitle;
    std::u16string message; // contract number for a submitted order, the client's refusal otherwise
    platform::ProcessId pid = 0;
    std::int64_t timeMs = 0;

    bool isBuy() const { return kind == Kind::Buy || kind == Kind::MarginBuy; }
};

class OrderBook
{
public:
    void add(const Order& order);
    std::vector<Order> orders();
    // Only the orders the client accepted.
    std::vector<Order> submitted();
    std::size_t submittedCount();
    void clear();
    // Called (on the thread that placed the order, outside the book's lock) for every new entry.
    void setObserver(std::function<void(const Order&)> observer);

private:
    std::mutex m_mutex;
    std::vector<Order> m_orders;
    std::function<void(const Order&)> m_observer;
};

} // namespace sim
