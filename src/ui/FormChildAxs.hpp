#pragma once
// The signal window: one channel of the archive shown converted as its transform record asks (signal,
// spectrum, envelope spectrum, harmonics...), drawn by the window itself with cursors, markers and zoom. It
// lives in a child window of the main window, which drives it with the toolbar and the keys.

#include <string>
#include <vector>

#include <QImage>
#include <QWidget>

#include "archive/NodeView.hpp"
#include "archive/TransformParams.hpp"
#include "ui/SignalWindow.hpp"
#include "ui/SignalWindowModel.hpp"

class QAction;
class QMdiSubWindow;

namespace velmar::ui {

class TFormChildAxs final : public QWidget, public ISignalWindow, public archive::INodeView {
    Q_OBJECT

  public:
    // System-menu commands of every signal window.
    static constexpr int kCommandCopyAllSamples = 1139;
    static constexpr int kCommandCopySamplesBetweenCursors = 1140;
    static constexpr int kCommandCopyGraph = 1141;

    explicit TFormChildAxs(ISignalWindowHost& host, QWidget* parent = nullptr);
    ~TFormChildAxs() override;

    // ---- ISignalWindow
    bool OpenNode(archive::TDBLevel& node) override;
    archive::TDBLevel* SourceNode() const override { return source_; }
    SignalWindowStatus Status() const override;
    void RunCommand(int command, bool down) override;
    void CopyViewFrom(ISignalWindow& other) override;
    void SynchroniseScales() override;
    void SetLinkMode(int mode, ISignalWindow& active) override;
    void AnnounceCursor() override;
    void RebuildColumns() override;
    void ViewSettingsChanged() override;
    void ShiftView(double shift) override;
    bool ApplyParams(archive::TransformParams& params) override;
    archive::TransformParams Params() const override { return params_; }
    std::pair<double, double> TimeRange() const override;

    // ---- INodeView
    void OnNodeEvent(archive::TDBLevel& node, archive::NodeEvent event, std::string_view text) override;

    // ---- The window's own commands
    // Samples as text on the clipboard: every point, or the points between the cursors.
    void CopySamples(bool betweenCursors);
    // The window's picture on the clipboard, exactly as on screen.
    void CopyGraph();
    // The picture as painted now.
    QImage Picture() const;
    // Shows the abscissas lo .. hi (a view chosen by the program, not by the user's zoom).
    void ShowXRange(double lo, double hi);
    // Follows the cursor of a linked window.
    void FollowCursor(const CursorAnnouncement& announcement);

    const SignalWindowModel& Model() const noexcept { return model_; }
    SignalWindowModel& Model() noexcept { return model_; }
    archive::TDBLevel* DerivedNode() const noexcept { return derived_; }
    // The three copy commands as they stand in the window's system menu.
    const std::vector<QAction*>& CopyActions() const noexcept { return copyActions_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void LoadSeries(SignalWindowModel::Keep keep);
    void ReleaseDerived();
    void DetachSource();
    void Refresh();
    void RefreshCaption();
    void InstallSystemMenu();
    void CursorMovedByUser();
    double FactorFor(std::uint32_t kind, std::uint32_t quantity) const;
    std::string StatusPanelText() const;

    ISignalWindowHost& host_;
    SignalWindowModel model_;
    archive::TDBLevel* source_ = nullptr;
    archive::TDBLevel* derived_ = nullptr;
    archive::TransformParams params_;
    // Copies of values the derived buffer does not hold contiguously (pairs, harmonics).
    std::vector<double> values_;
    std::vector<double> phases_;
    std::vector<double> xs_;
    std::vector<double> areas_;
    std::vector<QAction*> copyActions_;
    QMdiSubWindow* menuOwner_ = nullptr;
    bool dragging_ = false;
    int dragX_ = 0;
    int wheelDelta_ = 0;
};

// Makes a signal window for the main window.
QWidget* CreateSignalWindow(ISignalWindowHost& host);

}  // namespace velmar::ui
