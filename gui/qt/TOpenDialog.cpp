#include "gui/qt/TOpenDialog.h"

#include <QFileDialog>

#include "gui/qt/FileFilter.h"

namespace kx::gui {

bool TOpenDialog::Execute() {
    QFileDialog dialog(owner_);
    // The toolkit's own dialog on every desktop: the same behaviour everywhere.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilters(NameFiltersOf(Filter));
    if (!InitialDir.isEmpty()) dialog.setDirectory(InitialDir);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    FileName = dialog.selectedFiles().first();
    // The next opening starts where this one ended.
    InitialDir = dialog.directory().absolutePath();
    return true;
}

}  // namespace kx::gui
