#include "gui/qt/FormKit.h"

#include <QApplication>
#include <QFontDatabase>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <algorithm>

namespace kx::gui {

void ApplyFormFont(QWidget& form, bool bold) {
    QFont font = form.font();
    if (QFontDatabase::families().contains(QString::fromLatin1(FormFontFamily)))
        font.setFamily(QString::fromLatin1(FormFontFamily));
    font.setPointSize(FormFontPoints);
    font.setBold(bold);
    form.setFont(font);
}

void FixClientSize(QWidget& form, int width, int height) { form.setFixedSize(width, height); }

void CentreOnScreen(QWidget& window) {
    const QScreen* screen = window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect area = screen->geometry();
    const QRect frame = window.frameGeometry();
    // move() places the outer frame of a top-level window.
    window.move(area.x() + (area.width() - frame.width()) / 2, area.y() + (area.height() - frame.height()) / 2);
}

void ShowTextAsText(QWidget& form) {
    for (QLabel* label : form.findChildren<QLabel*>()) label->setTextFormat(Qt::PlainText);
}

void FitLabelHeight(QLabel& label, int bottom) {
    const int needed = label.wordWrap() ? label.heightForWidth(label.width()) : label.sizeHint().height();
    label.resize(label.width(), std::clamp(needed, label.height(), std::max(label.height(), bottom - label.y())));
}

namespace {

QPushButton* MakeButton(QWidget* parent, const QRect& geometry, const QString& caption,
                        QStyle::StandardPixmap glyph) {
    auto* button = new QPushButton(parent->style()->standardIcon(glyph), caption, parent);
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    return button;
}

}  // namespace

QPushButton* MakeOkButton(QWidget* parent, const QRect& geometry) {
    QPushButton* button = MakeButton(parent, geometry, QStringLiteral("OK"), QStyle::SP_DialogOkButton);
    button->setDefault(true);
    return button;
}

QPushButton* MakeCancelButton(QWidget* parent, const QRect& geometry) {
    return MakeButton(parent, geometry, QStringLiteral("Cancel"), QStyle::SP_DialogCancelButton);
}

QPushButton* MakeHelpButton(QWidget* parent, const QRect& geometry) {
    return MakeButton(parent, geometry, QStringLiteral("&Help"), QStyle::SP_DialogHelpButton);
}

}  // namespace kx::gui
