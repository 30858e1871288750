#pragma once

namespace kx::ui { bool CheckAccess(); extern bool AccessGranted; }
