#pragma once
// The percentage gauge: a bar filled in blue from the left, its value drawn as "42%"
// in the middle, white over the filled part and black over the rest.
#include <windows.h>

namespace kx::wgui {

// The window class name of the gauge control, registered on first use.
const wchar_t* GaugeClass();
// Sets the value (limited to 0..100) and redraws.
void SetGaugeValue(HWND gauge, int percent);
int GaugeValue(HWND gauge);

}  // namespace kx::wgui
