#pragma once

#include <QPixmap>

// What an IconHandle points to in this backend.
struct Icon {
    QPixmap pixmap;
};
