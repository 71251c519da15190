// Compares the pictures of the windows taken at scale factor 1 with those
// taken at higher ones:
//   check_scaled_pictures RES_FOLDER SCALE1_FOLDER SCALE:FOLDER...
// Each picture at scale s is s times as wide and as high (to the pixel), so
// every window keeps its proportions; where a picture shows the small banner
// in its top left corner, the one at scale s shows the banner drawn for s
// (res/scaled/banner_small@sx.png) pixel for pixel: sharp, neither blown up
// from the one of scale 1 nor blurred.
#include <QDir>
#include <QGuiApplication>
#include <QImage>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

int g_failures = 0;

void Fail(const QString& picture, const std::string& what)
{
    std::fprintf(stderr, "FAIL: %s: %s\n", qPrintable(picture), what.c_str());
    ++g_failures;
}

QImage Load(const QString& path)
{
    return QImage(path).convertToFormat(QImage::Format_RGB32);
}

// The first pixel of the top left corner, as wide and high as given, where the
// picture differs from the art; an empty string when there is none.
std::string FirstDifference(const QImage& picture, const QImage& art, int width, int height)
{
    for (int y = 0; y < std::min({height, picture.height(), art.height()}); ++y) {
        for (int x = 0; x < std::min({width, picture.width(), art.width()}); ++x) {
            if (picture.pixel(x, y) != art.pixel(x, y))
                return "the banner's pixel " + std::to_string(x) + "," + std::to_string(y) + " is not the one drawn for this scale";
        }
    }
    return {};
}

bool Near(int actual, double expected)
{
    return std::abs(actual - expected) <= 1.0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fputs("usage: check_scaled_pictures RES_FOLDER SCALE1_FOLDER SCALE:FOLDER...\n", stderr);
        return 2;
    }
    QGuiApplication application(argc, argv);
    const QDir res(QString::fromLocal8Bit(argv[1]));
    const QImage banner = Load(res.filePath("banner_small.bmp"));
    const QDir one(QString::fromLocal8Bit(argv[2]));
    const QStringList pictures = one.entryList({"*.png"}, QDir::Files, QDir::Name);
    if (banner.isNull() || pictures.isEmpty()) {
        std::fputs("FAIL: no banner or no pictures to compare\n", stderr);
        return 1;
    }
    int withBanner = 0;
    for (int argument = 3; argument < argc; ++argument) {
        const QString given = QString::fromLocal8Bit(argv[argument]);
        const double scale = given.section(':', 0, 0).toDouble();
        const QDir scaled(given.section(':', 1));
        const QImage art = Load(res.filePath(QString("scaled/banner_small@%1x.png").arg(scale)));
        if (art.isNull()) {
            Fail(given, "no banner drawn for this scale in " + res.path().toStdString() + "/scaled");
            continue;
        }
        for (const QString& name : pictures) {
            const QImage single = Load(one.filePath(name));
            const QImage picture = Load(scaled.filePath(name));
            const QString label = QString("%1 at scale %2").arg(name).arg(scale);
            if (picture.isNull()) {
                Fail(label, "missing");
                continue;
            }
            if (!Near(picture.width(), single.width() * scale) || !Near(picture.height(), single.height() * scale)) {
                Fail(label, "is " + std::to_string(picture.width()) + "x" + std::to_string(picture.height()) + " where "
                                + std::to_string(single.width()) + "x" + std::to_string(single.height()) + " at scale 1");
                continue;
            }
            if (!FirstDifference(single, banner, banner.width(), banner.height()).empty())
                continue;
            ++withBanner;
            // The window shows whole pixels of the banner only.
            const int width = static_cast<int>(banner.width() * scale);
            const int height = static_cast<int>(banner.height() * scale);
            if (const std::string blurred = FirstDifference(picture, art, width, height); !blurred.empty())
                Fail(label, blurred);
        }
    }
    if (withBanner == 0)
        Fail(one.path(), "no picture shows the banner at scale 1");
    std::printf("%lld pictures compared at %d scales, %d with the banner: %d failures\n",
                static_cast<long long>(pictures.size()), argc - 3, withBanner, g_failures);
    return g_failures == 0 ? 0 : 1;
}
