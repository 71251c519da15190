#pragma once

#include <QIcon>

// An ICON resource as a window's icon: every size of the ICO and every finer
// drawing, decoded only when a window system or a paint first asks for a
// picture; a window shown without its icon drawn decodes none.
// Null when the resource holds no icon.
QIcon LoadArtIcon(int id);
