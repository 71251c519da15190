#pragma once

#include "platform/gui/Resources.h"

#include <QIcon>
#include <QPixmap>

#include <string_view>
#include <vector>

// A BITMAP or ICON resource with the art drawn afresh for each high-DPI
// scale, so that a window shows it sharp at every device pixel ratio.
class ScaledArt {
public:
    // format: the base resource's, "BMP" or "ICO". A dark backdrop's art is
    // PNG at every scale; null where the resource has none.
    ScaledArt(int id, const char* format, ArtBackdrop backdrop = ArtBackdrop::AsDrawn);

    bool IsNull() const { return m_base.isNull(); }
    // The picture at scale 1; its size is the one a window lays out.
    QPixmap Base() const { return m_base; }
    // The picture drawn for that ratio, or else the next finer one (the finest
    // beyond them all), its own device pixel ratio set.
    QPixmap ForRatio(qreal ratio) const;
    // Every picture, each at its size in pixels: the window system picks.
    QIcon AsIcon() const;

private:
    // A finer drawing, decoded only when a screen first asks for its scale:
    // decoding them all made up most of the program's start-up.
    struct Finer {
        double scale;
        std::string_view bytes;
        mutable QPixmap picture;
    };
    const QPixmap& Decoded(const Finer& finer) const;

    QPixmap m_base;
    std::vector<Finer> m_finer;          // coarsest first
    std::vector<QPixmap> m_otherSizes;   // an icon's further sizes, for the window system
};
