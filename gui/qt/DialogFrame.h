#pragma once
// The frame of the small modal dialogs: a fixed dialog border with the system-menu
// icon and a close box, no minimise or maximise box; OK accepts, Cancel, Esc and the
// close box reject.
#include <Qt>

class QDialog;
class QPushButton;

namespace kx::gui {

Qt::WindowFlags DialogWindowFlags();
// Wires OK and Cancel to the dialog's results. There is no help system behind the
// Help button, so it stays visible but disabled.
void ConnectDialogButtons(QDialog& dialog, QPushButton* ok, QPushButton* cancel, QPushButton* help = nullptr);

}  // namespace kx::gui
