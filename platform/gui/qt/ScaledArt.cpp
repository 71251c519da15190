#include "platform/gui/qt/ScaledArt.h"

#include "platform/gui/Resources.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include <cmath>
#include <string_view>

namespace {

QByteArray BytesOf(std::string_view bytes)
{
    return QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

}  // namespace

ScaledArt::ScaledArt(int id, const char* format)
{
    QByteArray base = BytesOf(FindResourceFile(id));
    QBuffer buffer(&base);
    QImageReader reader(&buffer, format);
    const QImage first = reader.read();
    if (first.isNull())
        return;
    m_pictures.push_back(QPixmap::fromImage(first));
    for (int index = 1; index < reader.imageCount() && reader.jumpToImage(index); ++index)
        m_otherSizes.push_back(QPixmap::fromImage(reader.read()));
    for (const double scale : kArtScales) {
        QPixmap picture;
        if (picture.loadFromData(BytesOf(FindScaledResourceFile(id, scale)), "PNG")) {
            picture.setDevicePixelRatio(scale);
            m_pictures.push_back(picture);
        }
    }
}

QPixmap ScaledArt::ForRatio(qreal ratio) const
{
    QPixmap chosen = Base();
    for (const QPixmap& picture : m_pictures) {
        chosen = picture;
        if (picture.devicePixelRatio() >= ratio - 0.01)
            break;
    }
    return chosen;
}

QIcon ScaledArt::AsIcon() const
{
    QIcon icon;
    for (const auto* pictures : {&m_pictures, &m_otherSizes}) {
        for (QPixmap picture : *pictures) {
            picture.setDevicePixelRatio(1);
            icon.addPixmap(picture);
        }
    }
    return icon;
}
