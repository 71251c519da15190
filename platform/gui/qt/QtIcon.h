#pragma once

#include <QIcon>

// What an IconHandle points to in this backend: the icon at every size drawn.
struct Icon {
    QIcon icon;
};
