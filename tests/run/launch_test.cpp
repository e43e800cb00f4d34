// Programs, documents and web pages: what a launch comes to, and a real
// start of a program whose arguments hold blanks, quotes and ";".
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QPointer>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include "fake_services.h"
#include "run/activealarm.h"
#include "run/desktop.h"

namespace ringmere::run {
namespace {

using namespace testing;

class LaunchTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        Make(QStringLiteral("tool.sh"), "#!/bin/sh\n", true);
        Make(QStringLiteral("notes.txt"), "notes", false);
        Make(QStringLiteral("marked.txt"), "just text", true);
        desktop_.onPath[QStringLiteral("gedit")] = QStringLiteral("/usr/bin/gedit");
    }
    QString Make(const QString& name, const char* content, bool executable) {
        QFile f(dir_.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(content);
        f.close();
        if (executable) f.setPermissions(f.permissions() | QFile::ExeOwner);
        return f.fileName();
    }
    QString P(const QString& name) const { return dir_.filePath(name); }

    QTemporaryDir dir_;
    FakeDesktop desktop_;
};

TEST_F(LaunchTest, WhatALaunchComesTo) {
    const struct {
        QString app;
        QString params;
        LaunchPlan::Kind kind;
        QString target;
        QStringList arguments;
    } cases[] = {
        {P("tool.sh"),
         "-v \"my file.txt\" a;b",
         LaunchPlan::Start,
         P("tool.sh"),
         {"-v", "my file.txt", "a;b"}},
        {"gedit", "'x y'", LaunchPlan::Start, "/usr/bin/gedit", {"x y"}},
        {P("notes.txt"),
         "ignored",
         LaunchPlan::Open,
         QUrl::fromLocalFile(P("notes.txt")).toString(QUrl::FullyEncoded),
         {}},
        {dir_.path(),
         "",
         LaunchPlan::Open,
         QUrl::fromLocalFile(dir_.path()).toString(QUrl::FullyEncoded),
         {}},
        {"https://example.org/a b", "", LaunchPlan::Open, "https://example.org/a%20b", {}},
        {"mailto:me@example.org", "", LaunchPlan::Open, "mailto:me@example.org", {}},
        {P("missing"), "", LaunchPlan::Nothing, "", {}},
        {"no-such-program", "", LaunchPlan::Nothing, "", {}},
        {"c:\\windows\\notepad.exe", "", LaunchPlan::Nothing, "", {}},
        {"", "x", LaunchPlan::Nothing, "", {}},
        {"   ", "x", LaunchPlan::Nothing, "", {}},
    };
    for (const auto& c : cases) {
        const LaunchPlan plan = PlanLaunch(desktop_, c.app, c.params);
        EXPECT_EQ(plan.kind, c.kind) << c.app.toStdString();
        if (c.kind == LaunchPlan::Start) {
            EXPECT_EQ(plan.program, c.target);
            EXPECT_EQ(plan.arguments, c.arguments);
        }
        if (c.kind == LaunchPlan::Open) {
            EXPECT_EQ(plan.url.toString(QUrl::FullyEncoded), c.target);
        }
    }
}

TEST_F(LaunchTest, WebPagesInANewWindowOnlyThroughTheBrowserThatOffersOne) {
    const QString url = QStringLiteral("https://example.org/");
    LaunchPlan plan = PlanWebPage(desktop_, url, true);
    EXPECT_EQ(plan.kind, LaunchPlan::Open);  // no x-www-browser here
    EXPECT_EQ(plan.url.toString(), url);

    desktop_.onPath[QStringLiteral("x-www-browser")] = QStringLiteral("/usr/bin/x-www-browser");
    plan = PlanWebPage(desktop_, url, true);
    EXPECT_EQ(plan.kind, LaunchPlan::Start);
    EXPECT_EQ(plan.program, QStringLiteral("/usr/bin/x-www-browser"));
    EXPECT_EQ(plan.arguments, (QStringList{"--new-window", url}));

    EXPECT_EQ(PlanWebPage(desktop_, url, false).kind, LaunchPlan::Open);
    // An address that looks like an option, blanks before it or not, is refused.
    for (const char* option : {"--remote-debugging-port=1", " --new-tab", "\t\n-x", "  -"}) {
        for (const bool newWindow : {true, false})
            EXPECT_EQ(PlanWebPage(desktop_, QString::fromLatin1(option), newWindow).kind,
                      LaunchPlan::Nothing)
                << option << ' ' << newWindow;
    }
    EXPECT_EQ(
        PlanWebPage(desktop_, QStringLiteral("  ") + url + QStringLiteral(" "), true).arguments,
        (QStringList{"--new-window", url}));
    EXPECT_EQ(PlanWebPage(desktop_, QStringLiteral("www.example.org"), false).url.toString(),
              QStringLiteral("http://www.example.org"));
    EXPECT_EQ(PlanWebPage(desktop_, QString(), true).kind, LaunchPlan::Nothing);
}

TEST_F(LaunchTest, MarkedDocumentThatCannotStartIsOpenedInstead) {
    desktop_.startWorks = false;
    EXPECT_TRUE(Execute(desktop_, PlanLaunch(desktop_, P("marked.txt"), QString())));
    EXPECT_EQ(desktop_.opened, QStringList{QUrl::fromLocalFile(P("marked.txt")).toString()});
    desktop_.opened.clear();
    // A script that fails to start is not handed to a document viewer.
    EXPECT_FALSE(Execute(desktop_, PlanLaunch(desktop_, P("tool.sh"), QString())));
    EXPECT_TRUE(desktop_.opened.isEmpty());
    EXPECT_FALSE(Execute(desktop_, LaunchPlan{}));
}

TEST_F(LaunchTest, RealProgramGetsEachParameterAsOneArgument) {
    const QString touch = QStandardPaths::findExecutable(QStringLiteral("touch"));
    if (touch.isEmpty()) GTEST_SKIP() << "no touch program";
    SystemDesktop system;
    const QString params =
        QStringLiteral("\"%1/one two.txt\" '%1/three;four.txt' %1/x\\ \\\"y\\\"").arg(dir_.path());
    ASSERT_TRUE(Execute(system, PlanLaunch(system, touch, params)));
    const QStringList expected = {QStringLiteral("one two.txt"), QStringLiteral("three;four.txt"),
                                  QStringLiteral("x \"y\"")};
    QDeadlineTimer deadline(10000);
    auto allThere = [&] {
        for (const QString& name : expected)
            if (!QFile::exists(P(name))) return false;
        return true;
    };
    while (!allThere() && !deadline.hasExpired()) QThread::msleep(20);
    EXPECT_TRUE(allThere());
    EXPECT_FALSE(QFile::exists(P("one")));
    EXPECT_FALSE(QFile::exists(P("four.txt")));
}

class LaunchRunTest : public ::testing::Test, public RunFixture {};

TEST_F(LaunchRunTest, SimpleAlarmLaunchesOnlyTheProgramsItHasAndNamesEach) {
    desktop.onPath[QStringLiteral("second")] = QStringLiteral("/usr/bin/second");
    AlRec a = Simple("L");
    a.Launch->app2 = "second";
    a.Launch->param2 = "--flag 'x y'";
    a.Launch->param1 = "orphan parameter";
    a.Launch->app3 = "gone";
    QPointer<TfrmActiveAlarm> w = Open(a);
    clock.Advance(1000);
    EXPECT_EQ(desktop.started, QStringList{"/usr/bin/second|--flag|x y"});
    const QStringList lines = Lines(
        {"Launched /usr/bin/second --flag 'x y'",
         "Could not launch gone: no program, file or address of that name was found.",
         "Alarm Completed."});
    EXPECT_EQ(w->EventLines(), lines);
}

// A step's line stays as it was and names the program; a failure follows it.
TEST_F(LaunchRunTest, StepsReportTheirLaunchesAndAnEmptyProgramIsSkipped) {
    desktop.onPath[QStringLiteral("prog")] = QStringLiteral("/usr/bin/prog");
    AlEvent web;
    web.evtype = kStepWeb;
    web.Web->url1 = "https://example.org/";
    AlEvent emptyWeb;
    emptyWeb.evtype = kStepWeb;
    QPointer<TfrmActiveAlarm> w =
        Open(Script("L", {Launch(""), Launch("prog", "a 'b c'"), web, emptyWeb, Launch("gone")}));
    clock.Advance(1000);
    const std::vector<std::string> lines = {
        "Launching prog",
        "Launching https://example.org/",
        "Launching gone",
        "Could not launch gone: no program, file or address of that name was found.",
        "Script Completed with 1 failed step."};
    QStringList shown;
    for (const std::string& l : lines) shown << QString::fromStdString(l);
    EXPECT_EQ(w->EventLines(), shown);
    std::vector<std::string> logged = {"L executing."};
    logged.insert(logged.end(), lines.begin(), lines.end());
    EXPECT_EQ(LogMessages(), logged);
    EXPECT_EQ(desktop.started, QStringList{"/usr/bin/prog|a|b c"});
    EXPECT_EQ(desktop.opened, QStringList{"https://example.org/"});
}

TEST_F(LaunchRunTest, ScriptCompletedSaysHowManyStepsFailed) {
    desktop.onPath[QStringLiteral("ok")] = QStringLiteral("/usr/bin/ok");
    AlEvent badCopy;  // a relative path is refused
    badCopy.evtype = kStepFileOp;
    badCopy.FileOp->fop = kFopCopy;
    badCopy.FileOp->ffrom = "a.txt";
    badCopy.FileOp->fto = "b.txt";
    const struct {
        const char* what;
        std::vector<AlEvent> steps;
        const char* last;
    } cases[] = {
        {"none", {Launch("ok"), Sleep(0)}, "Script Completed."},
        {"one", {Launch("ok"), Launch("gone")}, "Script Completed with 1 failed step."},
        {"two", {badCopy, Launch("ok"), Launch("gone")}, "Script Completed with 2 failed steps."},
        // A step that fails on each pass is still one step.
        {"repeated", {Launch("gone"), Repeat(1, 2)}, "Script Completed with 1 failed step."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QPointer<TfrmActiveAlarm> w = Open(Script(c.what, c.steps));
        clock.Advance(1000);
        ASSERT_TRUE(w);
        EXPECT_EQ(w->EventLines().constLast(), QString::fromLatin1(c.last));
        w->close();
        Flush();
    }
    EXPECT_EQ(ScriptCompleted(0), "Script Completed.");
    EXPECT_EQ(ScriptCompleted(3), "Script Completed with 3 failed steps.");
}

// Without a browser the desktop's handler starts and then gives up: the run
// window says so when it does, and the log has it.
TEST_F(LaunchRunTest, AWebPageNoProgramCouldOpenIsReported) {
    AlEvent web;
    web.evtype = kStepWeb;
    web.Web->url1 = "https://example.org/";
    desktop.openWorks = false;  // refused at once: the step failed
    QPointer<TfrmActiveAlarm> w = Open(Script("W", {web}));
    clock.Advance(1000);
    EXPECT_EQ(w->EventLines(), Lines({"Launching https://example.org/",
                                      "Could not open https://example.org/: no handler",
                                      "Script Completed with 1 failed step."}));

    desktop.openWorks = true;
    desktop.laterFailure = QStringLiteral("no web browser was found");
    AlRec simple = Simple("S");
    simple.Web->url1 = "https://example.org/";
    QPointer<TfrmActiveAlarm> later = Open(simple);
    clock.Advance(1000);
    desktop.GiveUp();
    EXPECT_EQ(later->EventLines(),
              Lines({"Launching https://example.org/", "Alarm Completed.",
                     "Could not open https://example.org/: no web browser was found"}));
    const auto logged = LogMessages();
    EXPECT_EQ(logged.back(), "Could not open https://example.org/: no web browser was found");
    // A window that has gone hears nothing.
    QPointer<TfrmActiveAlarm> gone = Open(simple);
    clock.Advance(1000);
    ASSERT_EQ(desktop.giveUps.size(), 1u);
    gone->close();
    Flush();
    EXPECT_FALSE(gone);
    desktop.GiveUp();
}

// The real desktop, with an xdg-open that finds no handler (a script on PATH):
// the reason and what to install come once it has ended.
TEST_F(LaunchTest, XdgOpenThatFindsNoHandlerIsTold) {
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", dir_.path().toLocal8Bit() + ":" + oldPath);
    const struct {
        int code;
        QUrl url;
        const char* says;
    } cases[] = {
        {3, QUrl("https://example.org/"),
         "no web browser was found (xdg-open exit status 3). Install one, such as the "
         "firefox-esr or chromium package."},
        {3, QUrl::fromLocalFile(P("help dir/index.html")), "no web browser was found"},
        {3, QUrl("mailto:me@example.org"), "no mail program was found"},
        {3, QUrl::fromLocalFile(P("notes.txt")), "no program that opens it was found"},
        {4, QUrl("https://example.org/"), "the program that opens it failed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url.toString().toStdString());
        Make(QStringLiteral("xdg-open"),
             QStringLiteral("#!/bin/sh\nprintf '%s' \"$1\" > \"%1/argument\"\nexit %2\n")
                 .arg(dir_.path())
                 .arg(c.code)
                 .toUtf8()
                 .constData(),
             true);
        SystemDesktop system;
        QEventLoop loop;
        QString why;
        int told = 0;
        ASSERT_TRUE(system.OpenUrl(c.url, [&](const QString& w) {
            why = w;
            ++told;
            loop.quit();
        }));
        // Only a bound for a broken build: the process's end quits the loop.
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        loop.exec();
        EXPECT_EQ(told, 1);
        EXPECT_TRUE(why.startsWith(QString::fromLatin1(c.says))) << why.toStdString();
        QFile argument(P("argument"));
        ASSERT_TRUE(argument.open(QIODevice::ReadOnly));
        const QString expected = c.url.isLocalFile() ? c.url.toLocalFile() : c.url.toString();
        EXPECT_EQ(QString::fromUtf8(argument.readAll()), expected);
    }
    qputenv("PATH", oldPath);
}

TEST_F(LaunchRunTest, ShellOpenFileShowsTheBoxOnlyOnFailure) {
    EXPECT_TRUE(ShellOpenFile(desktop, dialogs, QStringLiteral("/var/log/a b.txt"), nullptr));
    EXPECT_EQ(desktop.opened, QStringList{"file:///var/log/a b.txt"});
    desktop.openWorks = false;
    EXPECT_FALSE(ShellOpenFile(desktop, dialogs, QStringLiteral("/x.mp3"), nullptr));
    EXPECT_FALSE(ShellOpenFile(desktop, dialogs, QString(), nullptr));
    ASSERT_EQ(dialogs.shown.size(), 2);
    EXPECT_EQ(dialogs.shown[1].text, QStringLiteral("Error starting player program."));
}

}  // namespace
}  // namespace ringmere::run
