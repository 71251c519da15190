// Checks that a frame taken over VNC shows what the X server's own grab of
// its screen shows, within the loss of the frame's JPEG compression:
//   check_same_screen FRAME SCREEN
#include <QGuiApplication>
#include <QImage>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fputs("usage: check_same_screen FRAME SCREEN\n", stderr);
        return 2;
    }
    QGuiApplication application(argc, argv);
    const QImage frame = QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_RGB32);
    const QImage screen = QImage(QString::fromLocal8Bit(argv[2])).convertToFormat(QImage::Format_RGB32);
    if (frame.isNull() || screen.isNull() || frame.size() != screen.size()) {
        std::fprintf(stderr, "FAIL: the frame is %dx%d, the screen %dx%d\n", frame.width(), frame.height(),
                     screen.width(), screen.height());
        return 1;
    }
    long long difference = 0;
    for (int y = 0; y < frame.height(); ++y) {
        for (int x = 0; x < frame.width(); ++x) {
            const QRgb a = frame.pixel(x, y);
            const QRgb b = screen.pixel(x, y);
            difference += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
        }
    }
    // JPEG at full quality strays by a level or two on average; another picture by tens.
    const double average = double(difference) / (3.0 * frame.width() * frame.height());
    if (average > 4.0) {
        std::fprintf(stderr, "FAIL: the frame differs from the screen by %.1f levels a channel on average\n", average);
        return 1;
    }
    return 0;
}
