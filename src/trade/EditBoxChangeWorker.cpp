#include "trade/EditBoxChangeWorker.h"

#include "config/ConfigManager.h"
#include "platform/api/Platform.h"

EditBoxChangeWorker::EditBoxChangeWorker(StateMachine* stateMachine, QObject* parent)
    : QObject(parent), m_stateMachine(stateMachine), m_clock(stateMachine->clock()),
      m_rules(*stateMachine, *this)
{
    trade::registerMetaTypes();
    loadConfig();
}

EditBoxChangeWorker::~EditBoxChangeWorker() = default;

void EditBoxChangeWorker::forgetProcessHistory() {}

void EditBoxChangeWorker::loadConfig()
{
    ConfigManager* store = ConfigManager::instance();
    Config c;
    c.limits.onlyBond = store->tdxOnlyZz();
    c.limits.onlyMain = store->tdxOnlyMain();
    c.limits.notST = store->tdxNotST();
    c.limits.maxPriceLimit = store->tdxBuyMaxPriceLimitEnabled();
    c.limits.minPriceLimit = store->tdxBuyMinPriceLimitEnabled();
    c.limits.amountLimit = store->tdxBuyAmountLimitEnabled();
    c.limits.maxPrice = store->tdxBuyMaxPrice();
    c.limits.minPrice = store->tdxBuyMinPrice();
    c.limits.maxAmount = store->tdxBuyMaxAmount();
    c.codeIndex = store->tdxCodeIndex();
    c.nameIndex = store->tdxNameIndex();
    c.priceIndex = store->tdxPriceIndex();
    c.quantityIndex = store->tdxQuantityIndex();
    c.maxQuantityIndex = store->tdxMaxQuantityIndex();
    c.marginCodeIndex = store->tdxMarginCodeIndex();
    c.marginNameIndex = store->tdxMarginNameIndex();
    c.marginPriceIndex = store->tdxMarginPriceIndex();
    c.marginQuantityIndex = store->tdxMarginQuantityIndex();
    c.marginMaxQuantityIndex = store->tdxMarginMaxQuantityIndex();
    std::lock_guard<std::mutex> lock(m_configMutex);
    m_config = c;
}

void EditBoxChangeWorker::sendAction(int action, int reason)
{
    emit actionSignal(action, reason);
}

void EditBoxChangeWorker::sendNotice(int action, int reason)
{
    emit notice(action, reason);
}

void EditBoxChangeWorker::requestClose(trade::HWND window)
{
    emit requestCloseWindow(window);
}

void EditBoxChangeWorker::performDetection(trade::WPARAM) {}

void EditBoxChangeWorker::onTradeTypeSet(int, int type, int flag)
{
    m_tradeType = type;
    m_splitKey = flag != 0;
    if (flag)
        m_tradeTypeSetAt = m_clock.nowMs();
}

void EditBoxChangeWorker::onTradeCompleted(int) {}

void EditBoxChangeWorker::onReloadCfg()
{
    loadConfig();
}

bool EditBoxChangeWorker::isRunning() const
{
    return m_running;
}

void EditBoxChangeWorker::stop()
{
    m_running = false;
}
