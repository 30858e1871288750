// COM port names are already stable on Windows; the hardware behind them is not read.
#include "platform/PortDescription.h"

namespace kx::platform {

PortDescription DescribePort(const std::string&) { return {}; }

}  // namespace kx::platform
