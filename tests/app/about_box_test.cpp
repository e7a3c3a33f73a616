// The about box shows the program's title and the version read from the
// program file each time it opens, stays modeless, and Enter closes it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <functional>

#include "app/about_box.h"
#include "common/file_version.h"

namespace {

std::string u8(const QString& text) { return text.toStdString(); }

template <class Control>
Control* control(const QWidget& box, const char* name) {
    auto* found = box.findChild<Control*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

std::string labelText(const QWidget& box, const char* name) {
    const auto* label = control<QLabel>(box, name);
    return label ? u8(label->text()) : "(missing)";
}

bool waitFor(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return done();
}

void pressEnter(QWidget* target) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
}

// A copy of this test program runs the next test with "title|version" here.
constexpr char kExpectation[] = "ABOUT_BOX_EXPECT";

TEST(AboutBoxTest, ShowsTitleAndVersionOfTheProgramFile) {
    QStringList expected{applicationTitle(), QStringLiteral("1.1.0.57")};
    if (qEnvironmentVariableIsSet(kExpectation))
        expected = qEnvironmentVariable(kExpectation).split(u'|');
    ASSERT_EQ(expected.size(), 2);
    TAboutBox box;
    EXPECT_EQ(labelText(box, "Label2"), "");
    box.showOnTop();
    EXPECT_EQ(labelText(box, "Label1"), u8(expected[0]));
    EXPECT_EQ(labelText(box, "Label2"), u8(expected[1]));
    EXPECT_EQ(labelText(box, "Label4"), "Application 32 Bits");
    const auto* icon = control<QLabel>(box, "ProgramIcon");
    EXPECT_TRUE(icon && !icon->pixmap().isNull());  // the picture resource is linked in
    EXPECT_EQ(u8(box.windowTitle()), "A propos de ");
    EXPECT_EQ(box.size(), QSize(316, 313));
    EXPECT_EQ(box.minimumSize(), box.maximumSize());
}

// Runs a copy of this program, named TILLCOPY (title "Tillcopy"), with the
// version record kept or stripped.
void runCopy(bool stripped, const QString& expectedVersion) {
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("TILLCOPY"));
    const QString objcopy = QStandardPaths::findExecutable(QStringLiteral("objcopy"));
    ASSERT_FALSE(objcopy.isEmpty()) << "objcopy (binutils) is needed";
    QStringList arguments{QCoreApplication::applicationFilePath(), copy};
    if (stripped) arguments.prepend(QStringLiteral("--remove-section=.fileversion"));
    ASSERT_EQ(QProcess::execute(objcopy, arguments), 0);

    QProcess run;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kExpectation), QStringLiteral("Tillcopy|") + expectedVersion);
    run.setProcessEnvironment(environment);
    run.setWorkingDirectory(dir.path());
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(copy, {QStringLiteral("--gtest_filter=AboutBoxTest.ShowsTitleAndVersionOfTheProgramFile")});
    ASSERT_TRUE(run.waitForFinished(120000));
    const std::string output = run.readAll().toStdString();
    EXPECT_EQ(run.exitCode(), 0) << output;
    EXPECT_NE(output.find("[  PASSED  ] 1 test."), std::string::npos) << output;
}

TEST(AboutBoxTest, ProgramFileWithoutRecordShowsEmptyVersion) {
    runCopy(false, QStringLiteral("1.1.0.57"));
    runCopy(true, QString());
}

TEST(AboutBoxTest, ModelessAndShowingAgainOnlyBringsItToTheFront) {
    QWidget caller;
    caller.show();
    TAboutBox box(&caller);
    box.showOnTop();
    EXPECT_FALSE(box.isModal());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(caller.isVisible());

    const QPoint moved = box.pos() + QPoint(7, 5);
    box.move(moved);
    control<QLabel>(box, "Label2")->setText(QStringLiteral("stale"));
    box.showOnTop();
    EXPECT_TRUE(box.isVisible());
    EXPECT_EQ(box.pos(), moved);

    box.hide();
    box.showOnTop();  // each opening reads the version again
    EXPECT_EQ(labelText(box, "Label2"), "1.1.0.57");
}

TEST(AboutBoxTest, EnterPressesOkWhichHidesTheBox) {
    QWidget caller;
    caller.show();
    TAboutBox box(&caller);
    auto* ok = control<QPushButton>(box, "OKButton");
    ASSERT_NE(ok, nullptr);
    EXPECT_TRUE(ok->isDefault());

    box.showOnTop();
    ASSERT_TRUE(waitFor([&] { return ok->hasFocus(); }));
    pressEnter(ok);
    EXPECT_TRUE(waitFor([&] { return !box.isVisible(); }));

    // Enter anywhere in the box presses its default button.
    box.showOnTop();
    pressEnter(control<QLabel>(box, "Label1"));
    EXPECT_TRUE(waitFor([&] { return !box.isVisible(); }));
    EXPECT_TRUE(caller.isVisible());
}

}  // namespace
