// The tree's pictures, drawn in code: open folder, data item, closed folder and the red check mark
// that marks the key to back up.
#pragma once

#include "tree/RegistryTree.h"

#include <QIcon>
#include <QPixmap>
#include <QString>

#include <array>
#include <cstdint>

namespace karvo::ui {

using tree::Image;


class ImageList {
public:
    static constexpr int kSize = 16;

    // Drawn on first use; needs a QGuiApplication.
    static const ImageList& standard();

    const QPixmap& pixmap(Image image) const;
    // The icon a node shows: image normally, selectedImage (when set) while the node is selected.
    const QIcon& icon(Image image, Image selectedImage) const;

private:
    ImageList();
    std::array<QPixmap, 5> pixmaps_;
    std::array<QIcon, 25> icons_;
};

}  // namespace karvo::ui
