#include "ui/FormChildAxs.hpp"

#include <algorithm>
#include <cstdlib>

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLocale>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QWheelEvent>

#include "archive/DBLevel.hpp"
#include "common/StringTable.hpp"
#include "common/UiPort.hpp"
#include "common/Vocabulary.hpp"
#include "ui/FrameSettings.hpp"
#include "ui/QtText.hpp"
#include "ui/SignalRenderer.hpp"

namespace velmar::ui {

namespace {

constexpr int kTextReadError = 702;
constexpr int kTextCopyAll = 703;
constexpr int kTextCopyGraph = 704;
constexpr int kTextCopyBetween = 705;
constexpr int kWheelNotch = 120;  // angle delta of one notch of a mouse wheel

// The levels the status panel names: stations 2 .. 4, the machine and the measurement.
constexpr int kStatusLevels[] = {2, 3, 4, 7, 8};

char UserDecimalSeparator() {
    const QString point = QLocale::system().decimalPoint();
    if (!point.isEmpty() && point.at(0).unicode() < 128) {
        return static_cast<char>(point.at(0).unicode());
    }
    return '.';
}

std::string TrimLeading(const std::string& text) {
    const std::size_t start = text.find_first_not_of(' ');
    return start == std::string::npos ? std::string() : text.substr(start);
}

}  // namespace

TFormChildAxs::TFormChildAxs(ISignalWindowHost& host, QWidget* parent) : QWidget(parent), host_(host) {
    setObjectName(QStringLiteral("FormChildAxs"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(120, 80);
    resize(640, 360);
    const struct {
        int command;
        int text;
    } commands[] = {{kCommandCopyAllSamples, kTextCopyAll},
                    {kCommandCopySamplesBetweenCursors, kTextCopyBetween},
                    {kCommandCopyGraph, kTextCopyGraph}};
    for (const auto& c : commands) {
        auto* action = new QAction(Text(c.text), this);
        action->setData(c.command);
        connect(action, &QAction::triggered, this, [this, command = c.command] {
            if (command == kCommandCopyGraph) {
                CopyGraph();
            } else {
                CopySamples(command == kCommandCopySamplesBetweenCursors);
            }
        });
        copyActions_.push_back(action);
    }
}

TFormChildAxs::~TFormChildAxs() {
    // A level that went before the window has already cleared these pointers (Destroyed), so whatever is
    // left is alive and is let go, at the end of the run too.
    ReleaseDerived();
    DetachSource();
}

// ---- Opening and deriving
// ------------------------------------------------------------------------------------

bool TFormChildAxs::OpenNode(archive::TDBLevel& node) {
    ReleaseDerived();
    DetachSource();
    source_ = &node;
    archive::TransformParams params = node.GetTransformParams();
    bool opened = false;
    try {
        opened = ApplyParams(params);
    } catch (const std::exception&) {
        opened = false;
    }
    if (!opened) {
        ReleaseDerived();
        source_ = nullptr;
        model_.Clear();
        host_.Ui().MessageDialog(common::LoadText(kTextReadError), common::DialogType::Error,
                                 common::kButtonOk);
        return false;
    }
    node.AttachView(this);
    return true;
}

bool TFormChildAxs::ApplyParams(archive::TransformParams& params) {
    if (source_ == nullptr) {
        return false;
    }
    const archive::TDataHeader& sourceHeader = source_->Header();
    archive::TransformParams request = params;
    request.SourceKind = sourceHeader.Kind;
    request.SourceQuantity = sourceHeader.Quantity;
    archive::TDBLevel* derived = source_->FindOrCreateTransform(request);
    if (derived == nullptr) {
        return false;
    }
    archive::TDBLevel* previous = derived_;
    derived_ = derived;
    params_ = derived->GetTransformParams();
    params_.SourceKind = sourceHeader.Kind;
    params_.SourceQuantity = sourceHeader.Quantity;
    params = params_;
    // The new series is in the model before the old level may go: the model never points at freed data.
    try {
        LoadSeries(SignalWindowModel::Keep::View);
    } catch (...) {
        if (previous != nullptr && previous != derived) {
            source_->ReleaseTransform(previous);
        }
        throw;
    }
    if (previous != nullptr) {
        source_->ReleaseTransform(previous);
    }
    Refresh();
    return true;
}

void TFormChildAxs::LoadSeries(SignalWindowModel::Keep keep) {
    if (derived_ == nullptr) {
        model_.Clear();
        return;
    }
    const archive::TDataHeader& header = derived_->Header();
    const archive::PointLayout layout = derived_->Layout();
    const std::span<const double> buffer = derived_->Values();
    const auto stride = layout.stride;
    const std::size_t fit = stride > 0 ? buffer.size() / stride : 0;
    const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(std::max(0, header.Count)), fit);

    SignalSeries series;
    series.kind = static_cast<std::uint32_t>(header.Kind);
    series.quantity = static_cast<std::uint32_t>(header.Quantity);
    series.sampling = {header.XStart, header.XStep, static_cast<int>(count)};
    series.rms = derived_->Rms();
    // New copies go to fresh vectors: the model may still show the old ones until it takes the new series.
    std::vector<double> values;
    std::vector<double> phases;
    std::vector<double> xs;
    std::vector<double> areas;
    if (stride == 1 && layout.value == 0 && layout.x < 0) {
        // Plain series are shown straight from the level's buffer: no copy of millions of samples.
        series.values = buffer.first(count);
    } else {
        values.resize(count);
        for (std::size_t i = 0; i < count; ++i) {
            values[i] = buffer[i * stride + static_cast<std::size_t>(layout.value)];
        }
        series.values = values;
        const int n = static_cast<int>(count);
        if (layout.phase >= 0) {
            phases.resize(count);
            for (int i = 1; i <= n; ++i) {
                phases[static_cast<std::size_t>(i - 1)] = derived_->Phase(i);
            }
            series.phases = phases;
        }
        if (layout.x >= 0) {
            xs.resize(count);
            for (int i = 1; i <= n; ++i) {
                xs[static_cast<std::size_t>(i - 1)] = derived_->X(i);
            }
            series.xs = xs;
        }
        if (layout.fourth >= 0) {
            areas.resize(count);
            for (int i = 1; i <= n; ++i) {
                areas[static_cast<std::size_t>(i - 1)] = derived_->Fourth(i);
            }
            series.areas = areas;
        }
    }
    try {
        model_.SetSeries(series, FactorFor(series.kind, series.quantity), host_.Settings().view, keep);
    } catch (...) {
        // The copies are about to go: the model must not keep pointing at them.
        model_.Clear();
        throw;
    }
    // Moving a vector keeps its buffer where the model's spans point.
    values_ = std::move(values);
    phases_ = std::move(phases);
    xs_ = std::move(xs);
    areas_ = std::move(areas);
    if (model_.ClientWidth() != width() || model_.ClientHeight() != height()) {
        model_.SetClientSize(width(), height(), host_.ColumnsHeld());
    }
}

double TFormChildAxs::FactorFor(std::uint32_t kind, std::uint32_t quantity) const {
    return common::DisplayFactor(kind, quantity, host_.Settings().view);
}

void TFormChildAxs::ReleaseDerived() {
    archive::TDBLevel* derived = derived_;
    derived_ = nullptr;
    if (derived != nullptr && source_ != nullptr) {
        // The model points into the derived buffer: it lets go first.
        model_.Clear();
        source_->ReleaseTransform(derived);
    }
}

void TFormChildAxs::DetachSource() {
    if (source_ != nullptr) {
        source_->DetachView(this);
        source_ = nullptr;
    }
}

void TFormChildAxs::OnNodeEvent(archive::TDBLevel& node, archive::NodeEvent event, std::string_view) {
    if (&node != source_) {
        return;
    }
    switch (event) {
        case archive::NodeEvent::Destroyed: {
            // The derived level goes with its source: nothing is released, every pointer is dropped.
            model_.Clear();
            derived_ = nullptr;
            DetachSource();
            QWidget* window = parentWidget() != nullptr ? parentWidget() : this;
            QPointer<QWidget> guard(window);
            QMetaObject::invokeMethod(
                window,
                [guard] {
                    if (guard) {
                        guard->close();
                    }
                },
                Qt::QueuedConnection);
            host_.SignalWindowChanged(*this);
            break;
        }
        case archive::NodeEvent::Renamed:
            RefreshCaption();
            host_.SignalWindowChanged(*this);
            break;
        case archive::NodeEvent::DataChanged: {
            if (derived_ != nullptr && derived_ == source_) {
                LoadSeries(SignalWindowModel::Keep::Widening);
                Refresh();
                break;
            }
            // A conversion of the old data is no use: it is let go and the data are converted again (the
            // archive never hands the old one out again). The Y ranges stay, only widened, when the new
            // data are of the same kind and quantity.
            const bool had = model_.HasData();
            const std::uint32_t kind = model_.Kind();
            const std::uint32_t quantity = model_.Quantity();
            const double dataLo = model_.DataYMin();
            const double dataHi = model_.DataYMax();
            const double lo = model_.YLo();
            const double hi = model_.YHi();
            archive::TDBLevel* stale = derived_;
            derived_ = nullptr;
            model_.Clear();
            if (stale != nullptr) {
                source_->ReleaseTransform(stale);
            }
            try {
                derived_ = source_->FindOrCreateTransform(params_);
                LoadSeries(SignalWindowModel::Keep::Nothing);
            } catch (const std::exception&) {
                model_.Clear();
            }
            if (had && model_.HasData() && model_.Kind() == kind && model_.Quantity() == quantity) {
                model_.SetDataYRange(std::min(dataLo, model_.DataYMin()),
                                     std::max(dataHi, model_.DataYMax()));
                model_.SetYRange(lo, hi);
            }
            Refresh();
            break;
        }
    }
}

// ---- What the main window asks
// -------------------------------------------------------------------------------

SignalWindowStatus TFormChildAxs::Status() const {
    SignalWindowStatus status;
    status.hasData = model_.HasData();
    status.decimated = model_.Decimated();
    status.kind = model_.Kind();
    status.switches = model_.Switches().AsArray();
    status.linkMode = model_.LinkMode();
    status.statusText = model_.HasData() ? StatusPanelText() : std::string();
    return status;
}

std::string TFormChildAxs::StatusPanelText() const {
    std::string text;
    if (source_ == nullptr) {
        return text;
    }
    for (int level : kStatusLevels) {
        const std::string name = TrimLeading(source_->GetLevelName(level));
        if (name.empty()) {
            continue;
        }
        if (!text.empty()) {
            text += "  ";
        }
        text += name;
    }
    return text;
}

void TFormChildAxs::RunCommand(int command, bool down) {
    if (!model_.HasData()) {
        return;
    }
    bool userMovedCursor = false;
    switch (command) {
        case 1:
            model_.ZoomXIn();
            break;
        case 2:
            model_.ZoomXOut();
            break;
        case 3:
            model_.ZoomYIn();
            break;
        case 4:
            model_.ZoomYOut();
            break;
        case 21:
            model_.Home();
            userMovedCursor = true;
            break;
        case 22:
            model_.PageLeft();
            userMovedCursor = true;
            break;
        case 23:
            model_.Left();
            userMovedCursor = true;
            break;
        case 24:
            model_.Right();
            userMovedCursor = true;
            break;
        case 25:
            model_.PageRight();
            userMovedCursor = true;
            break;
        case 26:
            model_.End();
            userMovedCursor = true;
            break;
        case 27:
            model_.CentreOnMaximum();
            userMovedCursor = true;
            break;
        default:
            if (command >= 5 && command <= 13) {
                model_.SetSwitch(command, down);
            }
            break;
    }
    if (userMovedCursor) {
        CursorMovedByUser();
    }
    Refresh();
}

void TFormChildAxs::CopyViewFrom(ISignalWindow& other) {
    auto* window = dynamic_cast<TFormChildAxs*>(&other);
    if (window != nullptr && model_.CopyViewFrom(window->model_)) {
        Refresh();
    }
}

void TFormChildAxs::SynchroniseScales() {
    if (!model_.HasData()) {
        return;
    }
    double lo = model_.DataYMin();
    double hi = model_.DataYMax();
    for (ISignalWindow* each : host_.SignalWindows()) {
        auto* window = dynamic_cast<TFormChildAxs*>(each);
        if (window != nullptr && window != this && model_.ScaleCompatible(window->model_)) {
            lo = std::min(lo, window->model_.DataYMin());
            hi = std::max(hi, window->model_.DataYMax());
        }
    }
    model_.SetDataYRange(lo, hi);
    Refresh();
}

void TFormChildAxs::SetLinkMode(int mode, ISignalWindow& active) {
    const auto* window = dynamic_cast<TFormChildAxs*>(&active);
    const double activeX =
        window != nullptr && window->model_.HasData() ? window->model_.CursorX() : model_.CursorX();
    model_.SetLinkMode(mode, activeX);
}

void TFormChildAxs::AnnounceCursor() {
    CursorMovedByUser();
}

void TFormChildAxs::CursorMovedByUser() {
    if (model_.LinkMode() == 0 || !model_.HasData()) {
        return;
    }
    const CursorAnnouncement announcement = model_.Announcement(this);
    for (ISignalWindow* each : host_.SignalWindows()) {
        auto* window = dynamic_cast<TFormChildAxs*>(each);
        if (window != nullptr && window != this) {
            window->FollowCursor(announcement);
        }
    }
}

void TFormChildAxs::FollowCursor(const CursorAnnouncement& announcement) {
    // Following never announces again: the cursors of linked windows cannot chase each other.
    if (model_.Follow(announcement, this)) {
        Refresh();
    }
}

void TFormChildAxs::ShowXRange(double lo, double hi) {
    model_.SetXRange(lo, hi);
    model_.UpdateMarkers();
    Refresh();
}

void TFormChildAxs::RebuildColumns() {
    model_.SetClientSize(width(), height(), false);
    Refresh();
}

void TFormChildAxs::ViewSettingsChanged() {
    if (!model_.HasData()) {
        return;
    }
    model_.SetFactor(FactorFor(model_.Kind(), model_.Quantity()), host_.Settings().view);
    Refresh();
}

void TFormChildAxs::ShiftView(double shift) {
    model_.ShiftX(shift);
    Refresh();
}

std::pair<double, double> TFormChildAxs::TimeRange() const {
    if (source_ == nullptr) {
        return {0.0, 0.0};
    }
    const archive::TDataHeader& h = source_->Header();
    return model_.TimeRange(static_cast<std::uint32_t>(h.Kind), h.XStep, h.XEnd);
}

// ---- Clipboard
// -----------------------------------------------------------------------------------------------

void TFormChildAxs::CopySamples(bool betweenCursors) {
    if (!model_.HasData()) {
        return;
    }
    try {
        const ClipboardText text = model_.SamplesText(betweenCursors, UserDecimalSeparator());
        QGuiApplication::clipboard()->setText(QString::fromStdString(text.text));
    } catch (const std::exception& error) {
        // Tens of millions of samples may not fit in memory as text: the user hears of it.
        host_.Ui().MessageDialog(UiFormat(text::kCannotCopy, {error.what()}), common::DialogType::Error,
                                 common::kButtonOk);
    }
}

void TFormChildAxs::CopyGraph() {
    QGuiApplication::clipboard()->setImage(Picture());
}

QImage TFormChildAxs::Picture() const {
    return RenderSignalImage(model_);
}

// ---- Drawing and input
// ---------------------------------------------------------------------------------------

void TFormChildAxs::Refresh() {
    RefreshCaption();
    host_.SignalWindowChanged(*this);
    update();
}

void TFormChildAxs::RefreshCaption() {
    std::string longText;
    std::string shortText;
    if (source_ != nullptr) {
        longText = TrimLeading(source_->GetLevelName(0));
        shortText = TrimLeading(source_->GetLevelName(1));
    }
    const QString caption = QStr(model_.Caption(longText, shortText));
    setWindowTitle(caption);
    if (parentWidget() != nullptr) {
        parentWidget()->setWindowTitle(caption);
    }
}

void TFormChildAxs::InstallSystemMenu() {
    auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget());
    if (sub == nullptr || sub == menuOwner_ || sub->systemMenu() == nullptr) {
        return;
    }
    menuOwner_ = sub;
    QMenu* menu = sub->systemMenu();
    menu->addSeparator();
    for (QAction* action : copyActions_) {
        menu->addAction(action);
    }
}

void TFormChildAxs::showEvent(QShowEvent* event) {
    InstallSystemMenu();
    RefreshCaption();
    QWidget::showEvent(event);
}

void TFormChildAxs::paintEvent(QPaintEvent*) {
    if (host_.UpdatesHeld()) {
        return;
    }
    QPainter painter(this);
    if (model_.PlotTooSmall()) {
        painter.fillRect(rect(), Qt::white);
        return;
    }
    // The picture is drawn off-screen in one piece and then shown: the same image the clipboard gets.
    painter.drawImage(0, 0, RenderSignalImage(model_, devicePixelRatioF()));
}

void TFormChildAxs::resizeEvent(QResizeEvent* event) {
    model_.SetClientSize(width(), height(), host_.ColumnsHeld());
    RefreshCaption();
    QWidget::resizeEvent(event);
}

void TFormChildAxs::keyPressEvent(QKeyEvent* event) {
    if (!host_.HandleFrameKey(event->key(), event->modifiers())) {
        QWidget::keyPressEvent(event);
    }
}

void TFormChildAxs::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        const int index = model_.IndexAtPixel(at.x(), at.y());
        if (index > 0) {
            model_.MoveCursor(index);
            CursorMovedByUser();
            Refresh();
        }
    } else if (event->button() == Qt::RightButton) {
        const int index = model_.IndexAtPixel(at.x(), at.y());
        if (index > 0) {
            model_.SetSecondCursor(index);
            Refresh();
        }
    } else if (event->button() == Qt::MiddleButton) {
        dragging_ = true;
        dragX_ = at.x();
    }
    event->accept();
}

void TFormChildAxs::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_ || !(event->buttons() & Qt::MiddleButton)) {
        return;
    }
    const int x = event->position().toPoint().x();
    const int travel = x - dragX_;
    if (travel == 0) {
        return;
    }
    dragX_ = x;
    // The curve follows the pointer: a drag to the right shows earlier data.
    host_.ShiftViews(*this, model_.PixelShiftToX(travel));
}

void TFormChildAxs::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::MiddleButton) {
        dragging_ = false;
    }
}

void TFormChildAxs::wheelEvent(QWheelEvent* event) {
    // Fine-grained wheels and touchpads send parts of a notch: one zoom step per whole notch.
    wheelDelta_ += event->angleDelta().y();
    while (std::abs(wheelDelta_) >= kWheelNotch) {
        const bool up = wheelDelta_ > 0;
        wheelDelta_ += up ? -kWheelNotch : kWheelNotch;
        host_.HandleFrameKey(up ? Qt::Key_Plus : Qt::Key_Minus, Qt::KeypadModifier);
    }
    event->accept();
}

QWidget* CreateSignalWindow(ISignalWindowHost& host) {
    return new TFormChildAxs(host);
}

}  // namespace velmar::ui
