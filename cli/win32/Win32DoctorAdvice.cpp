#include "cli/DoctorAdvice.h"

namespace kx::cli {

std::string MissingPortFix() {
    return "check the name ('kxboot-cli ports' lists the candidates) and the cable; Device Manager shows "
           "under Ports (COM & LPT) which COM number the adapter has";
}

std::string NoPortFix() {
    return "plug the adapter in; Device Manager shows under Ports (COM & LPT) which COM number it has, "
           "or a missing driver under Other devices";
}

std::string ServiceFix(const std::string& name) { return "stop the service " + name + " (services.msc)"; }

}  // namespace kx::cli
