#include "sim/practice/PracticeWindow.h"

#include "config/ConfigManager.h"
#include "sim/desktop/FakeTdx.h"
#include "sim/desktop/SimSystem.h"
#include "sim/keyboard/KeyboardSimulator.h"
#include "sim/practice/ChangeRelay.h"
#include "sim/practice/DeskView.h"
#include "sim/practice/KeyFunctions.h"
#include "sim/practice/Keypad.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFormLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace practice {

namespace {

// The keyboard's answer to its own switch key: the state frame of a toggle (0x21).
constexpr std::uint8_t kToggleWorkState = 0x21;

const QStringList kOrderColumns{QStringLiteral("时间"), QStringLiteral("来自"), QStringLiteral("类型"),
                                QStringLiteral("代码"), QStringLiteral("名称"), QStringLiteral("价格"),
                                QStringLiteral("数量"), QStringLiteral("结果"), QStringLiteral("说明")};

} // namespace

QVector<PracticeWindow::Preset> PracticeWindow::presets()
{
    return {
        {QStringLiteral("沪市主板 600000 浦发银行"),
         {QStringLiteral("600000"), QStringLiteral("浦发银行"), QStringLiteral("10.52"), 10000}},
        {QStringLiteral("ST 股 600289 ST信通"),
         {QStringLiteral("600289"), QStringLiteral("ST信通"), QStringLiteral("2.15"), 20000}},
        {QStringLiteral("科创板 688001 华兴源创"),
         {QStringLiteral("688001"), QStringLiteral("华兴源创"), QStringLiteral("30.50"), 3000}},
        {QStringLiteral("可转债 113050 南银转债"),
         {QStringLiteral("113050"), QStringLiteral("南银转债"), QStringLiteral("118.20"), 500}},
    };
}

PracticeWindow::PracticeWindow(DemoWorld& demo, QWidget* parent)
    : QWidget(parent), m_demo(demo), m_relay(new ChangeRelay(this)), m_desk(new DeskView(this)),
      m_keypad(new Keypad(this)), m_keyboardState(new QLabel(this)), m_status(new QLabel(this)),
      m_orders(new QTableWidget(0, kOrderColumns.size(), this))
{
    setObjectName(QStringLiteral("PracticeWindow"));
    setWindowTitle(QStringLiteral("练习模式 - 灵拓键盘专业版"));

    auto* intro = new QLabel(QStringLiteral("练习模式：模拟的通达信和键盘，不会真实下单"), this);
    intro->setObjectName(QStringLiteral("intro"));
    intro->setStyleSheet(QStringLiteral("font-size: 13pt; font-weight: bold; color: #c00060;"));
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setText(QStringLiteral("先点「开关」打开交易模式，再点买卖键，看程序怎样读对话框、分仓和确认。"));
    m_status->setWordWrap(true);

    m_orders->setObjectName(QStringLiteral("orderBook"));
    m_orders->setHorizontalHeaderLabels(kOrderColumns);
    m_orders->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_orders->setSelectionMode(QAbstractItemView::NoSelection);
    m_orders->verticalHeader()->hide();
    m_orders->horizontalHeader()->setStretchLastSection(true);
    m_orders->setMinimumHeight(100);

    auto* keys = new QGroupBox(QStringLiteral("键盘"), this);
    auto* keysLayout = new QVBoxLayout(keys);
    m_keyboardState->setObjectName(QStringLiteral("keyboardState"));
    keysLayout->addWidget(m_keyboardState);
    keysLayout->addWidget(m_keypad);

    auto* side = new QVBoxLayout;
    side->addWidget(keys);
    side->addWidget(makeStockPanel());
    side->addStretch();

    auto* desk = new QHBoxLayout;
    desk->addWidget(m_desk, 1);
    desk->addLayout(side);

    auto* orders = new QLabel(QStringLiteral("委托记录"), this);
    orders->setStyleSheet(QStringLiteral("font-weight: bold;"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(m_status);
    layout->addLayout(desk, 1);
    layout->addWidget(orders);
    layout->addWidget(m_orders);

    // Beside the clock, within the screen.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    resize(qMin(1100, screen.width() - 40), qMin(780, screen.height() - 40));
    move(screen.topLeft() + QPoint(20, 20));

    connect(m_keypad, &Keypad::pressed, this, &PracticeWindow::pressKey);
    connect(m_desk, &DeskView::buttonClicked, this, &PracticeWindow::clickButton);
    connect(m_relay, &ChangeRelay::changed, this, &PracticeWindow::refresh);
    m_demo.system().desktop().setChangeListener(m_relay->trigger());
    m_demo.keyboards().setChangeListener(m_relay->trigger());
    refresh(ChangeRelay::nowNs());
}

PracticeWindow::~PracticeWindow()
{
    m_demo.system().desktop().setChangeListener(nullptr);
    m_demo.keyboards().setChangeListener(nullptr);
}

QWidget* PracticeWindow::makeStockPanel()
{
    auto* box = new QGroupBox(QStringLiteral("交易软件和股票"), this);
    auto* form = new QFormLayout(box);

    m_tdx = new QRadioButton(QStringLiteral("通达信"), box);
    m_ths = new QRadioButton(QStringLiteral("同花顺"), box);
    m_tdx->setChecked(true);
    auto* clients = new QHBoxLayout;
    clients->addWidget(m_tdx);
    clients->addWidget(m_ths);
    clients->addStretch();
    form->addRow(QStringLiteral("在前面的软件"), clients);
    connect(m_tdx, &QRadioButton::clicked, this, [this] { chooseClient(DemoWorld::Client::Tdx); });
    connect(m_ths, &QRadioButton::clicked, this, [this] { chooseClient(DemoWorld::Client::Ths); });

    m_layouts = new QComboBox(box);
    m_layouts->setObjectName(QStringLiteral("layouts"));
    for (const sim::TdxLayout& layout : sim::TdxLayout::all())
        m_layouts->addItem(QString::fromStdU16String(layout.name));
    m_layouts->setItemText(0, m_layouts->itemText(0) + QStringLiteral("（内置方案）"));
    form->addRow(QStringLiteral("通达信版面"), m_layouts);
    connect(m_layouts, QOverload<int>::of(&QComboBox::activated), this, [this](int index) {
        if (!chooseLayout(index))
            m_layouts->setCurrentIndex(m_shownLayout);
    });

    m_presets = new QComboBox(box);
    m_presets->setObjectName(QStringLiteral("presets"));
    for (const Preset& preset : presets())
        m_presets->addItem(preset.label);
    form->addRow(QStringLiteral("常用股票"), m_presets);
    connect(m_presets, QOverload<int>::of(&QComboBox::activated), this, &PracticeWindow::choosePreset);

    const DemoWorld::Stock stock = m_demo.stock();
    m_code = new QLineEdit(stock.code, box);
    m_name = new QLineEdit(stock.name, box);
    m_price = new QLineEdit(stock.price, box);
    m_maximum = new QSpinBox(box);
    m_maximum->setRange(0, 99999999);
    m_maximum->setSingleStep(100);
    m_maximum->setValue(int(stock.maxQuantity));
    auto pair = [box](QWidget* left, const QString& label, QWidget* right) {
        auto* row = new QHBoxLayout;
        row->addWidget(left, 1);
        row->addWidget(new QLabel(label, box));
        row->addWidget(right, 1);
        return row;
    };
    form->addRow(QStringLiteral("代码"), pair(m_code, QStringLiteral("名称"), m_name));
    auto* apply = new QPushButton(QStringLiteral("用这只股票"), box);
    apply->setObjectName(QStringLiteral("applyStock"));
    form->addRow(QStringLiteral("价格"), pair(m_price, QStringLiteral("最大可买"), m_maximum));
    form->addRow(QString(), apply);
    connect(apply, &QPushButton::clicked, this, &PracticeWindow::applyStock);
    form->addRow(QStringLiteral("买入限制"), makeRestrictions(box));
    return box;
}

QLayout* PracticeWindow::makeRestrictions(QWidget* box)
{
    auto* layout = new QHBoxLayout;
    ConfigManager* config = ConfigManager::instance();
    struct Restriction
    {
        const char* objectName;
        QString text;
        bool on;
        void (ConfigManager::*set)(bool);
    };
    const Restriction restrictions[] = {
        {"notST", QStringLiteral("不买ST股"), config->tdxNotST(), &ConfigManager::setTdxNotST},
        {"onlyMain", QStringLiteral("只买主板"), config->tdxOnlyMain(), &ConfigManager::setTdxOnlyMain},
        {"onlyBond", QStringLiteral("只买转债"), config->tdxOnlyZz(), &ConfigManager::setTdxOnlyZz},
    };
    for (const Restriction& r : restrictions) {
        auto* check = new QCheckBox(r.text, box);
        check->setObjectName(QLatin1String(r.objectName));
        check->setChecked(r.on);
        layout->addWidget(check);
        check->setToolTip(QStringLiteral("程序自己的买入限制，存在设置里，改了马上生效"));
        const auto set = r.set;
        connect(check, &QCheckBox::toggled, this, [this, set](bool on) {
            (ConfigManager::instance()->*set)(on);
            if (m_restrictionsChanged)
                m_restrictionsChanged();
        });
    }
    return layout;
}

std::string PracticeWindow::serial() const
{
    const std::vector<std::string> serials = m_demo.keyboards().serialNumbers();
    return serials.empty() ? std::string() : serials.front();
}

void PracticeWindow::refresh(qint64 firstChangeNs)
{
    const sim::DesktopSnapshot desk = m_demo.system().desktop().snapshot();
    m_desk->display(desk);
    rememberOrderDialog(desk);
    refreshOrders();
    refreshKeyboard();
    emit refreshed(firstChangeNs);
}

void PracticeWindow::rememberOrderDialog(const sim::DesktopSnapshot& desk)
{
    sim::FakeTdx& tdx = m_demo.tdx();
    for (const sim::WindowSnapshot& w : desk.topLevel) {
        if (!tdx.control(w.id, sim::TdxField::Code))
            continue; // not one of its order dialogs
        auto text = [&](sim::TdxField field) {
            const platform::WindowId id = tdx.control(w.id, field);
            for (const sim::WindowSnapshot& c : w.children) {
                if (c.id == id)
                    return QString::fromStdU16String(c.text);
            }
            return QString();
        };
        const QString title = QString::fromStdU16String(w.text);
        m_lastDialog.client = QStringLiteral("通达信");
        m_lastDialog.kind = title.contains(QStringLiteral("融资"))   ? QStringLiteral("融资买入")
                            : title.contains(QStringLiteral("卖")) ? QStringLiteral("卖出")
                                                                    : QStringLiteral("买入");
        m_lastDialog.code = text(sim::TdxField::Code);
        m_lastDialog.name = text(sim::TdxField::Name);
        m_lastDialog.price = text(sim::TdxField::Price);
        return;
    }
}

void PracticeWindow::refreshOrders()
{
    const std::vector<sim::Order> orders = m_demo.system().orderBook().orders();
    const std::size_t before = m_rows.size();
    if (orders.size() < m_ordersSeen) { // the book was cleared
        m_rows.clear();
        m_ordersSeen = 0;
    }
    for (std::size_t i = m_ordersSeen; i < orders.size(); ++i)
        m_rows.push_back(orderRow(orders[i]));
    m_ordersSeen = orders.size();
    const QString now = QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss"));
    for (const std::string& s : m_demo.keyboards().serialNumbers()) {
        const auto actions = m_demo.keyboards().tradeActions(s);
        std::size_t& seen = m_actionsSeen[s];
        if (actions.size() < seen)
            seen = 0;
        for (std::size_t i = seen; i < actions.size(); ++i) {
            if (!isRefusal(actions[i].first, actions[i].second))
                continue;
            OrderRow row = refusalRow(actions[i].second, now);
            if (!m_lastDialog.client.isEmpty()) {
                row.client = m_lastDialog.client;
                row.kind = m_lastDialog.kind;
                row.code = m_lastDialog.code;
                row.name = m_lastDialog.name;
                row.price = m_lastDialog.price;
            }
            m_rows.push_back(row);
        }
        seen = actions.size();
    }
    if (m_rows.size() == before && before == std::size_t(m_orders->rowCount()))
        return;

    m_orders->setRowCount(int(m_rows.size()));
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        const OrderRow& r = m_rows[i];
        const QStringList cells{r.time, r.client, r.kind, r.code, r.name, r.price, r.quantity, outcomeText(r.outcome),
                                r.detail};
        const QColor colour = r.outcome == OrderRow::Outcome::Placed ? QColor(0, 120, 0) : QColor(190, 0, 0);
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells.at(c));
            if (c == 7)
                item->setForeground(colour);
            m_orders->setItem(int(i), c, item);
        }
    }
    m_orders->resizeColumnsToContents();
    m_orders->scrollToBottom();
}

void PracticeWindow::refreshKeyboard()
{
    const std::string s = serial();
    if (s.empty()) {
        m_keyboardState->setText(QStringLiteral("没有键盘"));
        m_keypad->setEnabled(false);
        return;
    }
    const sim::KeyboardState state = m_demo.keyboards().state(s);
    const bool plugged = m_demo.keyboards().isPlugged(s);
    m_keypad->setKeyMap(state.keyMap);
    m_keypad->setEnabled(plugged);
    m_keyboardState->setText(QStringLiteral("%1 · %2 · 交易模式：%3")
                                 .arg(QString::fromStdString(s),
                                      state.soft == 1 ? QStringLiteral("同花顺") : QStringLiteral("通达信"),
                                      !plugged          ? QStringLiteral("已拔出")
                                      : state.workState ? QStringLiteral("开")
                                                        : QStringLiteral("关")));
}

void PracticeWindow::pressKey(int function)
{
    const std::string s = serial();
    if (s.empty())
        return;
    switch (keyActionOf(function)) {
    case KeyAction::TradeKey:
        m_demo.keyboards().pressTradeKey(s, std::uint8_t(function));
        break;
    case KeyAction::WorkSwitch:
        // The keyboard switches itself and reports its new state, as for the program's toggle.
        m_demo.keyboards().changeState(s, [](sim::KeyboardState& state) { state.workState = !state.workState; });
        m_demo.keyboards().keyEvent(s, kToggleWorkState, std::uint8_t(function));
        break;
    case KeyAction::None:
        break;
    }
}

void PracticeWindow::clickButton(platform::WindowId button)
{
    // The user's own click in the client: the button is clicked on the client's side.
    sim::SimDesktop& desktop = m_demo.system().desktop();
    sim::SimDesktop::ActingAs as(desktop.windowProcessId(button));
    desktop.sendMessage(button, platform::msg::BmClick, 0, 0);
}

void PracticeWindow::choosePreset(int index)
{
    const QVector<Preset> all = presets();
    if (index < 0 || index >= all.size())
        return;
    m_presets->setCurrentIndex(index);
    const DemoWorld::Stock& stock = all.at(index).stock;
    m_code->setText(stock.code);
    m_name->setText(stock.name);
    m_price->setText(stock.price);
    m_maximum->setValue(int(stock.maxQuantity));
    applyStock();
}

void PracticeWindow::applyStock()
{
    m_demo.setStock({m_code->text().trimmed(), m_name->text().trimmed(), m_price->text().trimmed(),
                     m_maximum->value()});
    m_status->setText(QStringLiteral("下一个委托对话框显示 %1 %2，价格 %3，最大可买 %4。")
                          .arg(m_code->text().trimmed(), m_name->text().trimmed(), m_price->text().trimmed())
                          .arg(m_maximum->value()));
}

bool PracticeWindow::chooseLayout(int index)
{
    const std::vector<sim::TdxLayout> layouts = sim::TdxLayout::all();
    if (index < 0 || index >= int(layouts.size()))
        return false;
    if (!m_demo.restartTdx(layouts[std::size_t(index)])) {
        m_status->setText(QStringLiteral("请先关掉通达信的委托对话框，再换版面。"));
        return false;
    }
    m_tdx->setChecked(true);
    m_layouts->setEnabled(true);
    m_layouts->setCurrentIndex(index);
    m_shownLayout = index;
    m_status->setText(QStringLiteral("通达信已按「%1」版面重新启动；程序用配置的方案读取它的对话框。")
                          .arg(m_layouts->itemText(index)));
    return true;
}

void PracticeWindow::chooseClient(DemoWorld::Client client)
{
    (client == DemoWorld::Client::Tdx ? m_tdx : m_ths)->setChecked(true);
    m_demo.showClient(client);
    m_layouts->setEnabled(client == DemoWorld::Client::Tdx);
}

} // namespace practice
