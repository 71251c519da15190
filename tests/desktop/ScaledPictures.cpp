// Compares the pictures of the windows taken at scale factor 1 and 2:
//   check_scaled_pictures BANNER.bmp SCALE1_FOLDER SCALE2_FOLDER
// Each picture at scale 2 is exactly twice as wide and as high, so every
// window keeps its proportions; where a picture shows the banner in its top
// left corner, each of its pixels becomes a 2x2 block of the same colour,
// so the bitmap is scaled cleanly rather than blurred or shifted.
#include <QDir>
#include <QGuiApplication>
#include <QImage>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>

namespace {

int g_failures = 0;

void Fail(const QString& picture, const std::string& what)
{
    std::fprintf(stderr, "FAIL: %s: %s\n", qPrintable(picture), what.c_str());
    ++g_failures;
}

bool ShowsBannerAtTopLeft(const QImage& picture, const QImage& banner)
{
    const int width = std::min(picture.width(), banner.width());
    const int height = std::min(picture.height(), banner.height());
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (picture.pixel(x, y) != banner.pixel(x, y))
                return false;
        }
    }
    return true;
}

// The first pixel of the banner whose 2x2 block differs from it, or an empty string.
std::string FirstBlurredPixel(const QImage& doubled, const QImage& banner)
{
    const int width = std::min(doubled.width() / 2, banner.width());
    const int height = std::min(doubled.height() / 2, banner.height());
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            for (const auto& [dx, dy] : {std::pair{0, 0}, {1, 0}, {0, 1}, {1, 1}}) {
                if (doubled.pixel(2 * x + dx, 2 * y + dy) != banner.pixel(x, y))
                    return "the banner's pixel " + std::to_string(x) + "," + std::to_string(y) + " is not a clean 2x2 block";
            }
        }
    }
    return {};
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fputs("usage: check_scaled_pictures BANNER.bmp SCALE1_FOLDER SCALE2_FOLDER\n", stderr);
        return 2;
    }
    QGuiApplication application(argc, argv);
    const QImage banner = QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_RGB32);
    const QDir one(QString::fromLocal8Bit(argv[2]));
    const QDir two(QString::fromLocal8Bit(argv[3]));
    const QStringList pictures = one.entryList({"*.png"}, QDir::Files, QDir::Name);
    if (banner.isNull() || pictures.isEmpty()) {
        std::fputs("FAIL: no banner or no pictures to compare\n", stderr);
        return 1;
    }
    int withBanner = 0;
    for (const QString& name : pictures) {
        const QImage single = QImage(one.filePath(name)).convertToFormat(QImage::Format_RGB32);
        const QImage doubled = QImage(two.filePath(name)).convertToFormat(QImage::Format_RGB32);
        if (doubled.isNull()) {
            Fail(name, "missing at scale 2");
            continue;
        }
        if (doubled.size() != single.size() * 2) {
            Fail(name, "is " + std::to_string(single.width()) + "x" + std::to_string(single.height()) + " at scale 1 but "
                           + std::to_string(doubled.width()) + "x" + std::to_string(doubled.height()) + " at scale 2");
            continue;
        }
        if (!ShowsBannerAtTopLeft(single, banner))
            continue;
        ++withBanner;
        if (const std::string blurred = FirstBlurredPixel(doubled, banner); !blurred.empty())
            Fail(name, blurred);
    }
    if (withBanner == 0)
        Fail(one.path(), "no picture shows the banner at scale 1");
    std::printf("%lld pictures compared, %d with the banner: %d failures\n", static_cast<long long>(pictures.size()),
                withBanner, g_failures);
    return g_failures == 0 ? 0 : 1;
}
