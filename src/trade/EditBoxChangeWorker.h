#pragma once

#include "trade/BuyRestrictions.h"
#include "trade/DetectionWorker.h"
#include "trade/FieldReadResult.h"
#include "trade/QuantityStabilityTracker.h"
#include "trade/StateMachine.h"
#include "trade/TradeOutcomeSink.h"
#include "trade/TradeTypes.h"
#include "trade/WindowState.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <mutex>
#include <set>
#include <vector>

namespace platform {
class Clock;
}

// The order dialog worker: the part of the program that actually trades.
//
// The keyboard reports the trade type of the key that was pressed (onTradeTypeSet) and types the
// client's hot key; the desktop watcher classifies the window that comes to the front; the
// control detector then runs performDetection on its own thread. The worker reads code, name,
// price, quantity and maximum quantity out of a TDX order dialog, enforces the user's buy
// restrictions and limits, computes and sets the quantity of 1/2 … 1/5 orders, confirms the
// dialog or closes it, and reports every decision: actionSignal for the keyboard, notice for the
// spoken outcome, tradeCompleted with the elapsed time. THS order dialogs, the "Tdx" box, the
// cancel boxes and the order-submitted notice get short fixed sequences.
//
// Time comes from the state machine's clock. Clicking and closing are handed to the GUI thread
// (requestClickButton, requestCloseWindow); typing the quantity and pressing Enter happen on the
// worker's thread.
class EditBoxChangeWorker : public QObject, public DetectionWorker, public TradeOutcomeSink
{
    Q_OBJECT

public:
    // The state machine is shared and not owned; parent is the owner (the connection manager).
    // Loads the configuration.
    explicit EditBoxChangeWorker(StateMachine* stateMachine, QObject* parent = nullptr);
    ~EditBoxChangeWorker() override;

    // The process remembers a few things across workers and dialogs: the configuration prompts
    // already asked, the last dialog handed to the automatic profile switch, the last pass that
    // was logged. This forgets them, as a restart of the program would (tests, tools).
    static void forgetProcessHistory();

    // What the worker decided for one order dialog transaction: the quantity it aimed at, the
    // maximum it read and how the transaction ended. Tests and tools read these instead of the
    // diagnostics.
    struct Verdict
    {
        enum Outcome
        {
            Open,          // not ended by the worker (left to the user)
            Confirmed,     // the confirm click (or Enter) really happened
            Refused,       // refused or abandoned for reason
            LeftToKeyboard // keyboard split mode after a second key: the keyboard confirms
        };
        quint64 transaction = 0;
        trade::HWND dialog = 0;
        int target = 0;   // the quantity the split, the limit or the keyboard check aimed at; 0: none
        int maximum = -1; // the maximum read for this transaction, -1 when never read
        bool buyChecksPassed = false;
        Outcome outcome = Open;
        int reason = 0;
    };
    // The verdicts of the last transactions that ended, oldest first (at most MaxVerdicts).
    std::vector<Verdict> verdicts() const;
    static constexpr std::size_t MaxVerdicts = 64;

    // The longest a quantity the keyboard types may stay unchanged between two of its
    // keystrokes: the slowest speed's interval with the keyboard's key-down and key-up delays.
    // A quantity counts as typed once it has stayed longer than that.
    int keyboardSettleMs() const;

    // TradeOutcomeSink: the buy rules report through the worker's signals.
    void sendAction(int action, int reason) override;
    void sendNotice(int action, int reason) override;
    void requestClose(trade::HWND window) override;

signals:
    void actionSignal(int action, int reason = 0);
    void appChangesDetected(int appType, int subtype);
    void notice(int action, int reason = 0);
    void tradeCompleted(int tradeType, qint64 elapsedMs);
    void workFinished();
    void detectionFinished(WindowState state);
    void requestOpenTestDialog();
    void requestShowConfigPrompt(QString dataType, QString dialogTypeName);
    void requestSwitchProfile(QString profileName, QString dataType, QString dialogTypeName);
    void requestCloseWindow(trade::HWND hwnd);
    void requestClickButton(trade::HWND buttonHwnd);

public slots:
    // Works on the state machine's current window (the argument is not used) until the
    // transaction ends, the state becomes Idle, 5000 ms have passed or stop() is called.
    void performDetection(trade::WPARAM hwnd) override;
    // From the keyboard: the trade type of the key pressed; flag set means the keyboard does the
    // split itself (keyboard split mode). buyIndex is not used.
    void onTradeTypeSet(int buyIndex, int type, int flag);
    void onTradeCompleted(int tradeType);
    void onReloadCfg();
    // From the GUI thread, after a requestClickButton: whether the click was made (false for a
    // button that had gone). The worker waits for it before it verifies or reports anything.
    void onButtonClicked(trade::HWND button, bool clicked);
    // The keyboard's key-down and key-up delays as it reports them (ms).
    void onKeyboardDelays(int keyDownMs, int keyUpMs);
    bool isRunning() const override;
    void stop() override;

private:
    struct Config
    {
        BuyLimits limits;
        int codeIndex = -1;
        int nameIndex = -1;
        int priceIndex = -1;
        int quantityIndex = -1;
        int maxQuantityIndex = -1;
        int marginCodeIndex = -1;
        int marginNameIndex = -1;
        int marginPriceIndex = -1;
        int marginQuantityIndex = -1;
        int marginMaxQuantityIndex = -1;
    };
    // One order dialog as this pass sees it: the window, its kind by title (0 buy, 1 sell,
    // 2 margin buy, 3 other) and the control positions that kind reads.
    struct OrderDialog
    {
        trade::HWND hwnd = 0;
        int kind = 3;
        int codeIndex = -1;
        int nameIndex = -1;
        int priceIndex = -1;
        int quantityIndex = -1;
        int maxQuantityIndex = -1;
    };
    enum class Maximum
    {
        Pending, // not computed by the client yet
        Positive,
        Ended // refused (unreadable, zero): the transaction has ended
    };
    enum class Checks
    {
        Pending, // a control is not readable yet; try again at the next pass
        Passed,
        Refused // the transaction has ended
    };

    void loadConfig();
    Config config() const;
    qint64 now() const;
    void sleepMs(int ms);

    void processState();
    void handleMainWindow(StateMachine::State state, unsigned step, trade::HWND window);
    void handleThsDialog(unsigned step, trade::HWND window);
    void handleShortDialog(StateMachine::State state, unsigned step, trade::HWND window);
    void handleFlashOrder(unsigned step);

    void beginOrderDialogIfNew(trade::HWND dialog);
    Checks buyChecks(const OrderDialog& dialog);
    void flashStep0(const OrderDialog& dialog);
    void flashStep1(const OrderDialog& dialog);
    void flashStep2(const OrderDialog& dialog);
    void flashStep3(const OrderDialog& dialog);
    void flashStep4(const OrderDialog& dialog);
    void flashStep5(const OrderDialog& dialog);
    void flashStep6(const OrderDialog& dialog);

    Maximum readMaximum(const OrderDialog& dialog);
    void softwareSplit(const OrderDialog& dialog);
    void fixedQuantityPath(const OrderDialog& dialog);
    bool keyboardQuantityWithinLimit(const OrderDialog& dialog, const QString& quantityText);
    static int splitTarget(int maximum, int ratio);
    void setTarget(int target);
    // Whole lots of a buy: 10 for convertible bonds, else 100.
    int buyLot(const OrderDialog& dialog);
    // Confirms and, once the click has happened, reports success (to the keyboard as well when
    // reportToKeyboard).
    void commitAndConfirm(const OrderDialog& dialog, bool reportToKeyboard);
    bool confirm(trade::HWND dialog);
    // Asks the GUI thread for the click and waits for it; true when it was made.
    bool click(trade::HWND button);
    // Action (64, reason) and the end of the transaction; the dialog closed when close.
    void refuse(const OrderDialog& dialog, int reason, bool close);
    // The amount limit refused: for the price it could not work with, or for the limit itself.
    void refuseAmount(const OrderDialog& dialog);
    void endTransaction(const OrderDialog& dialog, Verdict::Outcome outcome, int reason, bool close);
    void rememberHandled(trade::HWND dialog);
    // The trade type for an order dialog: 0 once the key press has been used by a dialog.
    int orderTradeType() const;
    void publishVerdict();
    void reportTradeTime();

    FieldReadResult readQuantity(const OrderDialog& dialog, QString& text);
    bool readCodeAndName(const OrderDialog& dialog);
    bool setQuantityDirectly(int quantity);
    bool setQuantityWithAttempts(const OrderDialog& dialog, int quantity, int attempts);
    bool applySplit(trade::HWND dialog, int ratio);
    bool verifySplit(const OrderDialog& dialog);
    void requestConfigPrompt(const QString& dataType, const QString& dialogTypeName);

    // Step changes of this pass's transaction only (false when the watcher started another).
    bool setStep(unsigned step);
    bool advanceStep();
    // Enter only into window, and only while it is in front.
    void pressEnterInto(trade::HWND window);
    qint64 markTime() const;
    void setMark();
    qint64 sinceStep() const;
    bool isWindow(trade::HWND window) const;
    bool isVisible(trade::HWND window) const;
    // The outcome speaks of selling: a sell type, or with no type known a sell dialog.
    bool isSellSide() const;

    StateMachine* m_stateMachine;
    platform::Clock& m_clock;
    mutable std::mutex m_configMutex;
    Config m_config;
    // Used on the detector thread only; its limits are set from the configuration at each pass.
    BuyRestrictions m_rules;

    std::atomic<bool> m_running{false};
    // Written by the GUI thread (onTradeTypeSet) and cleared by the worker; read at each pass.
    std::atomic<int> m_tradeType{0};
    std::atomic<bool> m_splitKey{false};
    std::atomic<qint64> m_tradeTypeSetAt{0};

    trade::HWND m_lastHwnd = 0;
    bool m_actionSent = false;
    int m_maxQuantity = -1;
    int m_target = 0;
    int m_ratio = 0;
    int m_retryCount = 0;
    qint64 m_timingStart = 0;
    bool m_tradeDone = false;
    QuantityStabilityTracker m_stability;
    trade::HWND m_confirmButton = 0;
    trade::HWND m_confirmButtonDialog = 0;

    // The order dialog transaction the per-dialog fields belong to (its window and the time its
    // state began): the split target, the retries, the stability tracker and the buy checks
    // start afresh with each new one, so nothing computed for one stock decides for another.
    trade::HWND m_orderDialog = 0;
    quint64 m_orderTransaction = 0;
    bool m_buyChecksPassed = false;
    Verdict m_verdict;

    // The record as this pass saw it.
    StateMachine::Snapshot m_pass;
    // Order dialogs this program confirmed or refused: never confirmed again.
    std::set<trade::HWND> m_handledDialogs;
    // Trade key presses seen, and the one the last handled dialog used up.
    std::atomic<quint64> m_keyPresses{0};
    quint64 m_usedKeyPress = 0;

    std::atomic<quint64> m_clicksAsked{0};
    std::atomic<quint64> m_clicksAnswered{0};
    std::atomic<bool> m_lastClickDone{false};

    std::atomic<int> m_keyDownMs;
    std::atomic<int> m_keyUpMs;

    mutable std::mutex m_verdictMutex;
    std::vector<Verdict> m_verdicts;
};
