#include "gui/qt/DialogFrame.h"

#include <QDialog>
#include <QPushButton>

namespace kx::gui {

Qt::WindowFlags DialogWindowFlags() {
    return Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;
}

void ConnectDialogButtons(QDialog& dialog, QPushButton* ok, QPushButton* cancel, QPushButton* help) {
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    if (help != nullptr) help->setEnabled(false);
}

}  // namespace kx::gui
