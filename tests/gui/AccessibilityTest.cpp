// The window heard through a screen reader and driven by keys; the top band without hiding
// the window; the Help box; the notification at the end of a long run, on a private D-Bus.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QThread>
#include <QWindow>

#include "app/RunNotice.h"
#include "platform/DesktopNotification.h"
#include "shell/CommandLineOptions.h"
#include "tests/gui/WindowFixture.h"

namespace quillet::test {
namespace {

QString SpokenName(QWidget* widget) {
  return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
}

// Every control a screen reader reaches has a name of its own without '&' (a box or list
// that of its label), and every captioned button or check box an Alt key of its own.
TEST_F(WindowTest, EveryControlHasItsOwnSpokenNameAndKey) {
  app.form.cmbSubs.Visible = app.form.chkSubs.Visible = app.form.chkChapters.Visible = true;
  ui.Repaint();
  QSet<QString> names, keys;
  for (QWidget* w : window.findChildren<QWidget*>()) {
    auto* button = qobject_cast<QAbstractButton*>(w);
    if (!w->isVisible() || !(button || qobject_cast<QComboBox*>(w) || qobject_cast<QLineEdit*>(w)))
      continue;
    const QString name = SpokenName(w);
    SCOPED_TRACE(w->objectName().toStdString() + ": " + name.toStdString());
    EXPECT_TRUE(!name.isEmpty() && !name.contains('&') && !names.contains(name));
    names << name;
    // The queue's list moves and removes with its own keys (Alt+Up, Alt+Down, Delete).
    if (!button || button->text().isEmpty() ||
        w->parentWidget()->objectName() == "queuePanel" && !button->text().contains('&'))
      continue;
    const QString key = QKeySequence::mnemonic(button->text()).toString();
    EXPECT_TRUE(!key.isEmpty() && !keys.contains(key));
    keys << key;
  }
  const std::pair<const char*, QString> labelled[] = {
      {"txtFile", "Sourcefile"},    {"txtTMP", "Output folder"}, {"cmbPlatform", "Target:"},
      {"cmdConv", "Re-encode to:"}, {"cmbPrio", "Priority:"},    {"Check1", "Split > 4GB ?"},
      {"chkDVD", "Fit to"},         {"cmbSize", "Fit to disc"},  {"Frame1", "Streams"},
      {"Frame2", "Audio"},          {"cmbAudio", "Audio"},       {"cmbSubs", "Subtitles"}};
  for (const auto& [widget, name] : labelled) EXPECT_EQ(SpokenName(Find(widget)), name) << widget;
}

// Alt+F is "File", Alt+C and Enter in the output box "Convert", Alt+H the Help box; a
// screen reader's toggle of a check box runs its rule as a click does, and a click undoes it.
TEST_F(WindowTest, KeysAndScreenReaderActionsDoWhatClicksDo) {
  app.form.txtFile.Text = Film("film.mkv");  // Convert waits for a film
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  // A key clicks its button as the mouse does, after the button has shown itself pressed.
  const auto alt = [this](Qt::Key key, const std::function<bool()>& done) {
    QTest::keyClick(&window, key, Qt::AltModifier);
    return QTest::qWaitFor(done, 2000);
  };
  EXPECT_TRUE(alt(Qt::Key_F, [&] { return ui.fileTitles.size() == 1; }));
  EXPECT_TRUE(alt(Qt::Key_C, [&] { return app.conversionsStarted == 1; }));
  QTest::keyClick(Find("txtTMP"), Qt::Key_Return);
  EXPECT_EQ(app.conversionsStarted, 2);
  QDialog* about = nullptr;
  ASSERT_TRUE(alt(Qt::Key_H, [&] { return (about = window.findChild<QDialog*>("aboutBox")); }));
  EXPECT_EQ(Find<QLabel>("aboutVersion", about)->text().toStdString(), VersionText());
  EXPECT_EQ(Find<QPlainTextEdit>("aboutHelp", about)->toPlainText().toStdString(), HelpText());
  EXPECT_TRUE(Find<QLabel>("aboutUsage", about)->text().contains("README.md#command-line"));

  auto* avchd = Find<QCheckBox>("chkAVCHD");
  QAccessible::queryAccessibleInterface(avchd)->actionInterface()->doAction(
      QAccessibleActionInterface::toggleAction());
  EXPECT_TRUE(avchd->isChecked() && app.form.chkAVCHD.Value == 1);
  EXPECT_TRUE(app.form.cmdConv.ListIndex == 1 && !Find("chk25")->isEnabled());
  avchd->click();
  EXPECT_TRUE(!avchd->isChecked() && app.form.chkAVCHD.Value == 0 && Find("chk25")->isEnabled());
}

// "File" puts the shown window on top, "Set Output" takes it off, "Convert" takes it off
// and the opening of the film puts it back: each time the same native window stays
// shown (no unmapping, no flicker, no new place), and the widget's flags follow it.
TEST_F(WindowTest, TheTopBandKeepsTheNativeWindowShown) {
  app.form.txtFile.Text = Film("film.mkv");  // Convert waits for a film
  ui.Repaint();
  const WId id = window.winId();
  int visibilityChanges = 0;
  QObject counting;  // the count ends with the test, before the window closes
  QObject::connect(window.windowHandle(), &QWindow::visibleChanged, &counting,
                   [&] { ++visibilityChanges; });
  for (const auto& [button, onTop] :
       {std::pair{"Command1", true}, {"cmdTargetFolder", false}, {"Command2", true}}) {
    Click(button);
    EXPECT_TRUE(window.winId() == id && visibilityChanges == 0) << button;
    EXPECT_EQ(window.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint), onTop) << button;
    EXPECT_EQ(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint), onTop) << button;
  }
}

// A run that converted and took over a minute ends with one notification of the last
// progress text; a shorter one, or a long wait that converted nothing, with none.
TEST(RunNoticeTest, OnlyALongConversionEndsWithANotification) {
  const struct {
    int seconds;
    bool converts;
    std::vector<std::string> notices;
  } cases[] = {{61, true, {"Conversion done | "}}, {60, true, {}}, {3600, false, {}}};
  for (const auto& c : cases) {
    TestApp t;
    std::chrono::steady_clock::time_point now;
    const RunNotice notice(t.app, [&now] { return now; });
    now += std::chrono::seconds(c.seconds);
    t.app.conversionsStarted += c.converts;
    t.form().txtProgress.Text = "Conversion done";
    notice.End();
    EXPECT_EQ(t.ui.notices, c.notices) << c.seconds;
  }
}

// The desktop's notification service, answering on its own thread.
class FakeNotificationService : public QDBusVirtualObject {
 public:
  std::vector<QVariantList> calls;
  bool handleMessage(const QDBusMessage& message, const QDBusConnection& bus) override {
    if (message.member() != "Notify") return false;
    calls.push_back(message.arguments());
    return bus.send(message.createReply(QVariant(1u)));
  }
  QString introspect(const QString&) const override { return {}; }
};

// On a private session bus: no service, then a bus without one, are passed over quietly;
// the service gets the program's name and the texts.
TEST(DesktopNotificationTest, TheServiceOnTheSessionBusGetsTheTexts) {
  WithGuiApp gui;
  QProcess daemon;
  daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
  if (!daemon.waitForStarted()) GTEST_SKIP() << "no dbus-daemon";
  ASSERT_TRUE(daemon.waitForReadyRead(10000));
  const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
  FakeNotificationService service;
  QThread serviceThread;
  {
    QDBusConnection client = QDBusConnection::connectToBus(address, "client");
    QDBusConnection server = QDBusConnection::connectToBus(address, "server");
    EXPECT_TRUE(client.isConnected() && server.isConnected());
    NotifyDesktop(QDBusConnection("no bus"), "Conversion done", "");
    NotifyDesktop(client, "Conversion done", "");
    service.moveToThread(&serviceThread);
    serviceThread.start();
    EXPECT_TRUE(server.registerVirtualObject("/org/freedesktop/Notifications", &service));
    EXPECT_TRUE(server.registerService("org.freedesktop.Notifications"));
    NotifyDesktop(client, "Folder conversion: 1 of 2 files failed", "film.mkv");
  }
  QDBusConnection::disconnectFromBus("client");
  QDBusConnection::disconnectFromBus("server");
  serviceThread.quit();
  serviceThread.wait();
  daemon.kill();
  daemon.waitForFinished();
  ASSERT_EQ(service.calls.size(), 1u);
  const QVariantList& args = service.calls[0];
  EXPECT_EQ(QStringList({args.value(0).toString(), args.value(3).toString(),
                         args.value(4).toString(), QString::number(args.size())}),
            QStringList({"Quillet", "Folder conversion: 1 of 2 files failed", "film.mkv", "8"}));
}

}  // namespace
}  // namespace quillet::test
