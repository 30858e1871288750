// The main window's lifecycle and handlers over a fake serial line: start-up and
// shut-down with the settings file, placement, the open dialog, the port and rate
// dialogs through the link, the password gate, and the load button's session.
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>
#include <fstream>

#include "app/JustOne.h"
#include "app/KXIniFile.h"
#include "gui/qt/QtUserInterface.h"
#include "gui/qt/TKX_RS232_SetBRDlg.h"
#include "gui/qt/TKX_RS232_SetNumDlg.h"
#include "gui/qt/TMainForm.h"
#include "gui/qt/TMaskEdit.h"
#include "gui/qt/TPasswDlg.h"
#include "gui/qt/TProgressForm.h"
#include "link/KX_RS232.h"
#include "tests/gui/ModalDriver.h"
#include "tests/support/FakePriority.h"
#include "tests/support/FakeSerial.h"
#include "ui/PassW.h"

using kx::gui::TMainForm;
using kx::test::ModalDriver;

namespace {

// One machine for one test: a settings file of its own and fake serial ports.
struct Rig {
    Rig() : ports(clock) {
        line = ports.Add("/dev/ttyFAKE0");
        ports.Add("/dev/ttyFAKE1");
        ports.Add("/dev/ttyFAKE2", /*free=*/false);
        settings = dir.filePath("kxboot.ini").toStdString();
        ::setenv("KXBOOT_SETTINGS", settings.c_str(), 1);
    }
    kx::app::MainPresenter::LinkFactory Factory() {
        return [this](kx::ui::UserInterface& ui) {
            return std::make_unique<kx::link::TKX_RS>(nullptr, nullptr,
                                                      kx::link::LinkContext{.ui = ui, .ports = ports, .clock = clock, .priority = priority});
        };
    }
    kx::app::TKXIniFile Ini() const { return kx::app::TKXIniFile(settings); }
    QString Write(const char* name, const QByteArray& content) const {
        const QString path = dir.filePath(QString::fromLatin1(name));
        std::ofstream(path.toStdString(), std::ios::binary) << content.toStdString();
        return path;
    }

    QTemporaryDir dir;
    std::string settings;
    kx::test::FakeClock clock;
    kx::test::FakeSerialPorts ports;
    kx::test::FakePriority priority;
    std::shared_ptr<kx::test::FakeLine> line;
};

QPoint ScreenCentre() { return QGuiApplication::primaryScreen()->geometry().center(); }

bool Centred(const QWidget& window) {
    const QPoint offset = window.frameGeometry().center() - ScreenCentre();
    return std::abs(offset.x()) <= 1 && std::abs(offset.y()) <= 1;
}

kx::gui::TProgressForm* ProgressWindow() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* form = qobject_cast<kx::gui::TProgressForm*>(window)) return form;
    return nullptr;
}

}  // namespace

class MainFormTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { kx::ui::AccessGranted = false; }
    void formHasItsComponentsAndFixedBorder();
    void firstStartCreatesSettingsAndClosingWritesThem();
    void placementRules_data();
    void placementRules();
    void chosenImageSurvivesRestartAndCancelKeepsIt();
    void portDialogListsFreePortsWithoutPasswordAndSwitches();
    void refusedBaudRateIsUndone();
    void passwordGate_data();
    void passwordGate();
    void passwordIsAskedOncePerRun();
    void closingDuringALoadCancelsItAndClosesAfterwards();
    void enterPressesTheFocusedButton();
    void folderAsImageIsReportedAsMissing();
    void secondCopyEndsBeforeTouchingSettings();

private:
    QTemporaryDir runtime_;
    kx::gui::QtUserInterface ui_;
};

void MainFormTest::initTestCase() {
    QVERIFY(runtime_.isValid());
    ::setenv("XDG_RUNTIME_DIR", runtime_.path().toLocal8Bit().constData(), 1);
}

void MainFormTest::formHasItsComponentsAndFixedBorder() {
    Rig rig;
    TMainForm form(ui_, rig.Factory());
    QCOMPARE(form.windowTitle(), QString("BootLoader for PIC24/PIC33"));
    QCOMPARE(form.size(), QSize(361, 251));
    QCOMPARE(form.minimumSize(), form.maximumSize());
    QVERIFY(!form.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(form.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    const struct {
        QPushButton* button;
        const char* text;
        QRect geometry;
    } buttons[] = {{form.bRS232, "Выбрать СОМ-порт", {24, 16, 321, 25}},
                   {form.bOpen, "Открыть файл прошивки", {24, 56, 321, 25}},
                   {form.bLoad, "Загрузить ", {24, 136, 321, 25}}};
    for (const auto& b : buttons) {
        QCOMPARE(b.button->text(), QString(b.text));
        QCOMPARE(b.button->geometry(), b.geometry);
    }
    QCOMPARE(form.bRS232->nextInFocusChain(), form.bOpen);
    QCOMPARE(form.bOpen->nextInFocusChain(), form.bLoad);
    QCOMPARE(form.lFN->geometry(), QRect(24, 88, 321, 41));
    // The image's name is shown as it is, whatever markup it holds.
    QCOMPARE(form.lFN->textFormat(), Qt::PlainText);
    QCOMPARE(form.Label1->geometry(), QRect(0, 176, 361, 75));
    QCOMPARE(form.Label1->palette().color(QPalette::Window), QColor(255, 0, 255));
    QVERIFY(form.Label1->text().startsWith("ВНИМАНИЕ!\nВнимательно проверьте"));
    // Nothing of the port or the settings is touched before the window is shown.
    QVERIFY(form.Link() == nullptr);
    QVERIFY(!QFile::exists(QString::fromStdString(rig.settings)));
}

void MainFormTest::firstStartCreatesSettingsAndClosingWritesThem() {
    Rig rig;
    ModalDriver driver;
    {
        TMainForm form(ui_, rig.Factory());
        form.show();
        QVERIFY(QFile::exists(QString::fromStdString(rig.settings)));
        QCOMPARE(form.windowTitle(), QString("BootLoader for PIC33E"));
        QCOMPARE(form.lFN->text(), QString());
        QVERIFY(Centred(form));
        QVERIFY(kx::ui::AccessGranted);
        QVERIFY(form.Link() != nullptr);
        QCOMPARE(int(form.Link()->LineMode), 2);
        QCOMPARE(form.Link()->BaudRate, 19200u);
        QCOMPARE(QString::fromStdString(form.Link()->PortName), QString("/dev/ttyFAKE0"));
        QVERIFY(form.close());
        const QRect frame = form.frameGeometry();  // the file keeps the outer frame
        const auto ini = rig.Ini();
        QCOMPARE(ini.ReadString("Common", "FN", "absent"), std::string());
        QCOMPARE(ini.ReadString("RS232", "Port", ""), std::string("/dev/ttyFAKE0"));
        QCOMPARE(ini.ReadInteger("MainWindow", "State", -1), 0);
        QCOMPARE(ini.ReadInteger("MainWindow", "Left", -1), frame.x());
        QCOMPARE(ini.ReadInteger("MainWindow", "Top", -1), frame.y());
        QCOMPARE(ini.ReadInteger("MainWindow", "Width", -1), frame.width());
        QCOMPARE(ini.ReadInteger("MainWindow", "Height", -1), frame.height());
        QCOMPARE(form.size(), QSize(361, 251));
    }
    QCOMPARE(driver.boxes, QStringList());
}

// The presenter decides where the window opens; the window takes its state and, unless
// maximised, its centred place, and keeps its size.
void MainFormTest::placementRules_data() {
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<int>("state");  // 0 normal, 1 minimised, 2 maximised
    QTest::newRow("far off the screen") << QByteArray("Left=5000\nTop=5000\nWidth=1000\n") << 0;
    QTest::newRow("minimised") << QByteArray("State=1\nLeft=10\nTop=20\n") << 1;
    QTest::newRow("maximised") << QByteArray("State=2\nLeft=10\nTop=20\n") << 2;
    QTest::newRow("unknown state opens normally") << QByteArray("State=7\nLeft=10\nTop=20\n") << 0;
}

void MainFormTest::placementRules() {
    QFETCH(QByteArray, stored);
    QFETCH(int, state);
    const Qt::WindowState expected = state == 1   ? Qt::WindowMinimized
                                     : state == 2 ? Qt::WindowMaximized
                                                  : Qt::WindowNoState;
    Rig rig;
    rig.Write("kxboot.ini", "[MainWindow]\n" + stored);
    TMainForm shown(ui_, rig.Factory());
    shown.show();
    QCOMPARE(shown.windowState(), expected);
    if (state != 2) QVERIFY2(Centred(shown), "the window must always open centred");
    QCOMPARE(shown.size(), QSize(361, 251));
}

void MainFormTest::chosenImageSurvivesRestartAndCancelKeepsIt() {
    Rig rig;
    const QString image = rig.Write("device.rom", QByteArray(3075, '\0'));
    ModalDriver driver;
    {
        TMainForm form(ui_, rig.Factory());
        form.show();
        QString startFolder;
        driver.steps.push_back([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog != nullptr);
            startFolder = dialog->directory().absolutePath();
            QCOMPARE(dialog->nameFilters(), QStringList{"Файлы прошивок (*.rom)"});
            QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFile);
            dialog->selectFile(image);
            static_cast<QDialog*>(dialog)->accept();
        });
        form.bOpen->click();
        QCOMPARE(form.lFN->text(), image);
        QCOMPARE(QString::fromStdString(form.Presenter().ImageFileName()), image);
        QCOMPARE(startFolder, QCoreApplication::applicationDirPath());
        QVERIFY(form.close());
    }
    {
        TMainForm form(ui_, rig.Factory());
        form.show();
        QCOMPARE(form.lFN->text(), image);
        driver.steps.push_back([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
        form.bOpen->click();
        QCOMPARE(QString::fromStdString(form.Presenter().ImageFileName()), image);
        QCOMPARE(form.lFN->text(), image);
    }
    QCOMPARE(driver.dialogs.size(), 2);
    QCOMPARE(driver.boxes, QStringList());
}

void MainFormTest::portDialogListsFreePortsWithoutPasswordAndSwitches() {
    Rig rig;
    ModalDriver driver;
    TMainForm form(ui_, rig.Factory());
    form.show();
    QStringList listed;
    QString selected;
    driver.steps.push_back([&](QWidget* modal) {
        auto* dialog = qobject_cast<kx::gui::TKX_RS232_SetNumDlg*>(modal);
        QVERIFY2(dialog != nullptr, "the port dialog must come first, without a password");
        for (int i = 0; i < dialog->PCB->count(); ++i) listed << dialog->PCB->itemText(i);
        selected = dialog->PCB->currentText();
        dialog->PCB->setCurrentIndex(dialog->PCB->findText("/dev/ttyFAKE1"));
        dialog->OKBtn->click();
    });
    form.bRS232->click();
    QCOMPARE(driver.dialogs, QStringList{"Выбор номера порта"});
    // The link's own port counts as free; the port another program holds is not listed.
    QCOMPARE(listed, QStringList({"/dev/ttyFAKE0", "/dev/ttyFAKE1"}));
    QCOMPARE(selected, QString("/dev/ttyFAKE0"));
    QCOMPARE(QString::fromStdString(form.Link()->PortName), QString("/dev/ttyFAKE1"));
    QVERIFY(form.close());
    QCOMPARE(rig.Ini().ReadString("RS232", "Port", ""), std::string("/dev/ttyFAKE1"));
    QCOMPARE(driver.boxes, QStringList());
}

void MainFormTest::refusedBaudRateIsUndone() {
    Rig rig;
    rig.line->refusedRates = {57600};
    ModalDriver driver;
    TMainForm form(ui_, rig.Factory());
    form.show();
    const auto type = [&driver](const char* rate) {
        driver.steps.push_back([rate](QWidget* modal) {
            auto* dialog = qobject_cast<kx::gui::TKX_RS232_SetBRDlg*>(modal);
            QVERIFY(dialog != nullptr);
            dialog->BSE->setValue(QString(rate).toInt());
            dialog->OKBtn->click();
        });
    };
    type("57600");
    form.Link()->SelectBaudRate();
    QCOMPARE(driver.boxes, QStringList{"Error|RS232. Не могу установить нужную скорость обмена."});
    QCOMPARE(form.Link()->BaudRate, 19200u);
    QCOMPARE(rig.line->baud, 19200u);

    type("38400");
    form.Link()->SelectBaudRate();
    QCOMPARE(driver.boxes.size(), 1);
    QCOMPARE(form.Link()->BaudRate, 38400u);
}

void MainFormTest::passwordGate_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<bool>("granted");
    QTest::newRow("right") << "QOX" << true << true;
    QTest::newRow("other letter case") << "qox" << true << false;
    QTest::newRow("longer") << "QOXQ" << true << false;
    QTest::newRow("empty entry") << "" << true << false;
    QTest::newRow("cancelled") << "QOX" << false << false;
}

void MainFormTest::passwordGate() {
    QFETCH(QString, typed);
    QFETCH(bool, ok);
    QFETCH(bool, granted);
    ModalDriver driver;
    QString prompt;
    driver.steps.push_back([&](QWidget* modal) {
        auto* dialog = qobject_cast<kx::gui::TPasswDlg*>(modal);
        QVERIFY(dialog != nullptr);
        prompt = dialog->Label1->text();
        QTest::keyClicks(dialog->MaskEdit1, typed);
        if (ok) dialog->OKBtn->click();
        else QTest::keyClick(dialog, Qt::Key_Escape);
    });
    QCOMPARE(kx::ui::CheckAccess(ui_), granted);
    QCOMPARE(kx::ui::AccessGranted, granted);
    QCOMPARE(prompt, QString("Данная команда будет выполняться только после ввода пароля!"));
    QCOMPARE(driver.boxes, granted ? QStringList() : QStringList{"Error|Неверный пароль!"});
}

void MainFormTest::passwordIsAskedOncePerRun() {
    Rig rig;
    ModalDriver driver;
    TMainForm form(ui_, rig.Factory());
    form.show();  // grants access, as the program does at start-up
    kx::ui::AccessGranted = false;
    driver.steps.push_back([](QWidget* modal) {  // a wrong entry: nothing is selected
        QTest::keyClicks(qobject_cast<kx::gui::TPasswDlg*>(modal)->MaskEdit1, "QOQ");
        qobject_cast<kx::gui::TPasswDlg*>(modal)->OKBtn->click();
    });
    form.bRS232->click();
    QCOMPARE(driver.dialogs, QStringList{"Контроль доступа"});
    QCOMPARE(driver.boxes, QStringList{"Error|Неверный пароль!"});

    driver.steps.push_back([](QWidget* modal) {
        QTest::keyClicks(qobject_cast<kx::gui::TPasswDlg*>(modal)->MaskEdit1, "QOX");
        qobject_cast<kx::gui::TPasswDlg*>(modal)->OKBtn->click();
    });
    form.bRS232->click();  // right password, then the port dialog (cancelled)
    form.bRS232->click();  // no password any more
    QCOMPARE(driver.dialogs, QStringList({"Контроль доступа", "Контроль доступа", "Выбор номера порта",
                                          "Выбор номера порта"}));
    QCOMPARE(driver.boxes.size(), 1);
}

// Closing the window during a load cancels the load at its next safe point, silently, and
// the window closes once the load has ended.
void MainFormTest::closingDuringALoadCancelsItAndClosesAfterwards() {
    Rig rig;
    const QString image = rig.Write("device.rom", QByteArray(9219, '\x11'));
    rig.Write("kxboot.ini", "[Common]\nFN=" + image.toUtf8() + "\n");
    // A silent device: the wake loop retries until cancelled. Should the cancel never
    // arrive, the line breaks the loop with an error instead of hanging the test.
    int writes = 0;
    rig.line->onWrite = [&writes](const kx::test::Bytes&) {
        if (++writes > 3000) throw std::runtime_error("the cancel never reached the session");
    };
    ModalDriver driver;
    TMainForm form(ui_, rig.Factory());
    form.show();

    bool sawSession = false;
    QTimer::singleShot(0, &form, [&] {
        sawSession = true;
        QVERIFY(form.SessionRunning());
        QVERIFY(!form.bRS232->isEnabled() && !form.bOpen->isEnabled() && !form.bLoad->isEnabled());
        form.Presenter().bLoadClick();  // a second session must not start
        kx::gui::TProgressForm* progress = ProgressWindow();
        QVERIFY(progress != nullptr);
        QCOMPARE(progress->ProgressLabel->text(), QString("Включите МК..."));
        QVERIFY(!progress->ProgressGauge->isVisible());
        QVERIFY(!form.close());  // not yet: the load ends first
        QVERIFY(form.isVisible());
        QVERIFY(!progress->Cancelled());  // the user pressed nothing there
    });
    form.bLoad->click();

    QVERIFY(sawSession);
    QVERIFY(writes > 0);
    QVERIFY(writes <= 3000);
    QCOMPARE(driver.boxes, QStringList());  // a cancel ends silently
    QVERIFY(ProgressWindow() == nullptr);
    QVERIFY(!form.SessionRunning());
    QVERIFY(!form.isVisible());
    QCOMPARE(rig.Ini().ReadString("Common", "FN", ""), image.toStdString());  // closed as the close box does
}

void MainFormTest::enterPressesTheFocusedButton() {
    Rig rig;
    rig.Write("kxboot.ini", "[Common]\nFN=" + rig.dir.filePath("missing.rom").toUtf8() + "\n");
    ModalDriver driver;
    TMainForm form(ui_, rig.Factory());
    form.show();
    // What each button's click shows: the port dialog, the open dialog, the load's refusal.
    const struct {
        QPushButton* button;
        QStringList dialogs, boxes;
    } cases[] = {{form.bRS232, {"Выбор номера порта"}, {}},
                 {form.bOpen, {"Выбор номера порта", "Open"}, {}},
                 {form.bLoad, {"Выбор номера порта", "Open"}, {"Error|Файл не найден"}}};
    for (const auto& c : cases) {
        c.button->setFocus();
        QTest::keyClick(c.button, Qt::Key_Return);
        QCOMPARE(driver.dialogs, c.dialogs);
        QCOMPARE(driver.boxes, c.boxes);
    }
}

void MainFormTest::folderAsImageIsReportedAsMissing() {
    Rig rig;
    QVERIFY(QDir(rig.dir.path()).mkdir("folder.rom"));  // exists, but is no file
    rig.Write("kxboot.ini", "[Common]\nFN=" + rig.dir.filePath("folder.rom").toUtf8() + "\n");
    ModalDriver driver;
    TMainForm form(ui_, rig.Factory());
    form.show();
    form.bLoad->click();
    QCOMPARE(driver.boxes, QStringList{"Error|Файл не найден"});
    QVERIFY(rig.line->writes.empty());
    QVERIFY(form.bLoad->isEnabled());
}

void MainFormTest::secondCopyEndsBeforeTouchingSettings() {
    kx::app::TJustOne running("kxboot");
    QVERIFY(running.MutexOwned);
    QTemporaryDir dir;
    const QString settings = dir.filePath("second.ini");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("KXBOOT_SETTINGS", settings);
    env.insert("KXBOOT_AUTOTEST", dir.filePath("autotest"));
    env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    QProcess second;
    second.setProcessEnvironment(env);
    second.start(QStringLiteral(KXBOOT_PROGRAM), QStringList());
    QVERIFY(second.waitForFinished(30000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QVERIFY2(!QFile::exists(settings), "a second copy must not touch the settings file");
    QVERIFY2(!QFile::exists(dir.filePath("autotest/main.png")), "a second copy must not show its window");
    QVERIFY2(!QFile::exists(dir.filePath("config")), "a second copy must leave the configuration folder alone");
}

QTEST_MAIN(MainFormTest)
#include "MainFormTest.moc"
