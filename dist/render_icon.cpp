// Build tool: draws the program's SVG icon at the hicolor theme's PNG sizes.
//   render_icon ICON.svg OUT_DIR NAME SIZE...  writes OUT_DIR/SIZExSIZE/apps/NAME.png
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: render_icon ICON.svg OUT_DIR NAME SIZE...\n");
        return 2;
    }
    // No display at build time.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString svg = QString::fromLocal8Bit(argv[1]);
    const QString out = QString::fromLocal8Bit(argv[2]);
    const QString name = QString::fromLocal8Bit(argv[3]);
    for (int i = 4; i < argc; ++i) {
        const int size = QByteArray(argv[i]).toInt();
        if (size <= 0) {
            std::fprintf(stderr, "render_icon: not a size: %s\n", argv[i]);
            return 2;
        }
        QImageReader reader(svg, "svg");
        reader.setScaledSize(QSize(size, size));
        const QImage image = reader.read();
        if (image.isNull()) {
            std::fprintf(stderr,
                         "render_icon: cannot draw %s: %s (the SVG image plugin comes with "
                         "libqt6svg6)\n",
                         argv[1], qPrintable(reader.errorString()));
            return 1;
        }
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(out).arg(size);
        const QString file = dir + QLatin1Char('/') + name + QStringLiteral(".png");
        if (!QDir().mkpath(dir) || !image.save(file, "PNG")) {
            std::fprintf(stderr, "render_icon: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
