#pragma once
// A window's placement as the settings file keeps it, read from and applied to a
// top-level widget: outer frame position and size, window state, border kind.
#include "app/KXIniFile.h"

class QWidget;

namespace kx::gui {

app::WindowPlacement PlacementOf(const QWidget& window, app::WindowPlacement::Border border);
// Applies what a restore produced: the state; position unless maximised; size only
// for a resizable border.
void ApplyPlacement(QWidget& window, const app::WindowPlacement& placement);

}  // namespace kx::gui
