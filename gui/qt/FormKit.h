#pragma once
// What every form of the program shares: the form font, fixed client sizes in pixels,
// centring on the screen and the standard OK, Cancel and Help buttons with their glyphs.
#include <QRect>

class QLabel;
class QPushButton;
class QWidget;

namespace kx::gui {

inline constexpr const char* FormFontFamily = "MS Sans Serif";
inline constexpr int FormFontPoints = 8;

// "MS Sans Serif" 8 pt where the machine has it; elsewhere the default family at 8 pt.
void ApplyFormFont(QWidget& form, bool bold = false);
// A window that neither the user nor the screen's font size can resize.
void FixClientSize(QWidget& form, int width, int height);
// Moves the window so that its outer frame is centred on its screen.
void CentreOnScreen(QWidget& window);
// Every label of `form` shows its text as it is: a file or port name with markup in it
// is never taken for rich text. Called once its labels exist.
void ShowTextAsText(QWidget& form);
// Grows `label` downwards until its (wrapped) text fits at the screen's font size, but
// never below `bottom`: a label sized for one line of a small font is not clipped at a
// larger one.
void FitLabelHeight(QLabel& label, int bottom);

// Buttons of the standard kinds, placed at `geometry` (left, top, width, height).
QPushButton* MakeOkButton(QWidget* parent, const QRect& geometry);
QPushButton* MakeCancelButton(QWidget* parent, const QRect& geometry);
QPushButton* MakeHelpButton(QWidget* parent, const QRect& geometry);

}  // namespace kx::gui
