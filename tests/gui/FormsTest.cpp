// The forms on their own: what they show, what their keys do, what they hand back
// through the user-interface interface.
#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <algorithm>

#include "gui/qt/FileFilter.h"
#include "gui/qt/QtUserInterface.h"
#include "gui/qt/TKX_RS232_SetBRDlg.h"
#include "gui/qt/TKX_RS232_SetNumDlg.h"
#include "gui/qt/TMaskEdit.h"
#include "gui/qt/TPasswDlg.h"
#include "gui/qt/TProgressForm.h"
#include "tests/gui/ModalDriver.h"

using kx::gui::QtUserInterface;
using kx::test::ModalDriver;

class FormsTest : public QObject {
    Q_OBJECT

private slots:
    void progressGaugeShowsLimitedPercent_data();
    void progressGaugeShowsLimitedPercent();
    void progressCancelStaysRaisedAndNeverCloses();
    void progressStartsUncancelledEachTime();
    void messageBoxesHaveTheirCaptionsAndAnswers_data();
    void messageBoxesHaveTheirCaptionsAndAnswers();
    void portDialogListsEntriesAndReturnsTheSelection_data();
    void portDialogListsEntriesAndReturnsTheSelection();
    void baudDialogKeepsItsRange_data();
    void baudDialogKeepsItsRange();
    void passwordFieldTakesTenLettersOrDigitsShownAsDollars_data();
    void passwordFieldTakesTenLettersOrDigitsShownAsDollars();
    void passwordDialogReturnsTheEntryOnOkOnly();
    void enterPressesTheFocusedButtonElseTheDefault_data();
    void enterPressesTheFocusedButtonElseTheDefault();
    void openFilterBecomesToolkitFilters_data();
    void openFilterBecomesToolkitFilters();
    void markupInTextIsShownAsItIs();
    void portDialogFitsLongNamesAndItsLabel();

private:
    QtUserInterface ui_;
};

void FormsTest::progressGaugeShowsLimitedPercent_data() {
    QTest::addColumn<int>("set");
    QTest::addColumn<QString>("shown");
    QTest::newRow("middle") << 42 << "42%";
    QTest::newRow("zero") << 0 << "0%";
    QTest::newRow("full") << 100 << "100%";
    QTest::newRow("above") << 150 << "100%";
    QTest::newRow("below") << -5 << "0%";
}

void FormsTest::progressGaugeShowsLimitedPercent() {
    QFETCH(int, set);
    QFETCH(QString, shown);
    kx::gui::TProgressForm form;
    form.SetProgress(set);
    QCOMPARE(form.ProgressGauge->text(), shown);
}

void FormsTest::progressCancelStaysRaisedAndNeverCloses() {
    auto window = ui_.CreateProgress();
    auto& form = dynamic_cast<kx::gui::TProgressForm&>(*window);
    QVERIFY(form.isVisible());
    QCOMPARE(form.windowTitle(), QString("Progress..."));
    QCOMPARE(form.size(), QSize(261, 113));
    QVERIFY(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(!form.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    QCOMPARE(form.ProgressLabel->text(), QString("Прогресс"));
    QCOMPARE(form.ProgressLabel->geometry(), QRect(0, 0, 261, 41));

    QVERIFY(!window->Cancelled());
    QTest::keyClick(&form, Qt::Key_Escape);
    QVERIFY(window->Cancelled());
    form.BitBtn1->click();
    QVERIFY(window->Cancelled());

    QVERIFY(!form.close());  // the user cannot close it
    QVERIFY(form.isVisible());
    window->SetLabel("Загрузка программы...");
    QCOMPARE(form.ProgressLabel->text(), QString("Загрузка программы..."));
}

void FormsTest::progressStartsUncancelledEachTime() {
    auto first = ui_.CreateProgress();
    QPushButton* cancel = dynamic_cast<kx::gui::TProgressForm&>(*first).BitBtn1;
    cancel->setFocus();
    QTest::keyClick(cancel, Qt::Key_Return);  // Enter presses the focused button
    QVERIFY(first->Cancelled());
    first.reset();
    auto next = ui_.CreateProgress();
    QVERIFY(!next->Cancelled());
}

enum class Box { Error, Info, Ask };
Q_DECLARE_METATYPE(Box)

void FormsTest::messageBoxesHaveTheirCaptionsAndAnswers_data() {
    QTest::addColumn<Box>("box");
    QTest::addColumn<QMessageBox::StandardButton>("press");
    QTest::addColumn<QString>("seen");
    QTest::addColumn<bool>("yes");
    QTest::newRow("error") << Box::Error << QMessageBox::NoButton << "Error|Нет связи" << false;
    QTest::newRow("info") << Box::Info << QMessageBox::NoButton << "Information|Нет связи" << false;
    QTest::newRow("confirm, default is yes") << Box::Ask << QMessageBox::NoButton << "Confirm|Нет связи" << true;
    QTest::newRow("confirm, no") << Box::Ask << QMessageBox::No << "Confirm|Нет связи" << false;
}

void FormsTest::messageBoxesHaveTheirCaptionsAndAnswers() {
    QFETCH(Box, box);
    QFETCH(QMessageBox::StandardButton, press);
    QFETCH(QString, seen);
    QFETCH(bool, yes);
    ModalDriver driver;
    driver.boxAnswer = press;
    bool answer = false;
    switch (box) {
        case Box::Error: ui_.ShowError("Нет связи"); break;
        case Box::Info: ui_.ShowInfo("Нет связи"); break;
        case Box::Ask: answer = ui_.AskYesNo("Нет связи"); break;
    }
    QCOMPARE(driver.boxes, QStringList{seen});
    QCOMPARE(answer, yes);
}

void FormsTest::portDialogListsEntriesAndReturnsTheSelection_data() {
    QTest::addColumn<int>("selected");
    QTest::addColumn<int>("choose");  // -2: keep; -3: cancel
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("result");
    QTest::newRow("current port kept") << 1 << -2 << true << "/dev/pts/7";
    QTest::newRow("another port chosen") << 1 << 0 << true << "/dev/ttyS0";
    QTest::newRow("no entry selected") << -1 << -2 << true << "";
    QTest::newRow("selection out of the list") << 5 << -2 << true << "";
    QTest::newRow("cancelled") << 1 << 0 << false << "";
}

void FormsTest::portDialogListsEntriesAndReturnsTheSelection() {
    QFETCH(int, selected);
    QFETCH(int, choose);
    QFETCH(bool, ok);
    QFETCH(QString, result);
    const std::vector<std::string> entries{"/dev/ttyS0", "/dev/pts/7", "/dev/ttyUSB0"};
    ModalDriver driver;
    QStringList listed;
    int shownSelection = -9;
    driver.steps.push_back([&](QWidget* modal) {
        auto* dialog = qobject_cast<kx::gui::TKX_RS232_SetNumDlg*>(modal);
        QVERIFY(dialog != nullptr);
        for (int i = 0; i < dialog->PCB->count(); ++i) listed << dialog->PCB->itemText(i);
        shownSelection = dialog->PCB->currentIndex();
        QVERIFY(!dialog->PCB->isEditable());
        if (choose >= 0) dialog->PCB->setCurrentIndex(choose);
        if (ok) dialog->OKBtn->click();
        else QTest::keyClick(dialog, Qt::Key_Escape);
    });
    const auto answer = ui_.ChoosePort(entries, selected);
    QCOMPARE(listed, QStringList({"/dev/ttyS0", "/dev/pts/7", "/dev/ttyUSB0"}));
    QCOMPARE(shownSelection, selected < 3 ? selected : -1);
    QCOMPARE(driver.dialogs, QStringList{"Выбор номера порта"});
    QCOMPARE(answer.has_value(), ok);
    if (ok) QCOMPARE(QString::fromStdString(*answer), result);
}

void FormsTest::baudDialogKeepsItsRange_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<double>("result");
    QTest::newRow("a rate") << "57600" << 57600.0;
    QTest::newRow("below the range") << "50" << 110.0;
    QTest::newRow("above the range is not typed") << "9216000" << 921600.0;
}

void FormsTest::baudDialogKeepsItsRange() {
    QFETCH(QString, typed);
    QFETCH(double, result);
    ModalDriver driver;
    int shownAtStart = 0;
    driver.steps.push_back([&](QWidget* modal) {
        auto* dialog = qobject_cast<kx::gui::TKX_RS232_SetBRDlg*>(modal);
        QVERIFY(dialog != nullptr);
        shownAtStart = dialog->BSE->value();
        QCOMPARE(dialog->BSE->singleStep(), 10);
        dialog->BSE->selectAll();
        dialog->BSE->clear();
        QTest::keyClicks(dialog->BSE, typed);
        dialog->OKBtn->setFocus();  // leaving the field brings the value into range
        dialog->OKBtn->click();
    });
    const auto answer = ui_.ChooseBaudRate(19200);
    QCOMPARE(shownAtStart, 19200);
    QVERIFY(answer.has_value());
    QCOMPARE(*answer, result);

    driver.steps.push_back([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    QVERIFY(!ui_.ChooseBaudRate(19200).has_value());
}

void FormsTest::passwordFieldTakesTenLettersOrDigitsShownAsDollars_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::newRow("password") << "QOX" << "QOX";
    QTest::newRow("letters and digits") << "ab12" << "ab12";
    QTest::newRow("other characters dropped") << "a-b c$d_!" << "abcd";
    QTest::newRow("at most ten") << "ABCDEFGHIJKL" << "ABCDEFGHIJ";
}

void FormsTest::passwordFieldTakesTenLettersOrDigitsShownAsDollars() {
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    kx::gui::TMaskEdit edit;
    QTest::keyClicks(&edit, typed);
    QCOMPARE(edit.EnteredText(), kept);
    QCOMPARE(edit.displayText(), QString(kept.size(), u'$'));
}

void FormsTest::passwordDialogReturnsTheEntryOnOkOnly() {
    ModalDriver driver;
    QString prompt;
    driver.steps.push_back([&](QWidget* modal) {
        auto* dialog = qobject_cast<kx::gui::TPasswDlg*>(modal);
        QVERIFY(dialog != nullptr);
        prompt = dialog->Label1->text();
        QTest::keyClicks(dialog->MaskEdit1, "QOX");
        QTest::keyClick(dialog->MaskEdit1, Qt::Key_Return);  // OK is the default button
    });
    const auto entry = ui_.EnterPassword("Введите пароль");
    QCOMPARE(prompt, QString("Введите пароль"));
    QVERIFY(entry.has_value());
    QCOMPARE(QString::fromStdString(*entry), QString("QOX"));
    QCOMPARE(driver.dialogs, QStringList{"Контроль доступа"});

    driver.steps.push_back([](QWidget* modal) {
        QTest::keyClicks(qobject_cast<kx::gui::TPasswDlg*>(modal)->MaskEdit1, "QOX");
        qobject_cast<kx::gui::TPasswDlg*>(modal)->CancelBtn->click();
    });
    QVERIFY(!ui_.EnterPassword("Введите пароль").has_value());
}

// A dialog's OK button, its Cancel button or its first field, by that name.
QWidget* DialogPart(QWidget* modal, const QString& part) {
    if (auto* port = qobject_cast<kx::gui::TKX_RS232_SetNumDlg*>(modal))
        return part == "ok" ? port->OKBtn : part == "cancel" ? port->CancelBtn : static_cast<QWidget*>(port->PCB);
    if (auto* rate = qobject_cast<kx::gui::TKX_RS232_SetBRDlg*>(modal))
        return part == "ok" ? rate->OKBtn : part == "cancel" ? rate->CancelBtn : static_cast<QWidget*>(rate->BSE);
    auto* password = qobject_cast<kx::gui::TPasswDlg*>(modal);
    return part == "ok" ? password->OKBtn : part == "cancel" ? password->CancelBtn : static_cast<QWidget*>(password->MaskEdit1);
}

void FormsTest::enterPressesTheFocusedButtonElseTheDefault_data() {
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QString>("focus");
    QTest::addColumn<bool>("accepted");
    for (const char* dialog : {"port", "rate", "password"}) {
        QTest::addRow("%s, OK", dialog) << dialog << "ok" << true;
        QTest::addRow("%s, Cancel", dialog) << dialog << "cancel" << false;
        QTest::addRow("%s, field", dialog) << dialog << "field" << true;
    }
}

void FormsTest::enterPressesTheFocusedButtonElseTheDefault() {
    QFETCH(QString, dialog);
    QFETCH(QString, focus);
    QFETCH(bool, accepted);
    ModalDriver driver;
    driver.steps.push_back([&](QWidget* modal) {
        QWidget* target = DialogPart(modal, focus);
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Return);
        // Not ended by Enter: Esc ends it, as not accepted.
        if (modal->isVisible()) QTest::keyClick(modal, Qt::Key_Escape);
    });
    bool ended = false;
    if (dialog == "port") ended = ui_.ChoosePort({"/dev/ttyS0"}, 0).has_value();
    if (dialog == "rate") ended = ui_.ChooseBaudRate(19200).has_value();
    if (dialog == "password") ended = ui_.EnterPassword("?").has_value();
    QCOMPARE(driver.dialogs.size(), 1);
    QCOMPARE(ended, accepted);
}

void FormsTest::openFilterBecomesToolkitFilters_data() {
    QTest::addColumn<QString>("classic");
    QTest::addColumn<QStringList>("filters");
    QTest::newRow("firmware") << "Файлы прошивок (*.rom)|*.rom" << QStringList{"Файлы прошивок (*.rom)"};
    QTest::newRow("patterns added") << "Images|*.rom;*.bin|All|*" << QStringList{"Images (*.rom *.bin)", "All (*)"};
    QTest::newRow("dangling description") << "Firmware|*.rom|Odd" << QStringList{"Firmware (*.rom)"};
}

void FormsTest::openFilterBecomesToolkitFilters() {
    QFETCH(QString, classic);
    QFETCH(QStringList, filters);
    QCOMPARE(kx::gui::NameFiltersOf(classic.toStdString()), filters);
}

void FormsTest::markupInTextIsShownAsItIs() {
    const QString text = QStringLiteral("Не могу найти файл /tmp/<b>x</b>.rom.");
    // The box's own label: plain text, and wide enough for the tags themselves.
    Qt::TextFormat boxFormat = Qt::AutoText;
    int boxTextWidth = 0;
    QString boxText;
    QTimer probe;
    connect(&probe, &QTimer::timeout, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        if (auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
            boxFormat = label->textFormat();
            boxText = label->text();
            boxTextWidth = label->sizeHint().width();
        }
        box->button(QMessageBox::Ok)->click();
    });
    probe.start(5);
    ui_.ShowError(text.toStdString());
    probe.stop();
    QCOMPARE(boxText, text);
    QCOMPARE(boxFormat, Qt::PlainText);
    QVERIFY(boxTextWidth >= QFontMetrics(QApplication::font()).horizontalAdvance(text) * 9 / 10);

    // Every label of every form, the progress window's caption included.
    kx::gui::TProgressForm progress;
    progress.SetLabel(text.toStdString());
    kx::gui::TKX_RS232_SetNumDlg portDialog;
    kx::gui::TKX_RS232_SetBRDlg baudDialog;
    kx::gui::TPasswDlg passwordDialog;
    for (QWidget* form : std::initializer_list<QWidget*>{&progress, &portDialog, &baudDialog, &passwordDialog}) {
        const auto labels = form->findChildren<QLabel*>();
        QVERIFY(!labels.isEmpty());
        for (const QLabel* label : labels) QCOMPARE(label->textFormat(), Qt::PlainText);
    }
}

// Device paths are long: the open list shows each in full, and the label above the
// buttons keeps its wrapped lines whole.
void FormsTest::portDialogFitsLongNamesAndItsLabel() {
    const std::vector<std::string> entries{"/dev/ttyS0", "/tmp/kxboot-e2e.Xq3f9a/ports/adapter-link-0",
                                           "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"};
    ModalDriver driver;
    int listWidth = 0, longest = 0;
    QRect label, ok;
    int labelNeeds = 0;
    driver.steps.push_back([&](QWidget* modal) {
        auto* dialog = qobject_cast<kx::gui::TKX_RS232_SetNumDlg*>(modal);
        QVERIFY(dialog != nullptr);
        label = dialog->Label1->geometry();
        labelNeeds = dialog->Label1->heightForWidth(label.width());
        ok = dialog->OKBtn->geometry();
        dialog->PCB->showPopup();
        listWidth = dialog->PCB->view()->viewport()->width();
        const QFontMetrics metrics(dialog->PCB->view()->font());
        for (const auto& entry : entries)
            longest = std::max(longest, metrics.horizontalAdvance(QString::fromStdString(entry)));
        dialog->PCB->hidePopup();
        dialog->OKBtn->click();
    });
    QVERIFY(ui_.ChoosePort(entries, 2).has_value());
    QVERIFY(longest > 0);
    QVERIFY2(listWidth >= longest, qPrintable(QStringLiteral("%1 < %2").arg(listWidth).arg(longest)));
    QVERIFY2(label.height() >= labelNeeds, qPrintable(QStringLiteral("%1 < %2").arg(label.height()).arg(labelNeeds)));
    QVERIFY(label.bottom() < ok.top());
}

QTEST_MAIN(FormsTest)
#include "FormsTest.moc"
