#include "ui/IconStore.hpp"

#include <QApplication>
#include <QFile>
#include <QHash>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QStyleOption>
#include <QSvgRenderer>

// The icons are compiled into the library; a static library needs its resources pulled in by name.
static void InitIconResources() {
    Q_INIT_RESOURCE(VelmarIcons);
}

namespace velmar::ui {

namespace {

QByteArray DrawingOf(const std::string& key) {
    QFile file(QStringLiteral(":/icons/") + QString::fromStdString(key).toLower() + QStringLiteral(".svg"));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll();
}

// Draws an SVG at any size, with the state colour put in and the mark badge on top; disabled pictures are
// greyed the way the style greys any icon.
class DrawingIconEngine final : public QIconEngine {
  public:
    DrawingIconEngine(QByteArray svg, IconState state, bool marked)
        : svg_(std::move(svg)), state_(state), marked_(marked) {
        if (state_ != IconState::None) {
            const QByteArray token(IconStore::kStateToken);
            if (svg_.contains(token)) {
                svg_.replace(token, IconStore::StateColour(state_).name().toLatin1());
                stateDrawn_ = true;
            }
        }
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
        const qreal ratio = painter->device() != nullptr ? painter->device()->devicePixelRatioF() : 1.0;
        const QSize size(qRound(rect.width() * ratio), qRound(rect.height() * ratio));
        QPixmap picture = pixmap(size, mode, state);
        painter->drawPixmap(rect, picture);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        const quint64 key = (quint64(size.width()) << 32) | (quint64(size.height()) << 8) | quint64(mode);
        if (const auto it = cache_.constFind(key); it != cache_.constEnd()) {
            return *it;
        }
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            QSvgRenderer renderer(svg_);
            renderer.render(&painter, QRectF(0, 0, size.width(), size.height()));
            const qreal side = std::min(size.width(), size.height());
            if (state_ != IconState::None && !stateDrawn_) {
                const qreal r = side * 0.2;
                painter.setPen(QPen(Qt::white, std::max<qreal>(1.0, side / 24)));
                painter.setBrush(IconStore::StateColour(state_));
                painter.drawEllipse(QPointF(size.width() - r - 0.5, size.height() - r - 0.5), r, r);
            }
            if (marked_) {
                DrawMark(painter, size, side);
            }
        }
        QPixmap result = QPixmap::fromImage(image);
        if (mode == QIcon::Disabled || mode == QIcon::Selected) {
            if (QApplication::style() != nullptr) {
                QStyleOption option;
                option.palette = QApplication::palette();
                const QPixmap generated = QApplication::style()->generatedIconPixmap(mode, result, &option);
                if (!generated.isNull()) {
                    result = generated;
                }
            }
        }
        cache_.insert(key, result);
        return result;
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }

    QIconEngine* clone() const override { return new DrawingIconEngine(*this); }

    QString key() const override { return QStringLiteral("velmar-drawing"); }

  private:
    // A purple badge with a tick in the top right corner: no state colour looks like it.
    static void DrawMark(QPainter& painter, const QSize& size, qreal side) {
        const qreal r = side * 0.24;
        const QPointF centre(size.width() - r - 0.5, r + 0.5);
        painter.setPen(QPen(Qt::white, std::max<qreal>(1.0, side / 24)));
        painter.setBrush(QColor(0x8e, 0x44, 0xad));
        painter.drawEllipse(centre, r, r);
        QPainterPath tick;
        tick.moveTo(centre + QPointF(-r * 0.5, 0.0));
        tick.lineTo(centre + QPointF(-r * 0.1, r * 0.42));
        tick.lineTo(centre + QPointF(r * 0.55, -r * 0.4));
        painter.setPen(
            QPen(Qt::white, std::max<qreal>(1.2, side / 14), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(tick);
    }

    QByteArray svg_;
    IconState state_;
    bool marked_;
    bool stateDrawn_ = false;
    QHash<quint64, QPixmap> cache_;
};

}  // namespace

IconStore::IconStore() {
    InitIconResources();
}

bool IconStore::HasDrawing(const std::string& key) {
    InitIconResources();
    return QFile::exists(QStringLiteral(":/icons/") + QString::fromStdString(key).toLower() +
                         QStringLiteral(".svg"));
}

QColor IconStore::StateColour(IconState state) {
    switch (state) {
        case IconState::Green:
            return QColor(0x2e, 0xa0, 0x43);
        case IconState::Yellow:
            return QColor(0xe8, 0xb4, 0x00);
        case IconState::Red:
            return QColor(0xd6, 0x30, 0x2a);
        case IconState::Blue:
            return QColor(0x2f, 0x6f, 0xd6);
        case IconState::None:
            break;
    }
    return QColor(kStateToken);
}

QIcon IconStore::NodeIcon(const std::string& iconName) {
    if (const auto it = nodeIcons_.find(iconName); it != nodeIcons_.end()) {
        return it->second;
    }
    const IconName parsed = ParseIconName(iconName);
    QByteArray svg = DrawingOf(parsed.key);
    if (svg.isEmpty()) {
        svg = DrawingOf("node");
    }
    QIcon icon(new DrawingIconEngine(std::move(svg), parsed.state, parsed.marked));
    nodeIcons_.emplace(iconName, icon);
    return icon;
}

QIcon IconStore::ActionIcon(const std::string& key) {
    if (const auto it = actionIcons_.find(key); it != actionIcons_.end()) {
        return it->second;
    }
    QByteArray svg = DrawingOf(key);
    if (svg.isEmpty()) {
        svg = DrawingOf("node");
    }
    QIcon icon(new DrawingIconEngine(std::move(svg), IconState::None, false));
    actionIcons_.emplace(key, icon);
    return icon;
}

QPixmap IconStore::Picture(const std::string& key, int size) {
    return ActionIcon(key).pixmap(QSize(size, size));
}

archive::BitmapHandle IconStore::HandleOf(const std::string& iconName) {
    if (const auto it = handleIndex_.find(iconName); it != handleIndex_.end()) {
        return it->second + 1;
    }
    handles_.push_back(NodeIcon(iconName));
    handleIndex_.emplace(iconName, handles_.size() - 1);
    return handles_.size();
}

QIcon IconStore::IconOfHandle(archive::BitmapHandle handle) const {
    if (handle == 0 || handle > handles_.size()) {
        return {};
    }
    return handles_[handle - 1];
}

}  // namespace velmar::ui
