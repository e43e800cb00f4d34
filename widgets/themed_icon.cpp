#include "widgets/themed_icon.h"

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QIconEngine>
#include <QImageReader>
#include <QPainter>
#include <QPixmap>
#include <utility>

namespace ringmere::widgets {

namespace {

// Rendered pixmaps kept per engine; a palette change only adds entries, so the
// cache is emptied now and then rather than growing with every theme switch.
constexpr int kCacheLimit = 48;
// Disabled icons fade as a whole, so that their coloured parts fade too.
constexpr qreal kDisabledOpacity = 0.5;

class ThemedIconEngine final : public QIconEngine {
public:
    ThemedIconEngine(QByteArray svg, QPalette::ColorRole role, QColor fixed)
        : svg_(std::move(svg)), role_(role), fixed_(fixed) {}

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override {
        if (svg_.isEmpty() || size.isEmpty()) return {};
        const QColor colour = ColourFor(mode);
        const QString key = QStringLiteral("%1x%2/%3/%4")
                                .arg(size.width())
                                .arg(size.height())
                                .arg(int(mode))
                                .arg(colour.rgba(), 0, 16);
        if (const auto it = cache_.constFind(key); it != cache_.constEnd()) return *it;
        QPixmap drawn = Render(size, colour, mode);
        if (cache_.size() >= kCacheLimit) cache_.clear();
        cache_.insert(key, drawn);
        return drawn;
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap drawn = pixmap(rect.size() * ratio, mode, state);
        drawn.setDevicePixelRatio(ratio);
        painter->drawPixmap(rect, drawn);
    }

    QIconEngine* clone() const override { return new ThemedIconEngine(svg_, role_, fixed_); }
    QString key() const override { return QStringLiteral("ringmere-themed"); }
    bool isNull() override { return svg_.isEmpty(); }

private:
    QColor ColourFor(QIcon::Mode mode) const {
        if (fixed_.isValid()) return fixed_;
        const QPalette palette = QGuiApplication::palette();
        if (mode == QIcon::Selected)
            return palette.color(QPalette::Active, QPalette::HighlightedText);
        return palette.color(QPalette::Active, role_);
    }

    QPixmap Render(const QSize& size, const QColor& colour, QIcon::Mode mode) const {
        QByteArray text = Recoloured(svg_, colour);
        QBuffer buffer(&text);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, "svg");
        reader.setScaledSize(size);
        const QImage image = reader.read();
        if (image.isNull()) return {};
        if (mode != QIcon::Disabled && mode != QIcon::Selected) return QPixmap::fromImage(image);
        QImage out(image.size(), QImage::Format_ARGB32_Premultiplied);
        out.fill(Qt::transparent);
        QPainter p(&out);
        if (mode == QIcon::Disabled) p.setOpacity(kDisabledOpacity);
        p.drawImage(0, 0, image);
        // On the highlight the coloured parts could match it: one colour throughout.
        if (mode == QIcon::Selected) {
            p.setCompositionMode(QPainter::CompositionMode_SourceIn);
            p.fillRect(out.rect(), colour);
        }
        p.end();
        return QPixmap::fromImage(out);
    }

    QByteArray svg_;
    QPalette::ColorRole role_;
    QColor fixed_;
    QHash<QString, QPixmap> cache_;
};

QByteArray ReadSvg(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

}  // namespace

QByteArray Recoloured(const QByteArray& svg, const QColor& colour) {
    QByteArray out = svg;
    // #rrggbb only: the files give their own opacities.
    out.replace("currentColor", colour.name(QColor::HexRgb).toLatin1());
    return out;
}

QIcon ThemedIcon(const QString& path, QPalette::ColorRole role) {
    return QIcon(new ThemedIconEngine(ReadSvg(path), role, QColor()));
}

QIcon ThemedIcon(const QString& path, const QColor& colour) {
    return QIcon(new ThemedIconEngine(ReadSvg(path), QPalette::WindowText, colour));
}

}  // namespace ringmere::widgets
