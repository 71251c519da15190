// Draws Quillmark's banners and icons into the res/ folder given as argument.
// Build and run from the project root:
//   cmake -S res/art -B /tmp/art && cmake --build /tmp/art && /tmp/art/draw_art res
// The Windows build runs it as `draw_art --setup-bitmap FILE` for the picture
// beside the setup's first and last pages, which nobody commits.
//
// The icon is one set of paths in a 256-unit square. The PNGs and the ICO are
// painted from those paths and the SVG is written from the very same ones, so
// every size shows the same drawing. The banners and the window icon are also
// drawn afresh for high-DPI screens, into res/scaled/NAME@SCALEx.png.

#include <QByteArray>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <QStringList>
#include <QTransform>

#include <cstdio>
#include <utility>
#include <vector>

namespace {

constexpr double IconUnits = 256.0;

const QColor Ink("#16294a");        // deep navy: tile, band, title
const QColor InkLight("#2d5a98");   // the lighter end of the navy gradients
const QColor Gold("#f2b335");       // the check mark and the nib
const QColor GoldDark("#d9901a");
const QColor Vane("#ffffff");
const QColor VaneShade("#d7e3f4");
const QColor Slate("#55657d");      // tagline on white

// A two-stop linear gradient in the layer's own units; a == b means solid.
struct Paint {
    QColor a;
    QColor b;
    QPointF from;
    QPointF to;
};

Paint solid(const QColor& colour) { return {colour, colour, {}, {}}; }

// One filled or stroked path of the icon.
struct Layer {
    QPainterPath path;
    Paint paint;
    double strokeWidth = 0.0;   // 0 fills the path, anything else strokes it round
};

QBrush brushFor(const Paint& paint)
{
    if (paint.a == paint.b)
        return QBrush(paint.a);
    QLinearGradient gradient(paint.from, paint.to);
    gradient.setColorAt(0.0, paint.a);
    gradient.setColorAt(1.0, paint.b);
    return QBrush(gradient);
}

// The quill lies along a local axis: u runs from the nib (0) to the tip of the
// feather, v across it. placed() turns it to its spot in the icon square.
struct QuillPose {
    QPointF nib;
    double degreesUp;   // angle of the shaft above the horizontal
    double length;
};

QTransform placing(const QuillPose& pose)
{
    QTransform transform;
    transform.translate(pose.nib.x(), pose.nib.y());
    transform.rotate(-pose.degreesUp);
    return transform;
}

QPainterPath placed(const QPainterPath& local, const QuillPose& pose) { return placing(pose).map(local); }

QPointF placed(QPointF local, const QuillPose& pose) { return placing(pose).map(local); }

struct Cubic {
    QPointF p0, p1, p2, p3;

    QPointF at(double t) const
    {
        const double r = 1 - t;
        return r * r * r * p0 + 3 * r * r * t * p1 + 3 * r * t * t * p2 + t * t * t * p3;
    }
};

// The two edges of the feather, from its base to its tip; the upper one is wider.
Cubic upperEdge(double length)
{
    const double base = 0.24 * length;
    const double width = 0.20 * length;
    return {{base, 0}, {base + 0.06 * length, -1.15 * width}, {0.70 * length, -1.45 * width}, {length, 0}};
}

Cubic lowerEdge(double length)
{
    const double base = 0.24 * length;
    const double width = 0.13 * length;
    return {{base, 0}, {base + 0.10 * length, 1.25 * width}, {0.75 * length, 1.35 * width}, {length, 0}};
}

QPainterPath vanePath(double length)
{
    const Cubic upper = upperEdge(length);
    const Cubic lower = lowerEdge(length);
    QPainterPath path;
    path.moveTo(upper.p0);
    path.cubicTo(upper.p1, upper.p2, upper.p3);
    path.cubicTo(lower.p2, lower.p1, lower.p0);
    path.closeSubpath();
    path.setFillRule(Qt::WindingFill);
    return path;
}

// Wedges cut into the vane, slanting back toward the nib as a feather's
// barbs part.
QPainterPath notchesPath(double length)
{
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    const auto notch = [&](const Cubic& edge, double t, double depth) {
        const QPointF rim = edge.at(t);
        const QPointF inner(rim.x() - 0.10 * length, rim.y() * (1 - depth));
        const QPointF outward = 0.3 * (rim - inner);
        path.moveTo(inner);
        path.lineTo(rim + outward);
        path.lineTo(edge.at(t + 0.07) + outward);
        path.closeSubpath();
    };
    notch(upperEdge(length), 0.40, 0.45);
    notch(upperEdge(length), 0.64, 0.40);
    notch(lowerEdge(length), 0.52, 0.50);
    return path;
}

// The rachis: a thin wedge down the middle of the vane.
QPainterPath spinePath(double length)
{
    const double half = 0.018 * length;
    QPainterPath path;
    path.moveTo(0.25 * length, -half);
    path.lineTo(0.90 * length, 0);
    path.lineTo(0.25 * length, half);
    path.closeSubpath();
    return path;
}

QPainterPath shaftPath(double length)
{
    QPainterPath path;
    path.moveTo(0.10 * length, 0);
    path.lineTo(0.26 * length, 0);
    return path;
}

QPainterPath nibPath(double length)
{
    const double back = 0.16 * length;
    const double half = 0.045 * length;
    QPainterPath path;
    path.moveTo(0, 0);
    path.cubicTo(0.05 * length, -0.2 * half, 0.09 * length, -half, back, -half);
    path.lineTo(back, half);
    path.cubicTo(0.09 * length, half, 0.05 * length, 0.2 * half, 0, 0);
    path.closeSubpath();
    return path;
}

QPainterPath checkPath()
{
    QPainterPath path;
    path.moveTo(126, 178);
    path.lineTo(152, 204);
    path.lineTo(210, 146);
    return path;
}

QPainterPath tilePath()
{
    QPainterPath path;
    path.addRoundedRect(QRectF(8, 8, 240, 240), 52, 52);
    return path;
}

// The quill and the check mark, without a background. The backdrop paint
// draws the gaps that part the quill from the check behind it.
std::vector<Layer> markLayers(const Paint& backdrop)
{
    const QuillPose pose{{52, 204}, 45.0, 214.0};
    const double len = pose.length;
    std::vector<Layer> layers;
    layers.push_back({checkPath(), Paint{Gold, GoldDark, {126, 146}, {210, 204}}, 32.0});
    layers.push_back({placed(vanePath(len), pose), backdrop, 0.05 * len});
    layers.push_back({placed(shaftPath(len), pose), solid(Vane), 0.07 * len});
    layers.push_back({placed(vanePath(len), pose),
                      Paint{VaneShade, Vane, placed(QPointF{0.3 * len, 0.15 * len}, pose),
                            placed(QPointF{0.6 * len, -0.2 * len}, pose)},
                      0.0});
    layers.push_back({placed(notchesPath(len), pose), backdrop, 0.0});
    layers.push_back({placed(spinePath(len), pose), solid(InkLight), 0.0});
    layers.push_back({placed(nibPath(len), pose), Paint{GoldDark, Gold, pose.nib, pose.nib + QPointF(20, -20)}, 0.0});
    return layers;
}

std::vector<Layer> iconLayers()
{
    const Paint tile{InkLight, Ink, {8, 8}, {248, 248}};
    std::vector<Layer> layers{{tilePath(), tile, 0.0}};
    for (Layer& layer : markLayers(tile))
        layers.push_back(std::move(layer));
    return layers;
}

void paintLayers(QPainter& painter, const std::vector<Layer>& layers)
{
    for (const Layer& layer : layers) {
        if (layer.strokeWidth > 0) {
            QPen pen(brushFor(layer.paint), layer.strokeWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
            painter.strokePath(layer.path, pen);
        } else {
            painter.fillPath(layer.path, brushFor(layer.paint));
        }
    }
}

QImage iconImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / IconUnits, size / IconUnits);
    paintLayers(painter, iconLayers());
    painter.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

QString number(double value) { return QString::number(value, 'f', 2).remove(QRegularExpression("\\.?0+$")); }

// Closes every subpath that ends where it began, or every one when filling,
// so strokes join there as Qt joins them.
QString svgPathData(const QPainterPath& path, bool filled)
{
    QStringList parts;
    QPointF start;
    QPointF last;
    const auto endSubpath = [&] {
        if (!parts.isEmpty() && (filled || last == start))
            parts << "Z";
    };
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element element = path.elementAt(i);
        const QString point = number(element.x) + ' ' + number(element.y);
        switch (element.type) {
        case QPainterPath::MoveToElement:
            endSubpath();
            start = element;
            parts << "M " + point;
            break;
        case QPainterPath::LineToElement: parts << "L " + point; break;
        case QPainterPath::CurveToElement: parts << "C " + point; break;
        case QPainterPath::CurveToDataElement: parts << point; break;
        }
        last = element;
    }
    endSubpath();
    return parts.join(' ');
}

QString svgGradient(const QString& id, const Paint& paint)
{
    return QString("    <linearGradient id=\"%1\" gradientUnits=\"userSpaceOnUse\" x1=\"%2\" y1=\"%3\" x2=\"%4\" y2=\"%5\">\n"
                   "      <stop offset=\"0\" stop-color=\"%6\"/>\n      <stop offset=\"1\" stop-color=\"%7\"/>\n"
                   "    </linearGradient>\n")
        .arg(id, number(paint.from.x()), number(paint.from.y()), number(paint.to.x()), number(paint.to.y()),
             paint.a.name(), paint.b.name());
}

QString svgDocument(const std::vector<Layer>& layers)
{
    QString defs;
    QString body;
    QStringList gradients;   // their definitions without ids, so layers share equal ones
    for (const Layer& layer : layers) {
        QString paint = layer.paint.a.name();
        if (layer.paint.a != layer.paint.b) {
            const QString unnamed = svgGradient(QString(), layer.paint);
            qsizetype index = gradients.indexOf(unnamed);
            if (index < 0) {
                index = gradients.size();
                gradients << unnamed;
                defs += svgGradient(QString("g%1").arg(index + 1), layer.paint);
            }
            paint = QString("url(#g%1)").arg(index + 1);
        }
        if (layer.strokeWidth > 0)
            body += QString("  <path d=\"%1\" fill=\"none\" stroke=\"%2\" stroke-width=\"%3\" "
                            "stroke-linecap=\"round\" stroke-linejoin=\"round\"/>\n")
                        .arg(svgPathData(layer.path, false), paint, number(layer.strokeWidth));
        else
            body += QString("  <path d=\"%1\" fill=\"%2\"/>\n").arg(svgPathData(layer.path, true), paint);
    }
    return QString("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" viewBox=\"0 0 256 256\">\n"
                   "  <title>Quillmark</title>\n  <defs>\n%1  </defs>\n%2</svg>\n")
        .arg(defs, body);
}

QFont fontOf(const QString& family, double pixels, bool bold)
{
    QFont font(family);
    font.setPixelSize(qRound(pixels));
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

// A banner and whether all of its text landed inside it, clear of the edges.
struct Banner {
    QImage image;
    bool textFits = true;
};

bool drawCaption(QPainter& painter, QPointF baseline, const QString& text, const QFont& font, const QColor& colour)
{
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(baseline, text);
    const QRectF inked = QFontMetricsF(font).tightBoundingRect(text).translated(baseline);
    // In the banner's own units, whatever the scale it is drawn at.
    const double scale = painter.worldTransform().m11();
    const QRectF inside(4, 4, painter.device()->width() / scale - 8, painter.device()->height() / scale - 8);
    return inside.contains(inked);
}

// An image of a banner of that size at that scale, its painter in the banner's units.
QImage scaledImage(QSize size, double scale)
{
    return QImage(qRound(size.width() * scale), qRound(size.height() * scale), QImage::Format_RGB32);
}

void beginBanner(QPainter& painter, double scale)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.scale(scale, scale);
}

Banner bannerImage(double scale)
{
    Banner banner{scaledImage({450, 139}, scale)};
    banner.image.fill(Qt::white);
    QPainter painter(&banner.image);
    beginBanner(painter, scale);

    const double tile = 111;
    painter.save();
    painter.translate(14, 14);
    painter.scale(tile / IconUnits, tile / IconUnits);
    paintLayers(painter, iconLayers());
    painter.restore();

    const double left = 146;
    banner.textFits = drawCaption(painter, {left, 71}, "Quillmark", fontOf("DejaVu Serif", 50, true), Ink);
    painter.fillRect(QRectF(left + 2, 85, 56, 3), Gold);
    banner.textFits = drawCaption(painter, {left + 2, 111}, "Local accounts, kept simple.",
                                  fontOf("DejaVu Sans", 15, false), Slate) && banner.textFits;
    return banner;
}

Banner smallBannerImage(double scale)
{
    Banner banner{scaledImage({400, 75}, scale)};
    // A scale can leave the last row half covered by the gold rule: gold beneath it.
    banner.image.fill(Gold);
    QPainter painter(&banner.image);
    beginBanner(painter, scale);

    const QRectF bandRect(0, 0, 400, 72);
    QLinearGradient band(bandRect.topLeft(), bandRect.bottomRight());
    band.setColorAt(0.0, InkLight);
    band.setColorAt(1.0, Ink);
    painter.fillRect(bandRect, band);

    // A faint outsized feather keeps the right end of the band from looking bare.
    painter.save();
    painter.setClipRect(bandRect);
    const QuillPose faint{{292, 78}, 34.0, 120.0};
    const QPainterPath feather =
        vanePath(faint.length).subtracted(notchesPath(faint.length)).subtracted(spinePath(faint.length));
    painter.fillPath(placed(feather, faint), QColor(255, 255, 255, 26));
    painter.restore();
    painter.fillRect(QRectF(0, 72, 400, 3), Gold);

    QTransform toBand;
    toBand.translate(2, -1);
    toBand.scale(0.29, 0.29);
    const QTransform toIcon = toBand.inverted();
    const Paint backdrop{InkLight, Ink, toIcon.map(bandRect.topLeft()), toIcon.map(bandRect.bottomRight())};
    painter.save();
    painter.setTransform(toBand, true);
    paintLayers(painter, markLayers(backdrop));
    painter.restore();

    banner.textFits = drawCaption(painter, {80, 37}, "Quillmark", fontOf("DejaVu Serif", 28, true), Qt::white);
    banner.textFits = drawCaption(painter, {81, 57}, "Local accounts, kept simple.", fontOf("DejaVu Sans", 12, false),
                                  QColor("#c9d6ea")) && banner.textFits;
    return banner;
}

// The setup's welcome and finish pages show a 164x314 picture down their
// left side: the mark on the small banner's navy band, a gold rule, the name.
Banner setupBitmapImage()
{
    Banner banner{QImage(164, 314, QImage::Format_RGB32)};
    QPainter painter(&banner.image);
    beginBanner(painter, 1);

    const QRectF bandRect(0, 0, 164, 314);
    QLinearGradient band(bandRect.topLeft(), bandRect.bottomRight());
    band.setColorAt(0.0, InkLight);
    band.setColorAt(1.0, Ink);
    painter.fillRect(bandRect, band);

    painter.save();
    const QuillPose faint{{30, 360}, 58.0, 260.0};
    const QPainterPath feather =
        vanePath(faint.length).subtracted(notchesPath(faint.length)).subtracted(spinePath(faint.length));
    painter.fillPath(placed(feather, faint), QColor(255, 255, 255, 22));
    painter.restore();

    QTransform toBand;
    toBand.translate(5, 24);
    toBand.scale(0.56, 0.56);
    const QTransform toIcon = toBand.inverted();
    const Paint backdrop{InkLight, Ink, toIcon.map(bandRect.topLeft()), toIcon.map(bandRect.bottomRight())};
    painter.save();
    painter.setTransform(toBand, true);
    paintLayers(painter, markLayers(backdrop));
    painter.restore();

    painter.fillRect(QRectF(24, 176, 116, 3), Gold);
    const QFont name = fontOf("DejaVu Serif", 25, true);
    const double nameLeft = (164 - QFontMetricsF(name).horizontalAdvance("Quillmark")) / 2;
    banner.textFits = drawCaption(painter, {nameLeft, 214}, "Quillmark", name, Qt::white);
    return banner;
}

bool save(const QImage& image, const QString& path, const char* format)
{
    QDir().mkpath(QFileInfo(path).path());
    if (image.save(path, format))
        return true;
    std::fprintf(stderr, "draw_art: cannot write %s\n", qPrintable(path));
    return false;
}

bool writeBytes(const QByteArray& bytes, const QString& path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size() || !file.flush()) {
        std::fprintf(stderr, "draw_art: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// Qt's ICO writer leaves the mask's row padding unset, so two runs would
// differ; this one writes every byte. 32-bit images, alpha and mask both,
// one for each size: Windows takes the one it needs.
bool saveIcon(const std::vector<QImage>& sources, const QString& path)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint16(0) << quint16(1) << quint16(sources.size());                      // icon directory
    quint32 offset = 6 + 16 * sources.size();
    for (const QImage& source : sources) {
        const int size = source.width();
        const quint32 bytesOfImage = 40 + size * size * 4 + (size + 31) / 32 * 4 * size;
        out << quint8(size) << quint8(size) << quint8(0) << quint8(0) << quint16(1) << quint16(32)
            << bytesOfImage << offset;
        offset += bytesOfImage;
    }
    for (const QImage& source : sources) {
        const QImage image = source.convertToFormat(QImage::Format_ARGB32);
        const int size = image.width();
        const int maskStride = (size + 31) / 32 * 4;
        const quint32 pixelBytes = size * size * 4;
        const quint32 maskBytes = maskStride * size;
        out << quint32(40) << qint32(size) << qint32(2 * size) << quint16(1) << quint16(32)   // height counts the mask
            << quint32(0) << quint32(pixelBytes + maskBytes) << qint32(0) << qint32(0) << quint32(0) << quint32(0);
        for (int y = size - 1; y >= 0; --y) {
            for (int x = 0; x < size; ++x) {
                const QRgb pixel = image.pixel(x, y);
                out << quint8(qBlue(pixel)) << quint8(qGreen(pixel)) << quint8(qRed(pixel)) << quint8(qAlpha(pixel));
            }
        }
        for (int y = size - 1; y >= 0; --y) {
            QByteArray row(maskStride, '\0');
            for (int x = 0; x < size; ++x) {
                if (qAlpha(image.pixel(x, y)) == 0)
                    row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
            }
            out.writeRawData(row.constData(), row.size());
        }
    }
    return writeBytes(bytes, path);
}

}  // namespace

int main(int argc, char** argv)
{
    // Painting text needs a GUI application, but never a screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--setup-bitmap") {
        const Banner bitmap = setupBitmapImage();
        if (!bitmap.textFits)
            std::fprintf(stderr, "draw_art: the setup bitmap's name runs off its edge (is DejaVu installed?)\n");
        return save(bitmap.image, QString::fromLocal8Bit(argv[2]), "BMP") && bitmap.textFits ? 0 : 1;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw_art RES_FOLDER | draw_art --setup-bitmap FILE\n");
        return 2;
    }
    const QString res = QString::fromLocal8Bit(argv[1]);

    bool ok = true;
    constexpr int WindowIcon = 24;
    for (const auto& [banner, name] : {std::pair{bannerImage(1), "banner.bmp"}, {smallBannerImage(1), "banner_small.bmp"}}) {
        if (!banner.textFits)
            std::fprintf(stderr, "draw_art: the text of %s runs off its edge (is DejaVu installed?)\n", name);
        ok = save(banner.image, res + '/' + name, "BMP") && banner.textFits && ok;
    }
    // The same art for high-DPI screens; the names say the scale, as 1.25.
    for (double scale : {1.25, 1.5, 2.0, 3.0}) {
        const QString suffix = QString("@%1x.png").arg(scale);
        ok = save(bannerImage(scale).image, res + "/scaled/banner" + suffix, "PNG") && ok;
        ok = save(smallBannerImage(scale).image, res + "/scaled/banner_small" + suffix, "PNG") && ok;
        ok = save(iconImage(qRound(WindowIcon * scale)), res + "/scaled/Quillmark" + suffix, "PNG") && ok;
    }
    ok = saveIcon({iconImage(WindowIcon), iconImage(32), iconImage(48)}, res + "/Quillmark.ico") && ok;
    ok = writeBytes(svgDocument(iconLayers()).toUtf8(), res + "/icons/quillmark.svg") && ok;
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QString path = QString("%1/icons/hicolor/%2x%2/apps/quillmark.png").arg(res).arg(size);
        ok = save(iconImage(size), path, "PNG") && ok;
    }
    return ok ? 0 : 1;
}
