#pragma once

// The simulated keyboard's keys, as its key map lays them out: each key with its key-map label on
// its function colour. Clicking a key asks for what the real key does (pressed()); keys of the
// client's own shortcuts (查询 and the like) are shown but cannot be clicked.

#include <QWidget>

#include <cstdint>
#include <vector>

class QGridLayout;
class QPushButton;

namespace practice {

class Keypad : public QWidget
{
    Q_OBJECT

public:
    explicit Keypad(QWidget* parent = nullptr);

    // Rebuilds the keys when the map differs from the one shown.
    void setKeyMap(const std::vector<std::uint8_t>& keyMap);
    // The button of the first key with that function, null when the map has none.
    QPushButton* keyFor(int function) const;

signals:
    void pressed(int function);

private:
    QGridLayout* m_grid;
    std::vector<std::uint8_t> m_keyMap;
    std::vector<QPushButton*> m_keys;
};

} // namespace practice
