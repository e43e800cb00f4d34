// Setting the clock through timedated, played by python3-dbusmock on a bus of
// the test's own: what the call carries, a refusal, and no timedated at all.
#include "platform/timedated.h"

#include "logind_mock.h"

namespace ringmere {
namespace {

const QString kTimedated = QStringLiteral("org.freedesktop.timedate1");
const QString kTimedatedPath = QStringLiteral("/org/freedesktop/timedate1");

class TimedatedTest : public fixtures::LogindMock {
protected:
    TimedatedResult SetTime(qint64 micros) {
        return SetTimeByTimedated(*bus_, micros, [] {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            return true;
        });
    }
    QDBusMessage Mock(const QString& method, const QVariantList& args = {}) {
        QDBusMessage call = QDBusMessage::createMethodCall(kTimedated, kTimedatedPath,
                                                           "org.freedesktop.DBus.Mock", method);
        call.setArguments(args);
        return bus_->call(call);
    }
};

TEST_F(TimedatedTest, SetTimeCarriesUtcMicrosecondsAbsoluteAndInteractive) {
    StartMock(kTimedated, {"--template", "timedated"});
    const qint64 micros = 1796738706LL * 1000000;
    const TimedatedResult r = SetTime(micros);
    ASSERT_EQ(r.status, TimedatedResult::Done) << r.error.toStdString();

    const QDBusMessage calls = Mock(QStringLiteral("GetCalls"));
    ASSERT_EQ(calls.type(), QDBusMessage::ReplyMessage) << calls.errorMessage().toStdString();
    const auto list = calls.arguments().constFirst().value<QDBusArgument>();
    QVariantList setTimeArgs;
    list.beginArray();
    while (!list.atEnd()) {
        quint64 when = 0;
        QString method;
        QVariantList args;
        list.beginStructure();
        list >> when >> method >> args;
        list.endStructure();
        if (method == QLatin1String("SetTime")) setTimeArgs = args;
    }
    list.endArray();
    ASSERT_EQ(setTimeArgs.size(), 3);
    EXPECT_EQ(setTimeArgs[0].toLongLong(), micros);
    EXPECT_FALSE(setTimeArgs[1].toBool());  // not relative
    EXPECT_TRUE(setTimeArgs[2].toBool());   // interactive
}

TEST_F(TimedatedTest, ARefusalWhileTheSystemSynchronisesItselfIsSaidPlainly) {
    StartMock(kTimedated, {"--template", "timedated"});
    const QDBusMessage added = Mock(
        QStringLiteral("AddMethod"),
        {kTimedated, QStringLiteral("SetTime"), QStringLiteral("xbb"), QString(),
         QStringLiteral("raise dbus.exceptions.DBusException('Automatic time synchronization is "
                        "enabled', name='org.freedesktop.timedate1.AutomaticTimeSyncEnabled')")});
    ASSERT_EQ(added.type(), QDBusMessage::ReplyMessage) << added.errorMessage().toStdString();
    const TimedatedResult r = SetTime(1796738706LL * 1000000);
    EXPECT_EQ(r.status, TimedatedResult::Refused);
    EXPECT_TRUE(r.error.contains(QLatin1String("automatic time synchronization is on")))
        << r.error.toStdString();
}

TEST_F(TimedatedTest, WithoutTimedatedTheCallerMayTryAnotherWay) {
    const TimedatedResult r = SetTime(1796738706LL * 1000000);
    EXPECT_EQ(r.status, TimedatedResult::Unreachable) << r.error.toStdString();
    EXPECT_FALSE(r.error.isEmpty());
}

}  // namespace
}  // namespace ringmere
