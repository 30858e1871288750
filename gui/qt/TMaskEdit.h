#pragma once
// The password field: at most ten letters or digits, every character shown as "$".
#include <QLineEdit>

namespace kx::gui {

class TMaskEdit final : public QLineEdit {
    Q_OBJECT

public:
    explicit TMaskEdit(QWidget* parent = nullptr);

    // The characters typed, without trailing blanks.
    QString EnteredText() const;
};

}  // namespace kx::gui
