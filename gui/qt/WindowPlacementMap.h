#pragma once
// A window's placement as the settings file keeps it, read from and applied to a
// top-level widget: outer frame position and size, window state, border kind.
#include "app/MainPresenter.h"

class QWidget;

namespace kx::gui {

app::WindowPlacement PlacementOf(const QWidget& window, app::WindowPlacement::Border border);
// Applies the state, and the position unless maximised; the size stays the window's.
void ApplyPlacement(QWidget& window, const app::WindowPlacement& placement);
// The screen the window is on (the primary one before it has one).
app::ScreenArea ScreenOf(const QWidget& window);

}  // namespace kx::gui
