#include "gui/qt/TMaskEdit.h"

#include <QProxyStyle>
#include <QValidator>

#include "ui/Forms.h"

namespace kx::gui {
namespace {

namespace password = ui::forms::password_dialog;

// The toolkit draws a password field with the style's password character; this style
// answers the mask character and shows no typed character even for a moment.
class MaskEchoStyle final : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_LineEdit_PasswordCharacter) return password::MaskChar;
        if (hint == SH_LineEdit_PasswordMaskDelay) return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// A character the field does not take is refused as it is typed.
class MaskValidator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        for (const QChar c : input)
            if (!password::Accepts(c.unicode())) return Invalid;
        return Acceptable;
    }
};

}  // namespace

TMaskEdit::TMaskEdit(QWidget* parent) : QLineEdit(parent) {
    auto* style = new MaskEchoStyle;
    style->setParent(this);
    setStyle(style);
    setEchoMode(QLineEdit::Password);
    setMaxLength(password::MaxChars);
    setValidator(new MaskValidator(this));
}

QString TMaskEdit::EnteredText() const {
    QString entered = text();
    while (!entered.isEmpty() && entered.back() == u' ') entered.chop(1);
    return entered;
}

}  // namespace kx::gui
