#include "SimText.h"

namespace sim {

std::u16string decimal(long long value)
{
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

} // namespace sim
