// The desktop program: one main window, one link, one copy at a time.
#include <QApplication>

#include "gui/qt/QtUserInterface.h"
#include "gui/qt/TAutoTest.h"
#include "gui/qt/TMainForm.h"
#include "gui/qt/TerminationSignal.h"
#include "link/KX_RS232.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kxboot"));
    kx::gui::QtUserInterface userInterface;

    kx::gui::TMainForm MainForm(userInterface, [](kx::ui::UserInterface& ui) {
        return std::make_unique<kx::link::TKX_RS>(nullptr, nullptr, kx::link::SystemLinkContext(ui));
    });
    userInterface.SetOwner(&MainForm);
    // A second copy ends here, before it shows anything or touches port or settings.
    if (MainForm.Presenter().MustEnd()) return 0;

    // Asked to end by the system: close as the close box does; a running load is cancelled
    // first, and the window closes when it has ended.
    kx::gui::TerminationSignal termination;
    QObject::connect(&termination, &kx::gui::TerminationSignal::Received, &MainForm, [&MainForm] {
        if (MainForm.Presenter().RequestEnd()) MainForm.close();
    });

    const auto autoTest = kx::gui::TAutoTest::FromEnvironment(MainForm);
    MainForm.show();
    return application.exec();
}
