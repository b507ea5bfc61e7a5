#include "trade/EditBoxChangeWorker.h"

#include "config/ConfigManager.h"
#include "keyboardlink/protocol/Protocol.h"
#include "platform/api/Platform.h"
#include "trade/FieldReaders.h"
#include "trade/StockRules.h"
#include "trade/WindowUtils.h"

#include <QDebug>

#include <cstdlib>
#include <set>
#include <utility>

namespace {

using State = StateMachine::State;
using trade::dialogKindName;
using trade::isFixedQuantityType;
using trade::splitRatio;
using trade::tradeTypeName;
namespace Action = trade::Action;
namespace Reason = trade::Reason;

constexpr qint64 DetectionLimitMs = 5000;
constexpr int FastPassSleepMs = 1; // steps 3 and 5, where the quantity is being set or awaited
constexpr int PassSleepMs = 2;
constexpr qint64 SamePassMs = 2;
constexpr qint64 MainWindowSettleMs = 150;
constexpr qint64 ShortDialogMs = 10;
constexpr qint64 ThsSecondEnterMs = 300;
constexpr qint64 OrderSubmittedEnterMs = 500;
constexpr qint64 VisibleSettleMs = 20;
constexpr qint64 ReadLimitMs = 1000;
constexpr qint64 ZeroMaximumMs = 150;
constexpr qint64 KeyboardNoQuantityMs = 100;
constexpr qint64 KeyboardReadLimitMs = 500;
constexpr qint64 SecondKeyMs = 150;
constexpr int HungCheckMs = 50;
constexpr int SplitSettleMs = 30;
constexpr int SetSettleMs = 20;
constexpr int ClearTextMs = 5;
constexpr int VerifySettleMs = 30;
constexpr int SplitRetries = 2;
constexpr int FixedQuantityAttempts = 3;
constexpr int KeyboardTolerance = 99;

constexpr qint64 ClickAnswerLimitMs = 1000; // the GUI thread's click of a button

// What the process remembers across workers and dialogs.
struct ProcessHistory
{
    std::mutex mutex;
    bool passLogged = false;
    trade::HWND passWindow = 0;
    int passState = 0;
    unsigned passStep = 0;
    qint64 passAt = 0;
    trade::HWND lastSwitchDialog = 0;
    std::set<std::pair<QString, QString>> promptsAsked;
    bool ownWindowKnown = false;
    trade::HWND ownWindow = 0;
};

ProcessHistory& history()
{
    static ProcessHistory h;
    return h;
}

platform::Desktop* desktop()
{
    return platform::services().desktop;
}

// A quantity as the client shows it: grouping and full-width spaces removed; 0 when it is not
// a number.
int quantityValue(const QString& text, bool* parsed = nullptr)
{
    QString cleaned = text.trimmed();
    cleaned.remove(QLatin1Char(','));
    cleaned.remove(QLatin1Char(' '));
    cleaned.remove(QChar(0x3000));
    bool ok = false;
    const int value = cleaned.toInt(&ok, 10);
    if (parsed)
        *parsed = ok;
    return ok ? value : 0;
}

} // namespace

// ---------------------------------------------------------------- construction and slots

EditBoxChangeWorker::EditBoxChangeWorker(StateMachine* stateMachine, QObject* parent)
    : QObject(parent), m_stateMachine(stateMachine), m_clock(stateMachine->clock()),
      m_rules(*stateMachine, *this), m_keyDownMs(Protocol::FactoryKeyDelayMs),
      m_keyUpMs(Protocol::FactoryKeyDelayMs)
{
    trade::registerMetaTypes();
    {
        ProcessHistory& h = history();
        std::lock_guard<std::mutex> lock(h.mutex);
        if (!h.ownWindowKnown) {
            // Asked on the constructing (GUI) thread: the active window is only known there.
            h.ownWindow = WindowUtils::ownWindowId();
            h.ownWindowKnown = true;
        }
    }
    loadConfig();
}

EditBoxChangeWorker::~EditBoxChangeWorker() = default;

void EditBoxChangeWorker::forgetProcessHistory()
{
    ProcessHistory& h = history();
    std::lock_guard<std::mutex> lock(h.mutex);
    h.passLogged = false;
    h.lastSwitchDialog = 0;
    h.promptsAsked.clear();
    h.ownWindowKnown = false;
    h.ownWindow = 0;
}

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

EditBoxChangeWorker::Config EditBoxChangeWorker::config() const
{
    std::lock_guard<std::mutex> lock(m_configMutex);
    return m_config;
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

void EditBoxChangeWorker::onTradeTypeSet(int buyIndex, int type, int flag)
{
    Q_UNUSED(buyIndex)
    m_tradeType = type;
    ++m_keyPresses;
    m_splitKey = flag != 0;
    if (flag)
        m_tradeTypeSetAt = now();
}

void EditBoxChangeWorker::onKeyboardDelays(int keyDownMs, int keyUpMs)
{
    // A keyboard that has not reported its delays (0) types with its factory ones.
    m_keyDownMs = keyDownMs > 0 ? keyDownMs : Protocol::FactoryKeyDelayMs;
    m_keyUpMs = keyUpMs > 0 ? keyUpMs : Protocol::FactoryKeyDelayMs;
}

int EditBoxChangeWorker::keyboardSettleMs() const
{
    return Protocol::slowestKeystrokeIntervalMs(m_keyDownMs, m_keyUpMs);
}

void EditBoxChangeWorker::onTradeCompleted(int tradeType)
{
    Q_UNUSED(tradeType)
}

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

qint64 EditBoxChangeWorker::now() const
{
    return m_clock.monotonicMs();
}

void EditBoxChangeWorker::sleepMs(int ms)
{
    m_clock.sleepMs(ms);
}

// ---------------------------------------------------------------- the detection loop

void EditBoxChangeWorker::performDetection(trade::WPARAM hwnd)
{
    Q_UNUSED(hwnd) // the window comes from the state machine
    m_running = true;
    const qint64 start = now();
    while (now() - start < DetectionLimitMs) {
        if (!m_running)
            break;
        processState();
        const unsigned step = m_stateMachine->step();
        if (m_stateMachine->state() == StateMachine::Idle || step == StateMachine::FinalStep)
            break;
        sleepMs(step == 3 || step == 5 ? FastPassSleepMs : PassSleepMs);
    }
    m_running = false;
}

void EditBoxChangeWorker::processState()
{
    // One consistent moment of the record: the watcher may start another transaction at any
    // time, and a window, state and step read one by one can mix two of them.
    m_pass = m_stateMachine->snapshot();
    const trade::HWND window = m_pass.window;
    const State state = m_pass.state;
    const unsigned step = m_pass.step;
    if (window != m_lastHwnd) {
        qDebug().noquote() << "窗口句柄变化，重置界面状态";
        m_lastHwnd = window;
        setStep(0);
    }

    const qint64 t = now();
    {
        ProcessHistory& h = history();
        std::lock_guard<std::mutex> lock(h.mutex);
        if (h.passLogged && h.passWindow == window && h.passState == int(state) && h.passStep == step &&
            t - h.passAt < SamePassMs)
            return;
        if (step == StateMachine::FinalStep) {
            qDebug().noquote() << "已处于结束状态，跳过处理";
            return;
        }
        h.passLogged = true;
        h.passWindow = window;
        h.passState = int(state);
        h.passStep = step;
        h.passAt = t;
    }
    qDebug().noquote() << "开始处理状态:" << int(state) << "步骤:" << step << "窗口:" << window
                       << "交易类型:" << m_tradeType.load();

    switch (state) {
    case StateMachine::ThsMain:
    case StateMachine::ThsYhMain:
    case StateMachine::TdxLayout:
    case StateMachine::TdxMain:
        handleMainWindow(state, step, window);
        break;
    case StateMachine::ThsDialog:
        handleThsDialog(step, window);
        break;
    case StateMachine::FlashBuy:
    case StateMachine::FlashSell:
        handleFlashOrder(step);
        break;
    case StateMachine::TdxDialog:
    case StateMachine::OrderSubmitted:
    case StateMachine::CancelConfirm:
    case StateMachine::CancelAll:
        handleShortDialog(state, step, window);
        break;
    case StateMachine::Idle:
    case StateMachine::SelectDialog:
    case StateMachine::TradeConfirm:
        qDebug().noquote() << "未知状态，重置事务";
        setStep(StateMachine::FinalStep);
        break;
    }
}

void EditBoxChangeWorker::handleMainWindow(State state, unsigned step, trade::HWND window)
{
    if (state == StateMachine::ThsMain || state == StateMachine::ThsYhMain) {
        m_tradeType = 0;
    } else if (m_stateMachine->isCommitted()) {
        qDebug().noquote() << "事务已提交，重置交易状态";
        m_tradeType = 0;
        m_stateMachine->clearCommitted();
    }
    if (step != 0 || now() - m_stateMachine->stateEnteredAt() < MainWindowSettleMs)
        return;
    trade::HWND own = 0;
    {
        ProcessHistory& h = history();
        std::lock_guard<std::mutex> lock(h.mutex);
        own = h.ownWindow;
    }
    // A client left topmost would cover the clock and the program's dialogs.
    if (window != own && WindowUtils::isTopMost(window))
        WindowUtils::cancelTopMost(window);
    setStep(StateMachine::FinalStep);
}

void EditBoxChangeWorker::handleThsDialog(unsigned step, trade::HWND window)
{
    qDebug().noquote() << "同花顺下单页面检测";
    switch (step) {
    case 0:
        if (isVisible(window)) {
            setMark();
            sendAction(Action::DialogVisible, 0);
            advanceStep();
        }
        break;
    case 1:
        if (now() - markTime() >= ShortDialogMs && m_tradeType != 0) {
            sendAction(Action::Trade, 0);
            pressEnterInto(window);
            advanceStep();
        }
        break;
    case 2:
        if (m_tradeType != 0 && now() - markTime() >= ThsSecondEnterMs) {
            pressEnterInto(window);
            setStep(StateMachine::FinalStep);
            m_tradeType = 0;
        }
        break;
    default:
        break;
    }
}

void EditBoxChangeWorker::handleShortDialog(State state, unsigned step, trade::HWND window)
{
    if (step == 0) {
        if (!isVisible(window))
            return;
        setMark();
        if (state == StateMachine::OrderSubmitted)
            sendNotice(Action::Submitted, 0);
        advanceStep();
        return;
    }
    if (step != 1)
        return;
    const qint64 waited = now() - markTime();
    switch (state) {
    case StateMachine::TdxDialog:
        if (waited >= ShortDialogMs) {
            sendAction(Action::TdxBox, 0);
            setStep(StateMachine::FinalStep);
        }
        break;
    case StateMachine::OrderSubmitted:
        if (waited >= OrderSubmittedEnterMs) {
            pressEnterInto(window);
            setStep(StateMachine::FinalStep);
        }
        break;
    case StateMachine::CancelConfirm:
        if (waited >= ShortDialogMs) {
            sendAction(Action::DialogVisible, 0);
            setStep(StateMachine::FinalStep);
        }
        break;
    case StateMachine::CancelAll:
        if (waited >= ShortDialogMs) {
            sendAction(Action::Submitted, 0);
            setStep(StateMachine::FinalStep);
        }
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------- the flash order dialogs

void EditBoxChangeWorker::handleFlashOrder(unsigned step)
{
    qDebug().noquote() << "通达信下单页面检测";
    const State state = m_pass.state;
    if (state != StateMachine::FlashBuy && state != StateMachine::FlashSell) {
        setStep(StateMachine::FinalStep);
        return;
    }
    OrderDialog dialog;
    dialog.hwnd = m_pass.window;
    dialog.kind = trade::dialogKind(m_pass.title);
    // A window that changes no state (another program's box, a 提示 without 委托已提交) comes to
    // the front in an order state as well: only an order dialog is ever filled or confirmed.
    if (!trade::isOrderDialog(dialog.kind) || m_pass.className != QLatin1String("#32770")) {
        qDebug().noquote() << "不是下单对话框，不处理：" << m_pass.title;
        setStep(StateMachine::FinalStep);
        return;
    }
    beginOrderDialogIfNew(dialog.hwnd);
    // A dialog this program has confirmed or refused once stays the user's when it comes back
    // to the front (after a 提示 or Tdx box, an alt-tab, a client that keeps it after refusing).
    if (m_handledDialogs.count(dialog.hwnd)) {
        qDebug().noquote() << "该下单对话框已处理过，不再处理：" << dialog.hwnd;
        setStep(StateMachine::FinalStep);
        return;
    }

    if (ConfigManager::instance()->autoSwitchProfileEnabled()) {
        bool handOver = false;
        {
            ProcessHistory& h = history();
            std::lock_guard<std::mutex> lock(h.mutex);
            if (dialog.hwnd != h.lastSwitchDialog) {
                h.lastSwitchDialog = dialog.hwnd;
                handOver = true;
            }
        }
        // A broker's TDX lays its dialogs out differently: read this one with the profile made
        // for its installation.
        if (handOver)
            ConfigManager::instance()->selectProfileForDialog(dialog.hwnd, [this] { loadConfig(); });
    }

    const Config cfg = config();
    m_rules.setLimits(cfg.limits);
    const bool margin = dialog.kind == 2;
    dialog.priceIndex = margin ? cfg.marginPriceIndex : cfg.priceIndex;
    dialog.quantityIndex = margin ? cfg.marginQuantityIndex : cfg.quantityIndex;
    dialog.maxQuantityIndex = margin ? cfg.marginMaxQuantityIndex : cfg.maxQuantityIndex;
    if (dialog.kind == 0 || dialog.kind == 1) {
        dialog.codeIndex = cfg.codeIndex;
        dialog.nameIndex = cfg.nameIndex;
    } else if (margin) {
        dialog.codeIndex = cfg.marginCodeIndex;
        dialog.nameIndex = cfg.marginNameIndex;
    }

    if (orderTradeType() != 0 && m_splitKey && step < 4) {
        // The keyboard does the split, but the user's restrictions and price limits hold for
        // its orders as for any other: a buy goes to keyboard split mode only once they passed.
        if (state == StateMachine::FlashBuy && !m_buyChecksPassed && buyChecks(dialog) != Checks::Passed)
            return;
        setStep(4);
        return;
    }

    switch (step) {
    case 0:
        flashStep0(dialog);
        break;
    case 1:
        flashStep1(dialog);
        break;
    case 2:
        flashStep2(dialog);
        break;
    case 3:
        flashStep3(dialog);
        break;
    case 4:
        flashStep4(dialog);
        break;
    case 5:
        flashStep5(dialog);
        break;
    case 6:
        flashStep6(dialog);
        break;
    default:
        break;
    }
}

void EditBoxChangeWorker::beginOrderDialogIfNew(trade::HWND dialog)
{
    if (m_pass.transaction == m_orderTransaction)
        return;
    m_orderTransaction = m_pass.transaction;
    m_orderDialog = dialog;
    const qint64 since = m_pass.stateEnteredAt;
    // A handle is only remembered while its window lives: Windows reuses the handles of
    // destroyed windows.
    for (auto it = m_handledDialogs.begin(); it != m_handledDialogs.end();)
        it = isWindow(*it) ? std::next(it) : m_handledDialogs.erase(it);
    m_target = 0;
    m_ratio = 0;
    m_retryCount = 0;
    m_maxQuantity = -1;
    m_stability.reset();
    m_buyChecksPassed = false;
    m_verdict = {};
    // Keyboard split mode skips step 0, where the clock of the trade time report starts.
    m_timingStart = since;
    m_tradeDone = false;
}

EditBoxChangeWorker::Checks EditBoxChangeWorker::buyChecks(const OrderDialog& dialog)
{
    const BuyLimits& limits = m_rules.limits();
    if (limits.onlyBond || limits.onlyMain || limits.notST) {
        bool codeKnown = false;
        {
            StateMachine::Lock lock(m_stateMachine->mutex());
            codeKnown = !m_stateMachine->record()->code.isEmpty();
        }
        if (!codeKnown && !readCodeAndName(dialog)) {
            if (sinceStep() >= ReadLimitMs) {
                refuse(dialog, Reason::NoCode, false);
                requestConfigPrompt(QStringLiteral("股票代码"), QString());
                return Checks::Refused;
            }
            return Checks::Pending;
        }
    }
    QString code;
    QString name;
    {
        StateMachine::Lock lock(m_stateMachine->mutex());
        code = m_stateMachine->record()->code;
        name = m_stateMachine->record()->name;
    }
    if (const int reason = m_rules.restrictionReason(code, name)) {
        refuse(dialog, reason, true);
        return Checks::Refused;
    }

    if (limits.amountLimit || limits.maxPriceLimit || limits.minPriceLimit) {
        trade::HWND cache = 0;
        {
            StateMachine::Lock lock(m_stateMachine->mutex());
            cache = m_stateMachine->record()->priceControl;
        }
        QString price;
        const FieldReadResult result = FieldReaders::readPrice(dialog.hwnd, cache, dialog.priceIndex, price);
        {
            StateMachine::Lock lock(m_stateMachine->mutex());
            TradeWindowRecord* record = m_stateMachine->record();
            if (m_stateMachine->transaction() == m_pass.transaction) {
                record->priceControl = cache;
                if (result == FieldReadOk)
                    record->priceText = price;
            }
        }
        if (result != FieldReadOk) {
            qDebug().noquote() << "getStockPrice failed, code =" << int(result);
            if (sinceStep() >= ReadLimitMs) {
                refuse(dialog, Reason::NoPrice, false);
                if (result != FieldNoAnswer)
                    requestConfigPrompt(QStringLiteral("股票价格"), dialog.kind == 2
                                                                        ? QStringLiteral("闪电融资买入")
                                                                        : QStringLiteral("闪电买入"));
                return Checks::Refused;
            }
            return Checks::Pending;
        }
        // A refusal has sent (64, 15), ended the transaction and asked for the dialog's closing.
        if (!m_rules.priceLimitCheck()) {
            endTransaction(dialog, Verdict::Refused, Reason::PriceLimit, false);
            return Checks::Refused;
        }
    }
    m_buyChecksPassed = true;
    return Checks::Passed;
}

void EditBoxChangeWorker::flashStep0(const OrderDialog& dialog)
{
    m_timingStart = m_pass.stateEnteredAt;
    m_tradeDone = false;

    QString quantity;
    const FieldReadResult read = readQuantity(dialog, quantity);
    if (read != FieldReadOk) {
        if (sinceStep() >= ReadLimitMs) {
            refuse(dialog, Reason::NoQuantity, false);
            // A client that does not answer says nothing about the configuration.
            if (read != FieldNoAnswer)
                requestConfigPrompt(QStringLiteral("交易数量"), dialogKindName(dialog.kind));
        }
        return;
    }
    if (m_pass.state == StateMachine::FlashBuy && buyChecks(dialog) != Checks::Passed)
        return;
    m_stability.observe(quantity, now(), m_splitKey, m_tradeTypeSetAt);
    if (isVisible(dialog.hwnd)) {
        setMark();
        advanceStep();
    }
}

void EditBoxChangeWorker::flashStep1(const OrderDialog& dialog)
{
    if (now() - markTime() < VisibleSettleMs)
        return;
    if (dialog.hwnd != m_confirmButtonDialog) {
        m_confirmButton = WindowUtils::findConfirmButton(dialog.hwnd);
        m_confirmButtonDialog = dialog.hwnd;
        if (m_confirmButton)
            qDebug().noquote() << "已预查找确认按钮: hwnd=" << m_confirmButton;
    }
    sendAction(Action::DialogVisible, 0);
    advanceStep();
    m_actionSent = false;
    {
        StateMachine::Lock lock(m_stateMachine->mutex());
        TradeWindowRecord* record = m_stateMachine->record();
        if (record->initialQuantityText.isEmpty() || record->initialQuantityText == QLatin1String("0"))
            record->initialQuantityText = record->quantityText;
        record->markTime = now();
    }
}

void EditBoxChangeWorker::flashStep2(const OrderDialog& dialog)
{
    QString quantity;
    if (readQuantity(dialog, quantity) != FieldReadOk) {
        if (sinceStep() >= ReadLimitMs)
            refuse(dialog, Reason::NoQuantity, false);
        return;
    }

    if (readMaximum(dialog) != Maximum::Positive)
        return;
    const qint64 waited = sinceStep();
    if (StockRules::isNonZero(quantity)) {
        if (m_stability.observe(quantity, now(), m_splitKey, m_tradeTypeSetAt)) {
            advanceStep();
            setMark();
        }
        return;
    }
    const int type = orderTradeType();
    if (type == 0)
        return; // nobody asked for a trade: the dialog is the user's
    if (!isFixedQuantityType(type)) {
        advanceStep();
        return;
    }
    if (waited >= ReadLimitMs) {
        const int reason = type == 20 ? Reason::FixedSellEmpty : Reason::FixedBuyEmpty;
        sendAction(Action::Trade, 0);
        sendNotice(Action::Trade, reason);
        endTransaction(dialog, Verdict::Refused, reason, false);
    }
}

EditBoxChangeWorker::Maximum EditBoxChangeWorker::readMaximum(const OrderDialog& dialog)
{
    m_maxQuantity = -1;
    trade::HWND cache = 0;
    {
        StateMachine::Lock lock(m_stateMachine->mutex());
        cache = m_stateMachine->record()->maxQuantityControl;
    }
    int maximum = -1;
    const FieldReadResult result =
        FieldReaders::readMaxQuantity(dialog.hwnd, cache, dialog.maxQuantityIndex, maximum);
    {
        StateMachine::Lock lock(m_stateMachine->mutex());
        if (m_stateMachine->transaction() == m_pass.transaction)
            m_stateMachine->record()->maxQuantityControl = cache;
    }
    if (result == FieldReadOk) {
        m_maxQuantity = maximum;
    } else if (result == FieldIndexNotConfigured || result == FieldControlMissing || result == FieldInvalid ||
               result == FieldNegative) {
        refuse(dialog, result == FieldIndexNotConfigured ? Reason::NoMaximumIndex : Reason::BadMaximum, false);
        return Maximum::Ended;
    }

    const qint64 waited = sinceStep();
    if (m_maxQuantity < 0) {
        if (waited >= ReadLimitMs) {
            refuse(dialog, Reason::CannotTrade, false);
            return Maximum::Ended;
        }
        qDebug().noquote() << "等待通达信计算最大可买数量，已等待" << waited << "ms";
        return Maximum::Pending;
    }
    if (m_maxQuantity == 0) {
        if (waited >= ZeroMaximumMs) {
            sendAction(Action::Trade, 0);
            sendNotice(Action::Trade, isSellSide() ? Reason::SellZero : Reason::BuyZero);
            endTransaction(dialog, Verdict::Refused, isSellSide() ? Reason::SellZero : Reason::BuyZero, true);
            return Maximum::Ended;
        }
        qDebug().noquote() << "等待通达信计算最大可买数量，已等待" << waited << "ms";
        return Maximum::Pending;
    }
    m_verdict.maximum = m_maxQuantity;
    return Maximum::Positive;
}

void EditBoxChangeWorker::flashStep3(const OrderDialog& dialog)
{
    if (!m_actionSent) {
        sendAction(Action::Trade, 0);
        m_actionSent = true;
    }
    const int type = orderTradeType();
    if (isFixedQuantityType(type)) {
        fixedQuantityPath(dialog);
        return;
    }
    setMark();
    trade::HWND quantityControl = 0;
    {
        StateMachine::Lock lock(m_stateMachine->mutex());
        quantityControl = m_stateMachine->record()->quantityControl;
    }
    platform::Desktop* d = desktop();
    if (d && isWindow(dialog.hwnd) && isWindow(quantityControl) &&
        !d->sendMessageTimeout(dialog.hwnd, platform::msg::Null, 0, 0, platform::smto::AbortIfHung,
                               HungCheckMs, nullptr))
        qDebug().noquote() << "窗口未响应，可能卡死";

    if (type != 0 && ConfigManager::instance()->useSoftwareSplit() && !m_splitKey) {
        softwareSplit(dialog);
        return;
    }
    if (m_splitKey) {
        qDebug().noquote() << "键盘分仓模式，splitKey:" << m_splitKey.load();
        advanceStep();
        return;
    }
    // No trade type, or the software split is off without a split key: the dialog is left to
    // the user and the keyboard.
}

void EditBoxChangeWorker::softwareSplit(const OrderDialog& dialog)
{
    const int type = orderTradeType();
    qDebug().noquote() << "软件接管分仓，TradeType:" << type;
    const int ratio = splitRatio(type);
    if (ratio == 0) {
        qDebug().noquote() << "不支持的分仓类型，回退到键盘模式";
        advanceStep();
        return;
    }
    m_ratio = ratio;
    setTarget(splitTarget(m_maxQuantity, ratio));
    if (ratio != 1) {
        qDebug().noquote() << QStringLiteral("分仓计算：最大%1，比例1/%2，目标%3")
                                  .arg(m_maxQuantity)
                                  .arg(ratio)
                                  .arg(m_target);
    }
    qDebug().noquote() << "分仓计算：最大可买=" << m_maxQuantity << "，比例=1/" << ratio
                       << "，目标数量=" << m_target;

    int adjusted = m_target;
    if (!m_rules.amountLimitCheck(adjusted)) {
        qDebug().noquote() << "限额检查失败，回退到键盘模式";
        advanceStep();
        return;
    }
    if (adjusted == m_target) {
        qDebug().noquote() << "无需限额调整，执行分仓操作";
        if (!applySplit(dialog.hwnd, ratio)) {
            qDebug().noquote() << "分仓操作失败，回退到键盘模式";
            advanceStep();
            return;
        }
        sleepMs(SplitSettleMs);
        if (verifySplit(dialog)) {
            qDebug().noquote() << "软件分仓成功，数量验证通过：" << m_target;
            m_retryCount = 0;
        } else {
            qDebug().noquote() << "分仓验证失败，尝试重试";
            if (++m_retryCount < SplitRetries)
                return; // the next pass of this step splits again
            qDebug().noquote() << "重试次数超限，尝试强制设置数量";
            m_retryCount = 0;
            if (!setQuantityDirectly(m_target)) {
                qDebug().noquote() << "强制设置数量失败，回退到键盘模式";
                advanceStep();
                return;
            }
            sleepMs(SetSettleMs);
            if (!verifySplit(dialog)) {
                qDebug().noquote() << "强制设置后验证仍失败，回退到键盘模式";
                advanceStep();
                return;
            }
            qDebug().noquote() << "强制设置数量成功：" << m_target;
        }
    } else {
        qDebug().noquote() << "限额调整：" << m_target << " → " << adjusted << "，跳过分仓操作，直接设置数量";
        setTarget(adjusted);
        if (!setQuantityDirectly(m_target)) {
            qDebug().noquote() << "设置调整后数量失败，回退到键盘模式";
            advanceStep();
            return;
        }
        sleepMs(SetSettleMs);
        if (!verifySplit(dialog)) {
            qDebug().noquote() << "验证调整后数量失败，回退到键盘模式";
            advanceStep();
            return;
        }
    }
    commitAndConfirm(dialog, false);
}

void EditBoxChangeWorker::fixedQuantityPath(const OrderDialog& dialog)
{
    QString text;
    {
        StateMachine::Lock lock(m_stateMachine->mutex());
        text = m_stateMachine->record()->quantityText;
    }
    const int quantity = quantityValue(text);
    int adjusted = quantity;
    if (!m_rules.amountLimitCheck(adjusted)) {
        qDebug().noquote() << "定额买入：金额限制检查失败，取消交易";
        refuseAmount(dialog);
        return;
    }
    if (adjusted != quantity) {
        qDebug().noquote() << "定额买入：数量已调整，从" << quantity << "调整为" << adjusted;
        setTarget(adjusted);
        if (!setQuantityWithAttempts(dialog, adjusted, FixedQuantityAttempts)) {
            qDebug().noquote() << "定额买入：无法设置正确数量，取消交易";
            refuse(dialog, Reason::AmountLimit, true);
            return;
        }
    }
    commitAndConfirm(dialog, false);
}

void EditBoxChangeWorker::flashStep4(const OrderDialog& dialog)
{
    const qint64 keyTime = m_tradeTypeSetAt;
    QString quantity;
    const FieldReadResult read = readQuantity(dialog, quantity);
    if (read != FieldReadOk) {
        // A client that stopped answering (the software split came here after it failed to
        // set the quantity) is given up on just as the keyboard's quantity would be.
        if ((keyTime > 0 && now() - keyTime >= KeyboardReadLimitMs) ||
            (read == FieldNoAnswer && sinceStep() >= KeyboardReadLimitMs))
            refuse(dialog, Reason::NoQuantity, false);
        return;
    }
    if (StockRules::isNonZero(quantity)) {
        // A keyboard typing "1000" shows "1", "10" and "100" first, each for up to one keystroke
        // interval: only a quantity that outlasts the slowest one is what it meant.
        if (!m_stability.observe(quantity, now(), m_splitKey, keyTime, keyboardSettleMs()))
            return;
        // Keyboard split mode skips the visibility step: a dialog not shown yet takes no Enter.
        if (!isVisible(dialog.hwnd))
            return;
        if (readMaximum(dialog) != Maximum::Positive)
            return;
        const int ratio = splitRatio(orderTradeType());
        if (ratio > 0 && m_target <= 0)
            setTarget(splitTarget(m_maxQuantity, ratio));
        bool parsed = false;
        const int actual = quantityValue(quantity, &parsed);
        if (!parsed || actual < 1) {
            qDebug().noquote() << "键盘模式：无法解析实际数量：" << quantity;
            refuse(dialog, Reason::NoQuantity, false);
            return;
        }
        // Only a target computed for this dialog says what the keyboard should have typed.
        if (m_target > 0) {
            const int difference = std::abs(actual - m_target);
            if (difference > KeyboardTolerance) {
                qDebug().noquote() << "❌ 键盘模式分仓验证失败：目标" << m_target << "，实际" << actual
                                   << "，差异" << difference;
                qDebug().noquote() << "阻止提交订单，避免下错单";
                refuse(dialog, Reason::NoQuantity, false);
                return;
            }
            qDebug().noquote() << "✓ 键盘模式分仓验证成功：目标" << m_target << "，实际" << actual;
        }
        if (m_pass.state == StateMachine::FlashBuy && actual % buyLot(dialog) != 0) {
            qDebug().noquote() << "键盘模式：买入数量不是整手：" << actual;
            refuse(dialog, Reason::NoQuantity, false);
            return;
        }
        if (!keyboardQuantityWithinLimit(dialog, quantity))
            return;
        if (!m_verdict.target)
            m_verdict.target = actual;
        commitAndConfirm(dialog, true);
        return;
    }
    if (keyTime > 0 && now() - keyTime >= KeyboardNoQuantityMs) {
        m_splitKey = false;
        sendAction(Action::NoKeyboardQuantity, 0);
        setStep(5);
    }
}

bool EditBoxChangeWorker::keyboardQuantityWithinLimit(const OrderDialog& dialog, const QString& quantityText)
{
    // The amount limit holds for what the keyboard typed as for what the program computes.
    if (m_pass.state != StateMachine::FlashBuy || !m_rules.limits().amountLimit)
        return true;
    const int quantity = quantityValue(quantityText);
    int adjusted = quantity;
    if (!m_rules.amountLimitCheck(adjusted)) {
        qDebug().noquote() << "键盘分仓：金额限制检查失败，取消交易";
        refuseAmount(dialog);
        return false;
    }
    if (adjusted != quantity) {
        qDebug().noquote() << "键盘分仓：数量已调整，从" << quantity << "调整为" << adjusted;
        setTarget(adjusted);
        if (!setQuantityWithAttempts(dialog, adjusted, FixedQuantityAttempts)) {
            qDebug().noquote() << "键盘分仓：无法设置正确数量，取消交易";
            refuse(dialog, Reason::AmountLimit, true);
            return false;
        }
    }
    return true;
}

void EditBoxChangeWorker::flashStep5(const OrderDialog& dialog)
{
    QString quantity;
    if (readQuantity(dialog, quantity) != FieldReadOk) {
        if (sinceStep() >= SecondKeyMs)
            refuse(dialog, Reason::NoQuantity, false);
        return;
    }
    if (StockRules::isNonZero(quantity)) {
        // Action 16 lets the keyboard confirm: the amount limit is applied before it.
        if (keyboardQuantityWithinLimit(dialog, quantity))
            advanceStep();
        return;
    }
    const qint64 keyTime = m_tradeTypeSetAt;
    if (orderTradeType() != 0 && m_splitKey && keyTime > 0 && now() - keyTime >= SecondKeyMs) {
        sendAction(Action::Trade, 0);
        endTransaction(dialog, Verdict::Refused, 0, true);
        sendNotice(Action::KeyboardTimeout, isSellSide() ? Reason::SellZero : Reason::BuyZero);
    }
}

void EditBoxChangeWorker::flashStep6(const OrderDialog& dialog)
{
    sendAction(Action::SecondKeyQuantity, 0);
    // The keyboard confirms this one itself; the program never does.
    endTransaction(dialog, Verdict::LeftToKeyboard, 0, false);
}

// ---------------------------------------------------------------- committing

int EditBoxChangeWorker::splitTarget(int maximum, int ratio)
{
    if (ratio == 1)
        return maximum;
    // Whole lots, and never less than one lot: a small account still buys one.
    return qMax(maximum / ratio / 100 * 100, 100);
}

void EditBoxChangeWorker::setTarget(int target)
{
    m_target = target;
    m_verdict.target = target;
}

int EditBoxChangeWorker::buyLot(const OrderDialog& dialog)
{
    QString code;
    {
        StateMachine::Lock lock(m_stateMachine->mutex());
        code = m_stateMachine->record()->code;
    }
    if (code.isEmpty() && readCodeAndName(dialog)) {
        StateMachine::Lock lock(m_stateMachine->mutex());
        code = m_stateMachine->record()->code;
    }
    return m_rules.limits().onlyBond || StockRules::isConvertibleBond(code) ? 10 : 100;
}

void EditBoxChangeWorker::commitAndConfirm(const OrderDialog& dialog, bool reportToKeyboard)
{
    // A buy is confirmed only on what this very transaction checked and read: its restrictions
    // and price limits passed, its maximum known.
    if (m_pass.state == StateMachine::FlashBuy && (!m_buyChecksPassed || m_verdict.maximum < 0)) {
        qDebug().noquote() << "本次交易的检查未完成，不确认订单";
        refuse(dialog, Reason::CannotTrade, false);
        return;
    }
    if (!setStep(StateMachine::FinalStep)) {
        qDebug().noquote() << "窗口已变化，不确认订单";
        return;
    }
    m_stateMachine->markCommitted();
    rememberHandled(dialog.hwnd);
    if (!confirm(dialog.hwnd)) {
        // Nothing was clicked: the order was not placed, whatever the dialog shows.
        qDebug().noquote() << "确认未完成，订单未提交";
        sendAction(Action::Trade, Reason::CannotTrade);
        m_verdict.outcome = Verdict::Refused;
        m_verdict.reason = Reason::CannotTrade;
        publishVerdict();
        return;
    }
    m_verdict.outcome = Verdict::Confirmed;
    m_verdict.reason = 0;
    publishVerdict();
    m_tradeDone = true;
    reportTradeTime();
    if (reportToKeyboard)
        sendAction(Action::Trade, 0);
}

bool EditBoxChangeWorker::confirm(trade::HWND dialog)
{
    // The cached button is only good for the dialog it was found in.
    if (m_confirmButtonDialog == dialog && isWindow(m_confirmButton)) {
        qDebug().noquote() << "发送点击按钮信号，使用缓存";
        return click(m_confirmButton);
    }
    qDebug().noquote() << "缓存失效，重新查找按钮";
    const trade::HWND button = WindowUtils::findConfirmButton(dialog);
    if (button) {
        m_confirmButton = button;
        m_confirmButtonDialog = dialog;
        qDebug().noquote() << "找到按钮，发送点击信号";
        return click(button);
    }
    qDebug().noquote() << "未找到按钮，回退到 SendEnterKey 方式";
    platform::Desktop* d = desktop();
    if (!d || d->foregroundWindow() != dialog) {
        qDebug().noquote() << "窗口不在前台，不发送回车:" << dialog;
        return false;
    }
    WindowUtils::pressEnter();
    return true;
}

bool EditBoxChangeWorker::click(trade::HWND button)
{
    // The click runs on the GUI thread; what follows it (verifying a split, reporting success)
    // must wait until it has really happened.
    const quint64 ticket = ++m_clicksAsked;
    emit requestClickButton(button);
    const qint64 asked = now();
    while (m_clicksAnswered.load() < ticket) {
        if (!m_running || now() - asked >= ClickAnswerLimitMs) {
            qDebug().noquote() << "点击未得到执行：" << button;
            return false;
        }
        sleepMs(FastPassSleepMs);
    }
    return m_lastClickDone.load();
}

void EditBoxChangeWorker::onButtonClicked(trade::HWND button, bool clicked)
{
    Q_UNUSED(button)
    m_lastClickDone = clicked;
    ++m_clicksAnswered;
}

void EditBoxChangeWorker::refuse(const OrderDialog& dialog, int reason, bool close)
{
    sendAction(Action::Trade, reason);
    endTransaction(dialog, Verdict::Refused, reason, close);
}

void EditBoxChangeWorker::refuseAmount(const OrderDialog& dialog)
{
    // The amount limit cannot be checked without a price: say which price problem it was.
    QString price;
    {
        StateMachine::Lock lock(m_stateMachine->mutex());
        price = m_stateMachine->record()->priceText;
    }
    int reason = Reason::AmountLimit; // the limit leaves no lot (noticed by the check)
    if (price.isEmpty() || !StockRules::isPrice(price))
        reason = Reason::NoPrice;
    else if (price.toDouble() <= 0)
        reason = Reason::NoPriceValue;
    if (reason != Reason::AmountLimit)
        sendNotice(Action::Trade, reason);
    refuse(dialog, reason, true);
}

void EditBoxChangeWorker::endTransaction(const OrderDialog& dialog, Verdict::Outcome outcome, int reason, bool close)
{
    if (!setStep(StateMachine::FinalStep))
        return; // another transaction has begun: it is not this one's to end
    m_stateMachine->markCommitted();
    rememberHandled(dialog.hwnd);
    m_verdict.outcome = outcome;
    m_verdict.reason = reason;
    publishVerdict();
    if (close && isWindow(dialog.hwnd))
        emit requestCloseWindow(dialog.hwnd);
}

void EditBoxChangeWorker::rememberHandled(trade::HWND dialog)
{
    m_handledDialogs.insert(dialog);
    // The key press that asked for this trade is used up.
    m_usedKeyPress = m_keyPresses.load();
}

int EditBoxChangeWorker::orderTradeType() const
{
    return m_usedKeyPress == m_keyPresses.load() ? 0 : m_tradeType.load();
}

void EditBoxChangeWorker::publishVerdict()
{
    m_verdict.transaction = m_pass.transaction;
    m_verdict.dialog = m_orderDialog;
    m_verdict.buyChecksPassed = m_buyChecksPassed;
    std::lock_guard<std::mutex> lock(m_verdictMutex);
    m_verdicts.push_back(m_verdict);
    if (m_verdicts.size() > MaxVerdicts)
        m_verdicts.erase(m_verdicts.begin());
}

std::vector<EditBoxChangeWorker::Verdict> EditBoxChangeWorker::verdicts() const
{
    std::lock_guard<std::mutex> lock(m_verdictMutex);
    return m_verdicts;
}

void EditBoxChangeWorker::reportTradeTime()
{
    if (!ConfigManager::instance()->reportTradeTime()) {
        m_timingStart = 0;
        m_tradeDone = false;
        return;
    }
    if (m_timingStart <= 0 || !m_tradeDone)
        return;
    const int type = m_tradeType;
    const qint64 elapsed = now() - m_timingStart;
    qDebug().noquote() << "✓" << tradeTypeName(type) << "成功，总耗时：" << elapsed << "毫秒";
    emit tradeCompleted(type, elapsed);
    m_timingStart = 0;
    m_tradeDone = false;
}

// ---------------------------------------------------------------- reading and setting controls

FieldReadResult EditBoxChangeWorker::readQuantity(const OrderDialog& dialog, QString& text)
{
    trade::HWND cache = 0;
    {
        StateMachine::Lock lock(m_stateMachine->mutex());
        cache = m_stateMachine->record()->quantityControl;
    }
    const FieldReadResult result = FieldReaders::readQuantity(dialog.hwnd, cache, dialog.quantityIndex, text);
    StateMachine::Lock lock(m_stateMachine->mutex());
    TradeWindowRecord* record = m_stateMachine->record();
    // The watcher may have moved on to another window meanwhile; its record is not ours.
    if (m_stateMachine->transaction() == m_pass.transaction) {
        record->quantityControl = cache;
        if (result == FieldReadOk)
            record->quantityText = text;
    }
    return result;
}

bool EditBoxChangeWorker::readCodeAndName(const OrderDialog& dialog)
{
    {
        StateMachine::Lock lock(m_stateMachine->mutex());
        TradeWindowRecord* record = m_stateMachine->record();
        if (record->codeControl && record->nameControl) {
            if (record->code.size() == 6)
                return true;
            record->code.clear();
            record->name.clear();
            record->codeControl = 0;
            record->nameControl = 0;
            return false;
        }
    }
    platform::Desktop* d = desktop();
    if (!d || dialog.codeIndex < 0 || dialog.nameIndex < 0)
        return false;
    QString code;
    QString name;
    trade::HWND codeControl = 0;
    trade::HWND nameControl = 0;
    trade::HWND child = 0;
    for (int index = 0; (child = d->findWindowEx(dialog.hwnd, child, u"Static", nullptr)) != 0; ++index) {
        if (index != dialog.codeIndex && index != dialog.nameIndex)
            continue;
        const QString text = WindowUtils::getWindowText(child, 256);
        if (index == dialog.codeIndex && text.size() == 6 && StockRules::isInteger(text)) {
            code = text;
            codeControl = child;
        }
        if (index == dialog.nameIndex && StockRules::isValidStockName(text)) {
            name = text;
            nameControl = child;
        }
        if (codeControl && nameControl) {
            // Both or neither: a code without its name would let an ST stock pass the ST rule.
            StateMachine::Lock lock(m_stateMachine->mutex());
            TradeWindowRecord* record = m_stateMachine->record();
            if (m_stateMachine->transaction() != m_pass.transaction)
                return false;
            record->code = code;
            record->name = name;
            record->codeControl = codeControl;
            record->nameControl = nameControl;
            return true;
        }
    }
    return false;
}

bool EditBoxChangeWorker::setQuantityDirectly(int quantity)
{
    trade::HWND control = 0;
    {
        StateMachine::Lock lock(m_stateMachine->mutex());
        control = m_stateMachine->record()->quantityControl;
    }
    platform::Desktop* d = desktop();
    if (!d || !isWindow(control)) {
        qDebug().noquote() << "买入数量编辑框无效";
        return false;
    }
    // Never type into a window the record has moved on to.
    if (m_stateMachine->transaction() != m_pass.transaction) {
        qDebug().noquote() << "窗口已变化，不设置数量";
        return false;
    }
    d->setWindowText(control, u"");
    sleepMs(ClearTextMs);
    const std::u16string text = QString::number(quantity).toStdU16String();
    d->setWindowText(control, text.c_str());
    qDebug().noquote() << "直接输入数量：" << quantity;
    // SetWindowTextW does not reach another program's edit control; WM_SETTEXT does. A client
    // that does not answer has not taken the quantity (or takes it some time later): not set.
    if (!WindowUtils::sendToClient(control, platform::msg::SetText, 0,
                                   reinterpret_cast<std::intptr_t>(text.c_str())) ||
        !WindowUtils::sendToClient(
            d->parentWindow(control), platform::msg::Command,
            platform::makeCommandWParam(d->dlgCtrlId(control), platform::notify::EnChange),
            static_cast<std::intptr_t>(control))) {
        qWarning().noquote() << "客户端未响应，数量未能设置";
        return false;
    }
    return true;
}

bool EditBoxChangeWorker::setQuantityWithAttempts(const OrderDialog& dialog, int quantity, int attempts)
{
    for (int attempt = 1; attempt <= attempts; ++attempt) {
        qDebug().noquote() << "第" << attempt << "次尝试设置数量：" << quantity;
        if (!setQuantityDirectly(quantity)) {
            qDebug().noquote() << "设置数量失败";
            continue;
        }
        sleepMs(VerifySettleMs);
        QString text;
        const FieldReadResult result = readQuantity(dialog, text);
        if (result != FieldReadOk) {
            qDebug().noquote() << "无法读取验证数量, code =" << int(result);
            continue;
        }
        const int value = quantityValue(text);
        if (std::abs(value - quantity) <= 1) {
            qDebug().noquote() << "数量设置成功，验证=" << value;
            return true;
        }
        qDebug().noquote() << "数量验证失败，期望=" << quantity << "，实际=" << value;
    }
    qDebug().noquote() << "多次尝试后仍无法设置正确数量";
    return false;
}

bool EditBoxChangeWorker::applySplit(trade::HWND dialog, int ratio)
{
    if (ratio == 1) {
        qDebug().noquote() << "执行全仓操作，直接输入最大可买数量";
        return setQuantityDirectly(m_target);
    }
    if (ratio < 2 || ratio > 5) {
        qDebug().noquote() << "无效的分仓比例：" << ratio;
        return false;
    }
    const QString label = QStringLiteral("1/%1").arg(ratio);
    if (const trade::HWND button = WindowUtils::findButtonByText(dialog, label)) {
        qDebug().noquote() << "找到分仓按钮：" << label << "，发送点击信号";
        // Verified only after the click: a late click would change the quantity afterwards.
        return click(button);
    }
    qDebug().noquote() << "未找到分仓按钮：" << label << "，使用备选方案：直接输入数量";
    return setQuantityDirectly(m_target);
}

bool EditBoxChangeWorker::verifySplit(const OrderDialog& dialog)
{
    trade::HWND located = 0; // located afresh by index, never the cache
    QString text;
    const FieldReadResult result =
        FieldReaders::readQuantity(dialog.hwnd, located, dialog.quantityIndex, text);
    if (result != FieldReadOk) {
        qDebug().noquote() << "无法读取实际数量, code =" << int(result);
        return false;
    }
    if (text.isEmpty()) {
        qDebug().noquote() << "实际数量为空";
        return false;
    }
    bool parsed = false;
    const int actual = quantityValue(text, &parsed);
    if (!parsed) {
        qDebug().noquote() << "实际数量解析失败：" << text;
        return false;
    }
    const int difference = std::abs(actual - m_target);
    if (difference <= 1) {
        qDebug().noquote() << QStringLiteral("✓ 分仓验证成功：目标%1，实际%2").arg(m_target).arg(actual);
        return true;
    }
    qDebug().noquote()
        << QStringLiteral("✗ 分仓验证失败：目标%1，实际%2，差异%3").arg(m_target).arg(actual).arg(difference);
    return false;
}

// ---------------------------------------------------------------- configuration prompts

void EditBoxChangeWorker::requestConfigPrompt(const QString& dataType, const QString& dialogTypeName)
{
    {
        ProcessHistory& h = history();
        std::lock_guard<std::mutex> lock(h.mutex);
        if (!h.promptsAsked.insert({dataType, dialogTypeName}).second)
            return;
    }
    // A profile measured on this very installation may exist but not be current: offer it.
    const QString directory = ConfigManager::executableDirectory(m_stateMachine->window());
    if (!directory.isEmpty()) {
        ConfigManager* store = ConfigManager::instance();
        for (const QString& name : store->profileList()) {
            const QString identifier = store->profileProcessIdentifier(name);
            if (!identifier.isEmpty() && identifier.compare(directory, Qt::CaseInsensitive) == 0) {
                emit requestSwitchProfile(name, dataType, dialogTypeName);
                return;
            }
        }
    }
    emit requestShowConfigPrompt(dataType, dialogTypeName);
}

// ---------------------------------------------------------------- small helpers

void EditBoxChangeWorker::pressEnterInto(trade::HWND window)
{
    // Enter goes to whatever window is in front, which may be another program's by now.
    platform::Desktop* d = desktop();
    if (!d || d->foregroundWindow() != window) {
        qDebug().noquote() << "窗口不在前台，不发送回车:" << window;
        return;
    }
    WindowUtils::pressEnter();
}

bool EditBoxChangeWorker::setStep(unsigned step)
{
    return m_stateMachine->setStepIn(m_pass.transaction, step);
}

bool EditBoxChangeWorker::advanceStep()
{
    return m_stateMachine->advanceStepIn(m_pass.transaction);
}

qint64 EditBoxChangeWorker::markTime() const
{
    StateMachine::Lock lock(m_stateMachine->mutex());
    return m_stateMachine->record()->markTime;
}

void EditBoxChangeWorker::setMark()
{
    const qint64 t = now();
    StateMachine::Lock lock(m_stateMachine->mutex());
    m_stateMachine->record()->markTime = t;
}

qint64 EditBoxChangeWorker::sinceStep() const
{
    return now() - m_stateMachine->stepChangedAt();
}

bool EditBoxChangeWorker::isWindow(trade::HWND window) const
{
    platform::Desktop* d = desktop();
    return window != 0 && d && d->isWindow(window);
}

bool EditBoxChangeWorker::isVisible(trade::HWND window) const
{
    platform::Desktop* d = desktop();
    return window != 0 && d && (d->windowStyle(window) & platform::style::Visible) != 0;
}

bool EditBoxChangeWorker::isSellSide() const
{
    const int type = m_tradeType;
    if (type != 0)
        return type >= 20;
    return m_pass.state == StateMachine::FlashSell;
}
