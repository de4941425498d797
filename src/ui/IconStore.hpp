#pragma once
// The program's pictures: our own SVG drawings (resources/icons), rendered at whatever size a widget asks
// for. Node icons take their colour state by recolouring the parts drawn in the neutral state colour, and
// a marked node gets a badge in its corner.

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include <QByteArray>
#include <QColor>
#include <QIcon>
#include <QPixmap>

#include "archive/DBLevel.hpp"
#include "ui/IconNames.hpp"

namespace velmar::ui {

class IconStore {
  public:
    // The colour the drawings use for the parts that show a node's state.
    static constexpr const char* kStateToken = "#5a6b7c";

    IconStore();

    // The icon of a node icon name ("AGR", "AGR_G", "ZAM_R_M"); keys without a drawing get the generic one.
    QIcon NodeIcon(const std::string& iconName);
    // A toolbar or dialog picture by key ("TB_EXIT", "LOGO").
    QIcon ActionIcon(const std::string& key);
    QPixmap Picture(const std::string& key, int size);

    // Whether a drawing exists for the key.
    static bool HasDrawing(const std::string& key);

    // Handles for the archive's image lookup (the root's icon loader): one per icon name, never 0.
    archive::BitmapHandle HandleOf(const std::string& iconName);
    QIcon IconOfHandle(archive::BitmapHandle handle) const;

    static QColor StateColour(IconState state);

  private:
    std::map<std::string, QIcon> nodeIcons_;
    std::map<std::string, QIcon> actionIcons_;
    std::map<std::string, std::size_t> handleIndex_;
    std::vector<QIcon> handles_;
};

}  // namespace velmar::ui
