#include "gui/qt/WindowPlacementMap.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace kx::gui {

using app::WindowPlacement;

namespace {

int StateOf(Qt::WindowStates states) {
    if (states.testFlag(Qt::WindowMinimized)) return WindowPlacement::Minimized;
    if (states.testFlag(Qt::WindowMaximized)) return WindowPlacement::Maximized;
    return WindowPlacement::Normal;
}

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
    // move() places the outer frame of a top-level window.
    if (state != Qt::WindowMaximized) window.move(placement.Left, placement.Top);
}

app::ScreenArea ScreenOf(const QWidget& window) {
    const QScreen* screen = window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) return {};
    const QRect area = screen->geometry();
    return {area.x(), area.y(), area.width(), area.height()};
}

}  // namespace kx::gui
