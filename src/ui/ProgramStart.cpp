#include "ui/ProgramStart.hpp"

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdio>

#include <QElapsedTimer>
#include <QLocale>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QTimer>
#include <QTreeWidget>

#include "archive/DemoArchive.hpp"
#include "archive/ProgDBLevel.hpp"
#include "common/ProgramContext.hpp"
#include "common/Vocabulary.hpp"
#include "ui/ArchiveTreeWidget.hpp"
#include "ui/FormChildAxs.hpp"
#include "ui/MainFormAxs.hpp"
#include "ui/QtText.hpp"
#include "ui/SelAnythingForm.hpp"
#include "ui/SingleInstance.hpp"
#include "ui/VelmarApplication.hpp"

namespace velmar::ui {

namespace fs = std::filesystem;
using archive::TDBLevel;

namespace {

// Reports the time of the first paint of a filled archive tree.
class FirstPaintClock final : public QObject {
  public:
    FirstPaintClock(QTreeWidget* tree, QElapsedTimer& clock, TMainFormAxs& window)
        : QObject(tree), tree_(tree), clock_(clock), window_(&window) {
        tree->viewport()->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!done_ && event->type() == QEvent::Paint && tree_->topLevelItemCount() > 0 &&
            tree_->topLevelItem(0)->childCount() > 0) {
            done_ = true;
            const qint64 ms = clock_.elapsed();
            std::printf("startup: %lld ms to the first painted archive tree\n", static_cast<long long>(ms));
            std::fflush(stdout);
            QPointer<TMainFormAxs> window = window_;
            QTimer::singleShot(0, watched, [window] {
                if (window) {
                    window->CloseWithoutAsking();
                }
            });
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    QTreeWidget* tree_;
    QElapsedTimer& clock_;
    QPointer<TMainFormAxs> window_;
    bool done_ = false;
};

std::string FirstActiveSection(const common::ProgramContext& program) {
    common::ExpertSystemRegistry registry;
    registry.Load(program.mainIni, program.iniDir);
    for (int slot = 1; slot <= common::kExpertSystemSlots; ++slot) {
        if (registry.ExpertSystemActive(slot) && !registry.Entry(slot).section.empty()) {
            return registry.Entry(slot).section;
        }
    }
    return archive::DemoArchiveOptions{}.slotSection;
}

TDBLevel* FirstShownChild(TDBLevel& node, int level) {
    for (TDBLevel* child = node.FirstChild(); child != nullptr; child = node.NextChild(1)) {
        if ((child->GetFlags() & archive::kFlagShownInTree) != 0 && child->GetLevelNumber() == level) {
            return child;
        }
    }
    return nullptr;
}

}  // namespace

StartOptions ParseStartOptions(const std::vector<std::string>& arguments) {
    StartOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == "--startup-time") {
            options.measureStartup = true;
        } else if (arguments[i] == "--screenshot" && i + 1 < arguments.size()) {
            options.screenshot = fs::path(arguments[++i]);
        } else if (arguments[i] == "--screenshot-view" && i + 1 < arguments.size()) {
            options.screenshotView = arguments[++i];
        } else if (arguments[i].rfind("--screenshot=", 0) == 0) {
            options.screenshot = fs::path(arguments[i].substr(13));
        }
    }
    return options;
}

bool EnsureArchive(const common::ProgramContext& program, QWidget* parent) {
    const fs::path archive = program.ArchivePath();
    std::error_code ec;
    if (fs::exists(archive, ec)) {
        return false;
    }
    QProgressDialog progress(Text(text::kMakingDemoArchive), QString(), 0, 1000, parent);
    progress.setWindowTitle(QStringLiteral("Velmar"));
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumDuration(0);
    progress.setValue(0);
    archive::DemoArchiveOptions options;
    options.slotSection = FirstActiveSection(program);
    archive::GenerateDemoArchive(archive, options, [&progress](double fraction) {
        const double clamped = std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0;
        progress.setValue(static_cast<int>(std::lround(clamped * 1000)));
        return true;
    });
    progress.setValue(1000);
    return true;
}

TDBLevel* ShowArchiveTour(TMainFormAxs& window) {
    TSelAnythingForm* browser = window.Browser();
    ArchiveTreeWidget* tree = browser->OutlineAnything();
    TDBLevel& root = window.ArchiveRoot();
    TDBLevel* machine = nullptr;
    // Every station open, down to the first machine found.
    std::vector<TDBLevel*> stations;
    for (TDBLevel* child = root.FirstChild(); child != nullptr; child = root.NextChild(1)) {
        stations.push_back(child);
    }
    for (std::size_t i = 0; i < stations.size(); ++i) {
        TDBLevel* station = stations[i];
        const int level = station->GetLevelNumber();
        if ((station->GetFlags() & archive::kFlagShownInTree) == 0 || level < archive::kLevelFirstStation ||
            level > archive::kLevelLastStation) {
            continue;
        }
        tree->ExpandNode(*station);
        for (TDBLevel* child = station->FirstChild(); child != nullptr; child = station->NextChild(1)) {
            if (child->GetLevelNumber() <= archive::kLevelLastStation) {
                stations.push_back(child);
            } else if (machine == nullptr && child->GetLevelNumber() == archive::kLevelMachine) {
                machine = child;
            }
        }
    }
    if (machine == nullptr) {
        return nullptr;
    }
    tree->ExpandNode(*machine);
    TDBLevel* newest = nullptr;
    for (TDBLevel* child = machine->FirstChild(); child != nullptr; child = machine->NextChild(1)) {
        if (child->GetLevelNumber() == archive::kLevelMeasurement) {
            newest = child;
        }
    }
    if (newest == nullptr) {
        browser->SelectNode(machine);
        return nullptr;
    }
    tree->ExpandNode(*newest);
    TDBLevel* point = FirstShownChild(*newest, archive::kLevelPoint);
    if (point == nullptr) {
        browser->SelectNode(newest);
        return newest;
    }
    tree->ExpandNode(*point);
    TDBLevel* direction = FirstShownChild(*point, archive::kLevelDirection);
    browser->SelectNode(direction != nullptr ? direction : point);
    if (QTreeWidgetItem* item = tree->currentItem()) {
        tree->scrollToItem(item);
    }
    return newest;
}

bool ShowSignalView(TMainFormAxs& window, TDBLevel& measurement, const std::string& view) {
    if (view == "tiled") {
        // Every channel of the measurement, as "Просмотр сигналов" opens them.
        window.Browser()->SelectNode(&measurement);
        window.Browser()->RunCommand(61);
        return !window.SignalSubWindows().empty();
    }
    const bool envelope = view == "envelope";
    const std::int32_t sourceKind = envelope ? common::kKindEnvelope : common::kKindSignal;
    TDBLevel* channel = nullptr;
    std::vector<TDBLevel*> pending{&measurement};
    while (!pending.empty() && channel == nullptr) {
        TDBLevel* node = pending.back();
        pending.pop_back();
        for (TDBLevel* child = node->FirstChild(); child != nullptr; child = node->NextChild(1)) {
            if (child->GetLevelNumber() == archive::kLevelPoint) {
                pending.insert(pending.begin(), child);
            } else if (channel == nullptr && child->GetLevelNumber() >= archive::kLevelDirection &&
                       child->Header().Kind == sourceKind &&
                       child->Header().Quantity == common::kQuantityAcceleration) {
                channel = child;
            }
        }
    }
    if (channel == nullptr) {
        return false;
    }
    QMdiSubWindow* sub = window.OpenSignalWindowOn(*channel, true);
    if (sub == nullptr) {
        return false;
    }
    sub->showMaximized();
    auto* signal = dynamic_cast<ISignalWindow*>(sub->widget());
    if (view == "spectrum" || envelope) {
        archive::TransformParams params = signal->Params();
        params.TargetKind = envelope ? common::kKindEnvelopeSpectrum : common::kKindSpectrum;
        params.TargetQuantity = envelope ? common::kQuantityAcceleration : common::kQuantityVelocity;
        if (!window.ApplyToActiveWindow(params)) {
            return false;
        }
        // The low orders are where a machine's faults show.
        if (auto* form = dynamic_cast<TFormChildAxs*>(signal)) {
            form->ShowXRange(0, envelope ? 200 : 250);
        }
        signal->RunCommand(8, true);  // harmonic markers
        window.UpdateToolbar();
    }
    signal->RunCommand(27, true);  // cursor on the maximum
    return true;
}

int RunProgram(int argc, char** argv) {
    QElapsedTimer clock;
    clock.start();
    VelmarApplication app(argc, argv);
    // Machine text never follows the user's locale; Qt has just set it from the environment.
    std::setlocale(LC_NUMERIC, "C");
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    QApplication::setApplicationName(QStringLiteral("Velmar"));
    QApplication::setApplicationDisplayName(QStringLiteral("Velmar"));

    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.emplace_back(argv[i]);
    }
    const StartOptions options = ParseStartOptions(arguments);
    const fs::path exeDir = QCoreApplication::applicationDirPath().toStdString();

    fs::path baseDir;
    common::ProgramContext program;
    try {
        baseDir = common::ChooseBaseDirectory(arguments, exeDir).baseDir;
        common::SeedBaseDirectory(baseDir, common::ResourceDirectory(exeDir));
        program = common::ProgramContext::Open(baseDir);
    } catch (const std::exception& error) {
        QMessageBox::critical(nullptr, QStringLiteral("Velmar"),
                              QStr(UiFormat(text::kCannotStart, {error.what()})));
        return 1;
    }
    app.SetErrorLog(baseDir / "velmar-errors.log");

    SingleInstance instance(baseDir);
    if (!instance.Claim()) {
        return 0;
    }

    try {
        EnsureArchive(program, nullptr);
    } catch (const std::exception& error) {
        QMessageBox::warning(nullptr, QStringLiteral("Velmar"),
                             QStr(UiFormat(text::kDemoArchiveFailed, {error.what()})));
    }

    std::unique_ptr<TMainFormAxs> window;
    try {
        MainFormSetup setup;
        setup.baseDir = baseDir;
        setup.arguments = arguments;
        setup.splash = !options.measureStartup && !options.screenshot;
        window = std::make_unique<TMainFormAxs>(std::move(setup));
    } catch (const std::exception& error) {
        QMessageBox::critical(
            nullptr, QStringLiteral("Velmar"),
            QStr(UiFormat(text::kCannotOpenArchive, {program.ArchivePath().string(), error.what()})));
        return 1;
    }
    QObject::connect(&instance, &SingleInstance::ActivationRequested, window.get(), [&window] {
        if (window->isMinimized()) {
            window->showNormal();
        }
        window->raise();
        window->activateWindow();
    });

    if (options.measureStartup) {
        new FirstPaintClock(window->Browser()->OutlineAnything(), clock, *window);
    }
    if (options.screenshot) {
        window->setWindowState(Qt::WindowNoState);
        window->setGeometry(0, 0, 1360, 860);
        window->show();
        const fs::path file = *options.screenshot;
        const std::string view = options.screenshotView;
        QTimer::singleShot(200, window.get(), [&window, file, view] {
            TDBLevel* newest = ShowArchiveTour(*window);
            if (!view.empty() && (newest == nullptr || !ShowSignalView(*window, *newest, view))) {
                std::printf("nothing to show for %s\n", view.c_str());
            }
            QTimer::singleShot(400, window.get(), [&window, file] {
                const bool saved = window->grab().save(QStr(file.string()), "PNG");
                std::printf("%s %s\n", saved ? "saved" : "could not save", file.string().c_str());
                window->CloseWithoutAsking();
            });
        });
    } else {
        window->ShowAsPlaced();
    }
    const int code = QApplication::exec();
    window.reset();
    return code;
}

}  // namespace velmar::ui
