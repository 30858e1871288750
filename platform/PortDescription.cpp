#include "platform/PortDescription.h"

namespace kx::platform {

std::string PortDescription::Text() const {
    if (noDevice) return "no device";
    std::string text;
    auto add = [&text](const std::string& part) {
        if (part.empty()) return;
        if (!text.empty()) text += ' ';
        text += part;
    };
    if (!vendorId.empty() || !productId.empty()) add(vendorId + ":" + productId);
    add(manufacturer);
    add(product);
    add(serialNumber);
    return text;
}

}  // namespace kx::platform
