#pragma once
// A form's widgets made from its description (ui/Forms.h): frame, caption, font, fixed
// client size, every control of its kind at its place with its text and look, the tab
// order, the first focus, the button Enter presses, and in a dialog the default and Esc
// buttons wired to its results. The form classes add only what the toolkit needs beyond
// that.
#include <QWidget>
#include <vector>

#include "ui/Forms.h"

class QLabel;

namespace kx::gui {

Qt::WindowFlags WindowFlagsOf(ui::forms::Frame frame);

class FormBuilder {
public:
    // Builds `form` into `window`, which was made with WindowFlagsOf(form.frame).
    FormBuilder(QWidget& window, const ui::forms::Form& form);

    QWidget* Widget(const ui::forms::Control& control) const;
    template <typename T>
    T* Get(const ui::forms::Control& control) const {
        return static_cast<T*>(Widget(control));
    }

private:
    QWidget* Make(QWidget& window, const ui::forms::Control& control) const;
    void Wire(QWidget& window) const;

    const ui::forms::Form& form_;
    std::vector<QWidget*> widgets_;  // in the description's declaration order
};

// Moves the window so that its outer frame is centred on its screen.
void CentreOnScreen(QWidget& window);
// Grows `label` downwards until its (wrapped) text fits at the screen's font size, but
// never to `bottom` or beyond: a label sized for one line of a small font is not clipped
// at a larger one.
void FitLabelHeight(QLabel& label, int bottom);

}  // namespace kx::gui
