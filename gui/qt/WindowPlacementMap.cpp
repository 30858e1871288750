#include "gui/qt/WindowPlacementMap.h"

#include <QWidget>

namespace kx::gui {

using app::WindowPlacement;

namespace {

int StateOf(Qt::WindowStates states) {
    if (states.testFlag(Qt::WindowMinimized)) return WindowPlacement::Minimized;
    if (states.testFlag(Qt::WindowMaximized)) return WindowPlacement::Maximized;
    return WindowPlacement::Normal;
}

// A state the file should not hold (anything but 0, 1, 2) opens the window normally.
Qt::WindowState WindowStateOf(int state) {
    if (state == WindowPlacement::Minimized) return Qt::WindowMinimized;
    if (state == WindowPlacement::Maximized) return Qt::WindowMaximized;
    return Qt::WindowNoState;
}

}  // namespace

WindowPlacement PlacementOf(const QWidget& window, WindowPlacement::Border border) {
    const QRect frame = window.frameGeometry();
    WindowPlacement placement;
    placement.State = StateOf(window.windowState());
    placement.Left = frame.x();
    placement.Top = frame.y();
    placement.Width = frame.width();
    placement.Height = frame.height();
    placement.BorderStyle = border;
    return placement;
}

void ApplyPlacement(QWidget& window, const WindowPlacement& placement) {
    const Qt::WindowState state = WindowStateOf(placement.State);
    window.setWindowState(state);
    if (state == Qt::WindowMaximized) return;
    window.move(placement.Left, placement.Top);
    if (placement.BorderStyle != WindowPlacement::Border::Sizeable) return;
    // The file holds the outer size; resize() takes the client size.
    const QSize frameExtra = window.frameGeometry().size() - window.geometry().size();
    window.resize(placement.Width - frameExtra.width(), placement.Height - frameExtra.height());
}

}  // namespace kx::gui
