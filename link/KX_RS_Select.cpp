// The two dialog-driven operations of the serial port, both behind the password gate.
#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "link/KX_RS_Base.h"
#include "link/LinkError.h"
#include "link/LinkTexts.h"
#include "ui/PassW.h"
#include "ui/UserInterface.h"

namespace kx::link {

void TKX_RS_Base::SelectPort() {
    if (!ui::CheckAccess(Ui())) return;
    // The dialog lists local ports only: a network port in use stays unless one is chosen.
    const bool keepNetworkPort = NetworkPortChosen();
    ClosePort();
    if (ScanPorts() == 0) {
        Ui().ShowError(texts::NoFreePort);
        if (keepNetworkPort) OpenPortNamed(PortName);
        return;
    }
    std::vector<std::string> entries;
    std::vector<std::int32_t> slots;
    int selected = -1;
    for (int n = 1; n <= MaxPorts; ++n) {
        if (!FreePorts[static_cast<std::size_t>(n)]) continue;
        if (n == PortNumber) selected = static_cast<int>(entries.size());
        entries.push_back(PortNames[static_cast<std::size_t>(n)]);
        slots.push_back(n);
    }
    const std::optional<std::string> chosen = Ui().ChoosePort(entries, selected);
    // OK with no entry selected is taken like Cancel: the current port stays.
    bool picked = false;
    if (chosen) {
        for (std::size_t i = 0; i < entries.size(); ++i)
            if (entries[i] == *chosen) {
                PortNumber = slots[i];
                picked = true;
            }
    }
    ClosePort();
    if (keepNetworkPort && !picked)
        OpenPortNamed(PortName);
    else
        OpenPort(PortNumber);
}

void TKX_RS_Base::SelectBaudRate() {
    if (!ui::CheckAccess(Ui())) return;
    const std::optional<double> value = Ui().ChooseBaudRate(BaudRate);
    if (!value) return;
    // The dialog holds its field within its bounds; text that is no number reads as the minimum.
    const double low = MinDialogRate, high = MaxDialogRate;
    const double bounded = std::isnan(*value) ? low : std::clamp(*value, low, high);
    const auto requested = static_cast<std::uint32_t>(std::nearbyint(bounded));
    const std::uint32_t old = BaudRate;
    SetBaudRate(requested);
    if (BaudRate != requested) {
        SetBaudRate(old);
        Ui().ShowError(texts::RateRefused);
    }
}

}  // namespace kx::link
