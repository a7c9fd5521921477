// Paints the splash picture and the window icon and writes them into the resources folder.
// Run by scripts/make-pictures; the pictures it writes are committed, so a normal build never
// needs this program.

#include <QBuffer>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>
#include <QSet>
#include <QTextStream>
#include <QTransform>

#include <algorithm>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

constexpr QSize SplashSize{295, 352};
// The splash picture should weigh about as much as the one the window was laid out for.
constexpr qint64 SplashTargetBytes = 26427;
constexpr qint64 SplashToleranceBytes = SplashTargetBytes * 5 / 100;
constexpr int IconSide = 32;

const QColor Ink{0x1b, 0x24, 0x3f};
const QColor TagOrange{0xf2, 0xa9, 0x3b};
const QColor TagOrangeDark{0xc4, 0x7a, 0x16};
const QColor Paper{0xfb, 0xf3, 0xe2};
const QColor Wood{0x8a, 0x52, 0x2c};
const QColor WoodDark{0x5c, 0x33, 0x18};

// A price tag pointing left, its hole centred in the point's half.
QPainterPath tagOutline(const QRectF &r)
{
    const qreal point = r.height() * 0.5;
    const qreal corner = r.height() * 0.12;
    QPainterPath path;
    path.moveTo(r.left(), r.center().y());
    path.lineTo(r.left() + point, r.top());
    path.lineTo(r.right() - corner, r.top());
    path.quadTo(r.right(), r.top(), r.right(), r.top() + corner);
    path.lineTo(r.right(), r.bottom() - corner);
    path.quadTo(r.right(), r.bottom(), r.right() - corner, r.bottom());
    path.lineTo(r.left() + point, r.bottom());
    path.closeSubpath();
    return path;
}

QPointF tagHole(const QRectF &r)
{
    return {r.left() + r.height() * 0.42, r.center().y()};
}

void paintTag(QPainter &p, const QRectF &r, qreal outlineWidth)
{
    QLinearGradient fill(r.topLeft(), r.bottomRight());
    fill.setColorAt(0, TagOrange.lighter(112));
    fill.setColorAt(1, TagOrange);
    p.setPen(QPen(TagOrangeDark, outlineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(fill);
    p.drawPath(tagOutline(r));

    const qreal holeRadius = r.height() * 0.11;
    p.setPen(Qt::NoPen);
    p.setBrush(Ink);
    p.drawEllipse(tagHole(r), holeRadius, holeRadius);
}

void paintGavel(QPainter &p)
{
    p.save();
    p.translate(196, 250);
    p.rotate(-32);

    QLinearGradient handle(0, -5, 0, 5);
    handle.setColorAt(0, Wood.lighter(130));
    handle.setColorAt(1, WoodDark);
    p.setPen(QPen(WoodDark, 1.2));
    p.setBrush(handle);
    p.drawRoundedRect(QRectF(-6, -5, 92, 10), 5, 5);

    QLinearGradient head(-28, 0, 28, 0);
    head.setColorAt(0, WoodDark);
    head.setColorAt(0.35, Wood.lighter(140));
    head.setColorAt(1, WoodDark);
    p.setBrush(head);
    p.drawRoundedRect(QRectF(-26, -19, 40, 38), 7, 7);
    p.setBrush(QColor(0xd9, 0xb0, 0x5b));
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(-26, -13, 40, 4));
    p.drawRect(QRectF(-26, 9, 40, 4));
    p.restore();

    // The sound block the gavel strikes.
    QLinearGradient block(0, 292, 0, 308);
    block.setColorAt(0, Wood.lighter(125));
    block.setColorAt(1, WoodDark);
    p.setPen(QPen(WoodDark, 1.2));
    p.setBrush(block);
    p.drawRoundedRect(QRectF(152, 292, 80, 15), 6, 6);
}

QImage paintSplash(int grainAmplitude)
{
    QImage image(SplashSize, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient sky(0, 0, 0, SplashSize.height());
    sky.setColorAt(0, QColor(0x16, 0x2a, 0x55));
    sky.setColorAt(0.6, QColor(0x1f, 0x5e, 0x7a));
    sky.setColorAt(1, QColor(0x2d, 0x7f, 0x86));
    p.fillRect(image.rect(), sky);

    QRadialGradient glow(QPointF(140, 200), 150);
    glow.setColorAt(0, QColor(255, 255, 255, 70));
    glow.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(image.rect(), glow);

    QFont title(u"DejaVu Sans"_s);
    title.setBold(true);
    title.setPixelSize(58);
    p.setFont(title);
    const QRect titleBox(0, 22, SplashSize.width(), 70);
    p.setPen(QColor(0, 0, 0, 110));
    p.drawText(titleBox.translated(3, 3), Qt::AlignCenter, u"Tavrin"_s);
    p.setPen(Paper);
    p.drawText(titleBox, Qt::AlignCenter, u"Tavrin"_s);

    QFont tagline(u"DejaVu Sans"_s);
    tagline.setPixelSize(13);
    tagline.setLetterSpacing(QFont::AbsoluteSpacing, 1.5);
    p.setFont(tagline);
    p.setPen(QColor(0xcf, 0xe3, 0xea));
    p.drawText(QRect(0, 92, SplashSize.width(), 20), Qt::AlignCenter,
               u"auction listing composer"_s);

    // The tag hangs on a string from somewhere off the picture, tilted as if just tied on.
    QTransform tagPlace;
    tagPlace.translate(128, 196);
    tagPlace.rotate(-18);
    const QRectF tag(-92, -44, 184, 88);
    const QPointF hole = tagPlace.map(tagHole(tag));
    QPainterPath string;
    string.moveTo(hole);
    string.cubicTo(hole + QPointF(-30, -20), QPointF(20, 150), QPointF(-4, 128));
    p.setPen(QPen(Paper, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(string);

    p.save();
    p.setTransform(tagPlace);
    paintTag(p, tag, 2.5);
    QFont sold(u"DejaVu Sans"_s);
    sold.setBold(true);
    sold.setPixelSize(34);
    p.setFont(sold);
    p.setPen(Ink);
    p.drawText(tag.adjusted(tag.height() * 0.62, 0, 0, 0), Qt::AlignCenter, u"SOLD"_s);
    p.restore();

    paintGavel(p);

    QFont maker(u"DejaVu Sans"_s);
    maker.setPixelSize(12);
    p.setFont(maker);
    p.setPen(QColor(0xcf, 0xe3, 0xea));
    p.drawText(QRect(0, 322, SplashSize.width(), 18), Qt::AlignCenter, u"Brisken"_s);
    p.end();

    // A fine, fixed grain, as on printed card, so the picture does not look flat.
    QRandomGenerator grain(0x7a5c1e);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int d = int(grain.bounded(2 * grainAmplitude + 1)) - grainAmplitude;
            const QRgb c = line[x];
            line[x] = qRgb(qBound(0, qRed(c) + d, 255), qBound(0, qGreen(c) + d, 255),
                           qBound(0, qBlue(c) + d, 255));
        }
    }
    return image;
}

QByteArray encodeJpeg(const QImage &image, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    writer.setProgressiveScanWrite(false);
    writer.setOptimizedWrite(false);
    if (!writer.write(image)) {
        return {};
    }
    return bytes;
}

// The quality whose file comes closest to the target size, if any comes near enough.
QByteArray splashJpeg(const QImage &image)
{
    QByteArray best;
    for (int quality = 100; quality >= 40; --quality) {
        const QByteArray bytes = encodeJpeg(image, quality);
        if (qAbs(bytes.size() - SplashTargetBytes) <= SplashToleranceBytes) {
            if (best.isEmpty() ||
                qAbs(bytes.size() - SplashTargetBytes) < qAbs(best.size() - SplashTargetBytes)) {
                best = bytes;
            }
        }
    }
    return best;
}

QImage paintIcon()
{
    QImage image(IconSide, IconSide, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(16, 16);
    p.rotate(-40);
    paintTag(p, QRectF(-14, -8, 28, 16), 1.6);
    p.end();
    return image;
}

// An 8-bit palette image holding exactly the icon's colours.
QImage toIndexed(const QImage &image)
{
    QList<QRgb> table;
    QHash<QRgb, uchar> index;
    QList<uchar> pixels;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            QRgb c = image.pixel(x, y);
            if (qAlpha(c) == 0) {
                c = 0;
            }
            auto it = index.constFind(c);
            if (it == index.constEnd()) {
                if (table.size() == 256) {
                    return {};
                }
                it = index.insert(c, uchar(table.size()));
                table.append(c);
            }
            pixels.append(*it);
        }
    }
    QImage indexed(image.size(), QImage::Format_Indexed8);
    indexed.setColorTable(table);
    for (int y = 0; y < image.height(); ++y) {
        std::copy_n(pixels.constData() + y * image.width(), image.width(), indexed.scanLine(y));
    }
    return indexed;
}

int fail(const QString &message)
{
    QTextStream(stderr) << "make-pictures: " << message << Qt::endl;
    return EXIT_FAILURE;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) {
        return fail(u"usage: tavrin-make-pictures RESOURCES_FOLDER"_s);
    }
    const QDir folder(args.at(1));

    QByteArray jpeg;
    for (int grain = 0; grain <= 12 && jpeg.isEmpty(); ++grain) {
        jpeg = splashJpeg(paintSplash(grain));
    }
    if (jpeg.isEmpty()) {
        return fail(u"no quality puts the splash picture near %1 bytes"_s.arg(SplashTargetBytes));
    }
    QFile splash(folder.filePath(u"splash.jpg"_s));
    if (!splash.open(QIODevice::WriteOnly) || splash.write(jpeg) != jpeg.size()) {
        return fail(splash.errorString());
    }

    const QImage icon = toIndexed(paintIcon());
    if (icon.isNull()) {
        return fail(u"the icon has more than 256 colours"_s);
    }
    if (!icon.save(folder.filePath(u"tavrin-icon.png"_s), "png")) {
        return fail(u"cannot write the icon"_s);
    }
    return EXIT_SUCCESS;
}
