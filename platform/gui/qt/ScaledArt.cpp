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

ScaledArt::ScaledArt(int id, const char* format, ArtBackdrop backdrop)
{
    const bool asDrawn = backdrop == ArtBackdrop::AsDrawn;
    QByteArray base = BytesOf(asDrawn ? FindResourceFile(id) : FindScaledResourceFile(id, 1, backdrop));
    QBuffer buffer(&base);
    QImageReader reader(&buffer, asDrawn ? format : "PNG");
    const QImage first = reader.read();
    if (first.isNull())
        return;
    m_base = QPixmap::fromImage(first);
    for (int index = 1; index < reader.imageCount() && reader.jumpToImage(index); ++index)
        m_otherSizes.push_back(QPixmap::fromImage(reader.read()));
    for (const double scale : ArtScales) {
        const std::string_view bytes = FindScaledResourceFile(id, scale, backdrop);
        if (!bytes.empty())
            m_finer.push_back({scale, bytes, {}});
    }
}

const QPixmap& ScaledArt::Decoded(const Finer& finer) const
{
    if (finer.picture.isNull() && finer.picture.loadFromData(BytesOf(finer.bytes), "PNG"))
        finer.picture.setDevicePixelRatio(finer.scale);
    return finer.picture;
}

QPixmap ScaledArt::ForRatio(qreal ratio) const
{
    if (IsNull() || ratio <= 1.01 || m_finer.empty())
        return m_base;
    for (const Finer& finer : m_finer) {
        if (finer.scale >= ratio - 0.01)
            return Decoded(finer);
    }
    return Decoded(m_finer.back());
}

QIcon ScaledArt::AsIcon() const
{
    QIcon icon;
    icon.addPixmap(m_base);
    for (const Finer& finer : m_finer) {
        QPixmap picture = Decoded(finer);
        picture.setDevicePixelRatio(1);
        icon.addPixmap(picture);
    }
    for (const QPixmap& picture : m_otherSizes)
        icon.addPixmap(picture);
    return icon;
}
