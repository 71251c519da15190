#include "platform/gui/qt/ArtIcon.h"

#include "platform/gui/Resources.h"
#include "platform/gui/qt/ScaledArt.h"

#include <QIconEngine>
#include <QPainter>

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

namespace {

std::uint32_t BigEndian32(std::string_view bytes, std::size_t at)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

// The sizes an ICO's directory announces, in its order; 0 stands for 256.
QList<QSize> IcoSizes(std::string_view bytes)
{
    QList<QSize> sizes;
    if (bytes.size() < 6 || bytes[0] != 0 || bytes[1] != 0 || bytes[2] != 1 || bytes[3] != 0)
        return sizes;
    const std::size_t count = static_cast<unsigned char>(bytes[4]) | static_cast<unsigned char>(bytes[5]) << 8;
    for (std::size_t entry = 0; entry < count && 6 + 16 * (entry + 1) <= bytes.size(); ++entry) {
        const auto side = [&](std::size_t at) {
            const int value = static_cast<unsigned char>(bytes[6 + 16 * entry + at]);
            return value == 0 ? 256 : value;
        };
        sizes.push_back(QSize(side(0), side(1)));
    }
    return sizes;
}

// A PNG's size from its header chunk, which comes first.
std::optional<QSize> PngSize(std::string_view bytes)
{
    if (bytes.size() < 24 || bytes.substr(12, 4) != "IHDR")
        return std::nullopt;
    return QSize(static_cast<int>(BigEndian32(bytes, 16)), static_cast<int>(BigEndian32(bytes, 20)));
}

// The pictures are those of ScaledArt::AsIcon, in its order, and are decoded
// all at once by it when first needed: what a window system picks from them
// stays what it picked when they were decoded at the start.
class ArtIconEngine final : public QIconEngine {
public:
    struct Shared {
        int id;
        QList<QSize> sizes;
        std::optional<QIcon> decoded;
    };

    explicit ArtIconEngine(std::shared_ptr<Shared> shared) : m_shared(std::move(shared)) {}

    QIconEngine* clone() const override { return new ArtIconEngine(m_shared); }
    bool isNull() override { return m_shared->sizes.isEmpty(); }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return mode == QIcon::Normal && state == QIcon::Off ? m_shared->sizes : QList<QSize>();
    }
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        Decoded().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return Decoded().pixmap(size, 1.0, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        // QIcon asks for `size` in device pixels; the decoded icon takes it in its own units.
        QPixmap picture = Decoded().pixmap(size / scale, scale, mode, state);
        return picture;
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return Decoded().actualSize(size, mode, state);
    }

private:
    const QIcon& Decoded()
    {
        if (!m_shared->decoded)
            m_shared->decoded = ScaledArt(m_shared->id, "ICO").AsIcon();
        return *m_shared->decoded;
    }

    std::shared_ptr<Shared> m_shared;
};

} // namespace

QIcon LoadArtIcon(int id)
{
    const QList<QSize> icoSizes = IcoSizes(FindResourceFile(id));
    if (icoSizes.isEmpty())
        return QIcon();
    auto shared = std::make_shared<ArtIconEngine::Shared>();
    shared->id = id;
    shared->sizes.push_back(icoSizes.front());
    for (const double scale : ArtScales) {
        if (const auto size = PngSize(FindScaledResourceFile(id, scale)))
            shared->sizes.push_back(*size);
    }
    shared->sizes.append(icoSizes.mid(1));
    return QIcon(new ArtIconEngine(std::move(shared)));
}
