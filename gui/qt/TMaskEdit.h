#pragma once
// The password field: up to ten letters or digits, every character shown as "$".
#include <QLineEdit>

namespace kx::gui {

class TMaskEdit final : public QLineEdit {
    Q_OBJECT

public:
    static constexpr int MaxChars = 10;
    static constexpr char16_t EchoChar = u'$';

    explicit TMaskEdit(QWidget* parent = nullptr);

    // The characters typed, without trailing blanks.
    QString EnteredText() const;
};

}  // namespace kx::gui
