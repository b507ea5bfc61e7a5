#pragma once

// Text helpers of the fake clients beyond the platform's shared ones (platform/api/Text.h).

#include "platform/api/Text.h"

#include <string>

namespace sim {

std::u16string decimal(long long value);

} // namespace sim
