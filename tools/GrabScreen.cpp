// Saves the whole screen of the X server in DISPLAY as a PNG picture:
//   grab_screen OUTPUT.png
// Fails on a screen of one colour, where nothing was drawn.
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <cstdio>

namespace {

bool IsOneColour(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != image.pixel(0, 0))
                return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: grab_screen OUTPUT.png\n", stderr);
        return 2;
    }
    QGuiApplication application(argc, argv);
    const QImage screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    if (screen.isNull() || IsOneColour(screen)) {
        std::fputs("grab_screen: the screen shows nothing\n", stderr);
        return 1;
    }
    if (!screen.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "grab_screen: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
