// CD drive letters on Linux, and the CD-ROM calls on devices that are no
// CD drive.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "run/sound.h"
#include "run_fakes.h"

namespace ringmere::run {
namespace {

TEST(CdDriveLetterTest, LettersFromDUpwardInDeviceOrder) {
    const struct {
        const char* letter;
        const char* device;
    } cases[] = {
        {"D", "/dev/sr0"}, {"d", "/dev/sr0"},  {"E:\\", "/dev/sr1"},
        {"F", "/dev/sr2"}, {"Z", "/dev/sr22"}, {"C", ""},
        {"A", ""},         {"", ""},           {"1", ""},
        {"\xc3\x84", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CdDevicePath(QString::fromUtf8(c.letter)), QString::fromLatin1(c.device))
            << c.letter;
}

TEST(CdDriveLetterTest, DrivesPresentAreListedByNumber) {
    QTemporaryDir dev;
    for (const char* name : {"sr10", "sr0", "sr2", "sda", "sr", "srx", "sr99"})
        QFile(dev.filePath(QString::fromLatin1(name))).open(QIODevice::WriteOnly);
    EXPECT_EQ(CdDriveLetters(dev.path()), (QStringList{"D", "F", "N"}));
}

TEST(CdRomCallsTest, DevicesThatAreNoCdDriveHaveNoAudioDisc) {
    QTemporaryDir dir;
    const QString plain = dir.filePath(QStringLiteral("disc.iso"));
    QFile(plain).open(QIODevice::WriteOnly);
    for (const QString& device : {QStringLiteral("/dev/null"), plain, dir.path(),
                                  QStringLiteral("/dev/sr-none"), QString()})
        EXPECT_FALSE(ReadAudioTrackCount(device).has_value()) << device.toStdString();
}

}  // namespace
}  // namespace ringmere::run
