#include "gui/qt/TMaskEdit.h"

#include <QProxyStyle>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

namespace kx::gui {
namespace {

// The toolkit draws a password field with the style's password character; this style
// answers "$" and shows no typed character even for a moment.
class DollarEchoStyle final : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_LineEdit_PasswordCharacter) return TMaskEdit::EchoChar;
        if (hint == SH_LineEdit_PasswordMaskDelay) return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

}  // namespace

TMaskEdit::TMaskEdit(QWidget* parent) : QLineEdit(parent) {
    auto* style = new DollarEchoStyle;
    style->setParent(this);
    setStyle(style);
    setEchoMode(QLineEdit::Password);
    setMaxLength(MaxChars);
    // Ten optional positions, each a Latin letter or a digit.
    setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[A-Za-z0-9]{0,10}")), this));
}

QString TMaskEdit::EnteredText() const {
    QString entered = text();
    while (!entered.isEmpty() && entered.back() == u' ') entered.chop(1);
    return entered;
}

}  // namespace kx::gui
