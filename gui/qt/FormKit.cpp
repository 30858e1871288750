#include "gui/qt/FormKit.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDialog>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QStyle>
#include <algorithm>

#include "gui/qt/TMaskEdit.h"

namespace kx::gui {

using ui::forms::Control;
using ui::forms::Kind;

namespace {

QColor ColourOf(std::uint32_t rgb) { return QColor::fromRgb(static_cast<QRgb>(rgb)); }

// "MS Sans Serif" where the machine has it; elsewhere the default family, at the same size.
void ApplyFormFont(QWidget& form, bool bold) {
    QFont font = form.font();
    const QString family = QString::fromLatin1(ui::forms::FontFamily);
    if (QFontDatabase::families().contains(family)) font.setFamily(family);
    font.setPointSize(ui::forms::FontPoints);
    font.setBold(bold);
    form.setFont(font);
}

QPushButton* MakeButton(QWidget& window, const Control& control) {
    QStyle::StandardPixmap glyph = QStyle::SP_CustomBase;
    if (control.kind == Kind::OkButton) glyph = QStyle::SP_DialogOkButton;
    if (control.kind == Kind::CancelButton) glyph = QStyle::SP_DialogCancelButton;
    if (control.kind == Kind::HelpButton) glyph = QStyle::SP_DialogHelpButton;
    auto* button = new QPushButton(QString::fromUtf8(control.text), &window);
    if (glyph != QStyle::SP_CustomBase) button->setIcon(window.style()->standardIcon(glyph));
    button->setAutoDefault(false);
    // There is no help system behind the Help button: it stays visible but disabled.
    if (control.kind == Kind::HelpButton) button->setEnabled(false);
    return button;
}

QLabel* MakeLabel(QWidget& window, const Control& control) {
    auto* label = new QLabel(QString::fromUtf8(control.text), &window);
    // A file or port name with markup in it is never taken for rich text.
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(control.wordWrap);
    label->setAlignment(control.align == ui::forms::Align::Centre ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignTop);
    if (control.colour != ui::forms::NoColour) {
        label->setAutoFillBackground(true);
        QPalette palette = label->palette();
        palette.setColor(QPalette::Window, ColourOf(control.colour));
        label->setPalette(palette);
    }
    return label;
}

QComboBox* MakeList(QWidget& window, const Control& control) {
    auto* list = new QComboBox(&window);
    list->setEditable(false);
    if (control.listRows > 0) list->setMaxVisibleItems(control.listRows);
    // Device paths may be wider than the box, so the open list may grow beyond it.
    list->view()->setTextElideMode(Qt::ElideNone);
    list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    return list;
}

QSpinBox* MakeSpin(QWidget& window, const Control& control) {
    auto* spin = new QSpinBox(&window);
    spin->setRange(control.minimum, control.maximum);
    spin->setSingleStep(control.step);
    spin->setValue(control.minimum);
    spin->setAlignment(Qt::AlignRight);
    // A value typed outside the range is brought to the nearest bound.
    spin->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    return spin;
}

QProgressBar* MakeGauge(QWidget& window, const Control& control) {
    auto* gauge = new QProgressBar(&window);
    gauge->setRange(control.minimum, control.maximum);
    gauge->setValue(control.minimum);
    gauge->setFormat(QStringLiteral("%p%"));  // the value as "%d%%": 42%
    gauge->setAlignment(Qt::AlignCenter);
    gauge->setTextVisible(true);
    QPalette palette = gauge->palette();
    palette.setColor(QPalette::Highlight, ColourOf(control.colour));
    gauge->setPalette(palette);
    return gauge;
}

// Enter presses the button the description names for the control that has the keyboard.
// It sees the key only when that control did not want it: a button that is not the
// default, a closed list, an edit box; an open list or the default button keep it.
class EnterKey final : public QObject {
public:
    EnterKey(QWidget& window, const ui::forms::Form& form, std::vector<QWidget*> widgets)
        : QObject(&window), window_(window), form_(form), widgets_(std::move(widgets)) {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != &window_ || event->type() != QEvent::KeyPress) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
        const Control* pressed = ui::forms::EnterButton(form_, Focused());
        if (pressed == nullptr) return false;
        auto* button = static_cast<QPushButton*>(widgets_[static_cast<std::size_t>(ui::forms::IndexOf(form_, *pressed))]);
        if (button->isVisible() && button->isEnabled()) button->click();
        return true;
    }

private:
    const Control* Focused() const {
        const auto at = std::find(widgets_.begin(), widgets_.end(), window_.focusWidget());
        return at == widgets_.end() ? nullptr : form_.controls[static_cast<std::size_t>(at - widgets_.begin())];
    }

    QWidget& window_;
    const ui::forms::Form& form_;
    const std::vector<QWidget*> widgets_;  // in the description's declaration order
};

bool IsOneLineBox(Kind kind) { return kind == Kind::DropDownList || kind == Kind::SpinEdit || kind == Kind::MaskEdit; }

}  // namespace

Qt::WindowFlags WindowFlagsOf(ui::forms::Frame frame) {
    const Qt::WindowFlags fixed = Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint;
    switch (frame) {
        case ui::forms::Frame::Main:
            return Qt::Window | fixed | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint;
        case ui::forms::Frame::Dialog:
            return Qt::Dialog | fixed | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        case ui::forms::Frame::Progress:
            return Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint;
    }
    return Qt::Window;
}

FormBuilder::FormBuilder(QWidget& window, const ui::forms::Form& form) : form_(form) {
    window.setWindowTitle(QString::fromUtf8(form.caption));
    ApplyFormFont(window, form.boldFont);
    // Neither the user nor the screen's font size resizes a form.
    window.setFixedSize(form.clientWidth, form.clientHeight);
    for (const Control* control : form.controls) widgets_.push_back(Make(window, *control));
    Wire(window);
}

QWidget* FormBuilder::Make(QWidget& window, const Control& control) const {
    QWidget* widget = nullptr;
    switch (control.kind) {
        case Kind::Label: widget = MakeLabel(window, control); break;
        case Kind::DropDownList: widget = MakeList(window, control); break;
        case Kind::SpinEdit: widget = MakeSpin(window, control); break;
        case Kind::MaskEdit: widget = new TMaskEdit(&window); break;
        case Kind::Gauge: widget = MakeGauge(window, control); break;
        default: widget = MakeButton(window, control); break;
    }
    if (control.regularFont) {
        QFont font = widget->font();
        font.setBold(false);
        widget->setFont(font);
    }
    const auto& b = control.bounds;
    // A one-line box takes the height the toolkit gives its line of text.
    widget->setGeometry(b.left, b.top, b.width, IsOneLineBox(control.kind) ? widget->sizeHint().height() : b.height);
    return widget;
}

void FormBuilder::Wire(QWidget& window) const {
    for (std::size_t i = 1; i < form_.tabOrder.size(); ++i)
        QWidget::setTabOrder(Widget(*form_.tabOrder[i - 1]), Widget(*form_.tabOrder[i]));
    if (form_.initialFocus != nullptr) Widget(*form_.initialFocus)->setFocus();
    auto* dialog = qobject_cast<QDialog*>(&window);
    if (form_.defaultButton != nullptr) {
        auto* button = Get<QPushButton>(*form_.defaultButton);
        button->setDefault(true);
        if (dialog != nullptr) QObject::connect(button, &QPushButton::clicked, dialog, &QDialog::accept);
    }
    // In a dialog Esc and the close box reject, as its Esc button does.
    if (form_.escapeButton != nullptr && dialog != nullptr)
        QObject::connect(Get<QPushButton>(*form_.escapeButton), &QPushButton::clicked, dialog, &QDialog::reject);
    new EnterKey(window, form_, widgets_);  // owned by the window
}

QWidget* FormBuilder::Widget(const Control& control) const {
    const int index = ui::forms::IndexOf(form_, control);
    return index < 0 ? nullptr : widgets_[static_cast<std::size_t>(index)];
}

void CentreOnScreen(QWidget& window) {
    const QScreen* screen = window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect area = screen->geometry();
    const QRect frame = window.frameGeometry();
    // move() places the outer frame of a top-level window.
    window.move(area.x() + (area.width() - frame.width()) / 2, area.y() + (area.height() - frame.height()) / 2);
}

void FitLabelHeight(QLabel& label, int bottom) {
    const int needed = label.wordWrap() ? label.heightForWidth(label.width()) : label.sizeHint().height();
    label.resize(label.width(), std::clamp(needed, label.height(), std::max(label.height(), bottom - label.y())));
}

}  // namespace kx::gui
