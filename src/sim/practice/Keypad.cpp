#include "sim/practice/Keypad.h"

#include "keyboardui/KeyFunctions.h"
#include "sim/practice/KeyFunctions.h"

#include <QGridLayout>
#include <QPushButton>
#include <QVariant>

namespace practice {

namespace {

constexpr int kColumns = 6;

} // namespace

Keypad::Keypad(QWidget* parent) : QWidget(parent), m_grid(new QGridLayout(this))
{
    m_grid->setSpacing(4);
    m_grid->setContentsMargins(0, 0, 0, 0);
}

void Keypad::setKeyMap(const std::vector<std::uint8_t>& keyMap)
{
    if (keyMap == m_keyMap && !m_keys.empty())
        return;
    m_keyMap = keyMap;
    for (QPushButton* key : m_keys)
        delete key;
    m_keys.clear();
    for (std::size_t i = 0; i < keyMap.size(); ++i) {
        const int function = keyMap[i];
        const QString label = KeyFunctions::labelOf(function);
        auto* key = new QPushButton(label, this);
        key->setObjectName(QStringLiteral("key%1").arg(i + 1));
        key->setProperty("function", function);
        key->setMinimumSize(60, 30);
        key->setFocusPolicy(Qt::NoFocus);
        const bool usable = keyActionOf(function) != KeyAction::None;
        key->setEnabled(usable);
        const QColor colour = KeyFunctions::color(label);
        key->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: white; font-weight: bold; "
                                          "border: 1px solid #303030; border-radius: 4px; }"
                                          "QPushButton:pressed { background: %2; }"
                                          "QPushButton:disabled { background: #9a9a9a; color: #e8e8e8; }")
                               .arg(colour.name(), colour.darker(140).name()));
        key->setToolTip(usable ? QStringLiteral("键 %1：%2").arg(i + 1).arg(label)
                               : QStringLiteral("键 %1：%2（交易软件自己的快捷键，练习时用不到）").arg(i + 1).arg(label));
        connect(key, &QPushButton::clicked, this, [this, function] { emit pressed(function); });
        m_grid->addWidget(key, int(i) / kColumns, int(i) % kColumns);
        m_keys.push_back(key);
    }
}

QPushButton* Keypad::keyFor(int function) const
{
    for (QPushButton* key : m_keys) {
        if (key->property("function").toInt() == function)
            return key;
    }
    return nullptr;
}

} // namespace practice
