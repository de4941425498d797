// A stand-in for the signal window: it attaches to the node like a signal window does (so it goes when the
// node goes), names the node, and shows no data, so that every data command of the toolbar stays disabled.

#include <QKeyEvent>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPointer>
#include <QVBoxLayout>
#include <QWidget>

#include "archive/NodeView.hpp"
#include "ui/QtText.hpp"
#include "ui/SignalWindow.hpp"

namespace velmar::ui {

namespace {

class PlaceholderSignalWindow final : public QWidget, public ISignalWindow, public archive::INodeView {
  public:
    explicit PlaceholderSignalWindow(ISignalWindowHost& host) : host_(host) {
        setObjectName(QStringLiteral("FormChildAxs"));
        auto* layout = new QVBoxLayout(this);
        label_ = new QLabel(this);
        label_->setAlignment(Qt::AlignCenter);
        label_->setWordWrap(true);
        layout->addWidget(label_);
        setMinimumSize(160, 90);
        setFocusPolicy(Qt::StrongFocus);
        setAttribute(Qt::WA_DeleteOnClose);
    }

    ~PlaceholderSignalWindow() override { Detach(); }

    bool OpenNode(archive::TDBLevel& node) override {
        Detach();
        node_ = &node;
        node.AttachView(this);
        statusText_ = StatusTextOf(node);
        const QString title = QStr(node.GetLevelName(13).empty() ? node.GetName() : node.GetLevelName(13));
        setWindowTitle(QStr(node.GetLevelName(7)) + QStringLiteral(" — ") + title.trimmed());
        label_->setText(QStr(statusText_));
        return true;
    }

    archive::TDBLevel* SourceNode() const override { return node_; }

    SignalWindowStatus Status() const override {
        SignalWindowStatus status;
        status.switches[0] = true;  // single value
        status.statusText = node_ != nullptr ? statusText_ : std::string();
        return status;
    }

    void RunCommand(int, bool) override {}

    void OnNodeEvent(archive::TDBLevel& node, archive::NodeEvent event, std::string_view) override {
        if (&node != node_) {
            return;
        }
        if (event == archive::NodeEvent::Destroyed) {
            node_->DetachView(this);
            node_ = nullptr;
            // The window shows nothing any more: it goes once the notification is over.
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
        } else if (event == archive::NodeEvent::Renamed) {
            statusText_ = StatusTextOf(node);
            label_->setText(QStr(statusText_));
            host_.SignalWindowChanged(*this);
        }
    }

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (!host_.HandleFrameKey(event->key(), event->modifiers())) {
            QWidget::keyPressEvent(event);
        }
    }

  private:
    static std::string StatusTextOf(const archive::TDBLevel& node) {
        std::string text;
        const auto add = [&text](const std::string& part) {
            const std::string trimmed = part.empty() || part.front() != ' ' ? part : part.substr(1);
            if (trimmed.empty()) {
                return;
            }
            if (!text.empty()) {
                text += "  /  ";
            }
            text += trimmed;
        };
        for (int level = archive::kLevelFirstStation; level <= archive::kLevelLastStation; ++level) {
            add(node.GetLevelName(level));
        }
        add(node.GetLevelName(archive::kLevelMachine));
        add(node.GetLevelName(archive::kLevelMeasurement));
        add(node.GetLevelName(13));
        return text;
    }

    void Detach() {
        if (node_ != nullptr) {
            node_->DetachView(this);
            node_ = nullptr;
        }
    }

    ISignalWindowHost& host_;
    QLabel* label_ = nullptr;
    archive::TDBLevel* node_ = nullptr;
    std::string statusText_;
};

}  // namespace

QWidget* CreatePlaceholderSignalWindow(ISignalWindowHost& host) {
    return new PlaceholderSignalWindow(host);
}

}  // namespace velmar::ui
