// Audio CDs through the Linux CD-ROM driver calls.
#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <algorithm>

#include "run/sound.h"

namespace ringmere::run {

namespace {

constexpr char kFirstLetter = 'D';

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }

private:
    int fd_;
};

}  // namespace

QString CdDevicePath(const QString& driveLetter) {
    if (driveLetter.isEmpty()) return {};
    const QChar c = driveLetter.at(0).toUpper();
    if (c < QLatin1Char(kFirstLetter) || c > QLatin1Char('Z')) return {};
    return QStringLiteral("/dev/sr%1").arg(c.unicode() - kFirstLetter);
}

QStringList CdDriveLetters(const QString& deviceDir) {
    static const QRegularExpression name(QStringLiteral("^sr(\\d{1,2})$"));
    std::vector<int> numbers;
    for (const QString& entry : QDir(deviceDir).entryList(QDir::System | QDir::Files)) {
        const auto m = name.match(entry);
        if (!m.hasMatch()) continue;
        const int n = m.captured(1).toInt();
        if (n <= 'Z' - kFirstLetter) numbers.push_back(n);
    }
    std::sort(numbers.begin(), numbers.end());
    QStringList letters;
    for (int n : numbers) letters << QString(QChar(kFirstLetter + n));
    return letters;
}

std::optional<int> ReadAudioTrackCount(const QString& device) {
    if (device.isEmpty()) return std::nullopt;
    // Non-blocking, so that an open tray or an empty drive answers at once.
    const Fd fd(::open(QFile::encodeName(device).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) return std::nullopt;
    if (::ioctl(fd.get(), CDROM_GET_CAPABILITY, 0) < 0) return std::nullopt;  // no CD drive
    if (::ioctl(fd.get(), CDROM_DRIVE_STATUS, CDSL_CURRENT) != CDS_DISC_OK) return std::nullopt;
    // A data or mixed disc is no audio CD, as its volume name is no "Audio CD".
    if (::ioctl(fd.get(), CDROM_DISC_STATUS, 0) != CDS_AUDIO) return std::nullopt;
    cdrom_tochdr header{};
    if (::ioctl(fd.get(), CDROMREADTOCHDR, &header) < 0) return std::nullopt;
    const int count = int(header.cdth_trk1) - int(header.cdth_trk0) + 1;
    if (header.cdth_trk0 < 1 || count < 1) return std::nullopt;
    return count;
}

}  // namespace ringmere::run
