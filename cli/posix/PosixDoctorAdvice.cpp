#include "cli/DoctorAdvice.h"

namespace kx::cli {

std::string MissingPortFix() {
    return "check the name ('kxboot-cli ports' lists the candidates) and the cable; "
           "whether the system saw the adapter: sudo dmesg | tail";
}

std::string NoPortFix() {
    return "plug the adapter in; whether the system saw it, and which name it gave it: sudo dmesg | tail";
}

std::string ServiceFix(const std::string& name) {
    if (name == "ModemManager")
        return "it probes new serial adapters with modem commands: sudo systemctl stop ModemManager "
               "(for good: sudo systemctl disable --now ModemManager)";
    if (name == "brltty")
        return "it takes USB-serial adapters for braille displays: sudo systemctl mask --now "
               "brltty-udev.service brltty.service (or sudo apt remove brltty), then plug the adapter in again";
    if (name == "gpsd")
        return "it opens serial adapters as GPS receivers: sudo systemctl stop gpsd.socket gpsd";
    return "stop it: sudo systemctl stop " + name;
}

}  // namespace kx::cli
