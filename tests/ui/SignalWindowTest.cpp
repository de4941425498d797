// The real signal window inside the real main window, over a copy of the demo archive: opening a channel,
// switching it to a spectrum through its parameters, keys, mouse, links between windows and the clipboard.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QTest>

#include "UiTestSupport.hpp"
#include "archive/PathDBLevel.hpp"
#include "archive/ProgDBLevel.hpp"
#include "common/Numbers.hpp"
#include "common/StringTable.hpp"
#include "common/Vocabulary.hpp"
#include "ui/FormChildAxs.hpp"
#include "ui/FrameButtons.hpp"
#include "ui/MainFormAxs.hpp"

namespace velmar::ui {
namespace {

using archive::TDBLevel;
namespace fs = std::filesystem;

class SignalWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        MainFormSetup setup;
        setup.baseDir = home_.Base();
        setup.ui = &ui_;
        setup.splash = false;
        window_ = std::make_unique<TMainFormAxs>(std::move(setup));
        window_->resize(1200, 800);
        window_->show();
        window_->BrowserWindow()->showMinimized();
    }

    void TearDown() override {
        window_.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    TDBLevel* Measurement() {
        TDBLevel* station = test::ChildNamed(window_->ArchiveRoot(), "Котельная");
        TDBLevel* machine = test::ChildNamed(*station, "К-1 воздушный");
        return test::LastChildAtLevel(*machine, archive::kLevelMeasurement);
    }

    // The first channel of the newest measurement holding data of this kind and quantity.
    TDBLevel* Channel(std::int32_t kind, std::int32_t quantity) {
        TDBLevel* measurement = Measurement();
        for (TDBLevel* point = measurement->FirstChild(); point != nullptr;
             point = measurement->NextChild(1)) {
            for (TDBLevel* d = point->FirstChild(); d != nullptr; d = point->NextChild(1)) {
                if (d->Header().Kind == kind && d->Header().Quantity == quantity) {
                    return d;
                }
            }
        }
        return nullptr;
    }

    TFormChildAxs* Open(TDBLevel* node) {
        EXPECT_NE(node, nullptr);
        if (node == nullptr) {
            return nullptr;
        }
        QMdiSubWindow* sub = window_->OpenSignalWindowOn(*node, true);
        EXPECT_NE(sub, nullptr);
        if (sub == nullptr) {
            return nullptr;
        }
        sub->resize(760, 460);
        window_->MdiArea()->setActiveSubWindow(sub);
        QCoreApplication::processEvents();
        return dynamic_cast<TFormChildAxs*>(sub->widget());
    }

    // The centre pixel column of point i.
    static QPoint PixelOf(const TFormChildAxs& form, int i) {
        const SignalWindowModel& m = form.Model();
        return {m.Mapping().XToPixel(m.X(i)), (m.Plot().top + m.Plot().bottom) / 2};
    }

    test::TestHome home_;
    test::ScriptedUi ui_;
    std::unique_ptr<TMainFormAxs> window_;
};

TEST_F(SignalWindowTest, OpensAChannelWithItsDataCaptionStatusAndCopyCommands) {
    TDBLevel* channel = Channel(common::kKindSignal, common::kQuantityAcceleration);
    TFormChildAxs* form = Open(channel);
    ASSERT_NE(form, nullptr);
    const SignalWindowModel& m = form->Model();
    ASSERT_TRUE(m.HasData());
    EXPECT_EQ(m.Kind(), common::kKindSignal);
    EXPECT_EQ(m.Count(), channel->Header().Count);
    EXPECT_EQ(m.CursorIndex(), 1);
    EXPECT_TRUE(m.Decimated()) << "thousands of samples in a few hundred pixels";
    EXPECT_TRUE(m.Switches().minMax && !m.Switches().single) << "a decimated view shows the band";
    EXPECT_TRUE(window_->Action(FrameButton::UpDown)->isChecked());
    EXPECT_TRUE(window_->Action(FrameButton::Home)->isEnabled());
    EXPECT_TRUE(window_->Action(FrameButton::PlaySound)->isEnabled()) << "a time signal can be heard";
    EXPECT_FALSE(window_->Action(FrameButton::GarmOn)->isEnabled()) << "no markers on a time signal";
    EXPECT_TRUE(window_->StantionPanel()->text().contains(QStringLiteral("К-1 воздушный")));

    const QString caption = form->windowTitle();
    EXPECT_TRUE(caption.startsWith(QString::fromStdString(channel->GetLevelName(0)).trimmed()))
        << caption.toStdString();
    EXPECT_TRUE(caption.contains(QStringLiteral("[СКЗ: "))) << "a wide window names the RMS value";

    QMenu* menu = qobject_cast<QMdiSubWindow*>(form->parentWidget())->systemMenu();
    QStringList texts;
    for (QAction* action : menu->actions()) {
        texts << action->text();
    }
    for (int id : {703, 705, 704}) {
        EXPECT_TRUE(texts.contains(QString::fromStdString(common::LoadText(id)))) << id;
    }
}

TEST_F(SignalWindowTest, VelocitySpectrumThroughParametersWithKeysZoomAndClipboard) {
    TDBLevel* channel = Channel(common::kKindSignal, common::kQuantityAcceleration);
    TFormChildAxs* form = Open(channel);
    ASSERT_NE(form, nullptr);
    archive::TransformParams params = window_->ActiveWindowParameters();
    params.TargetKind = common::kKindSpectrum;
    params.TargetQuantity = common::kQuantityVelocity;
    ASSERT_TRUE(window_->ApplyToActiveWindow(params));
    EXPECT_EQ(params.TargetKind, common::kKindSpectrum) << "the record as applied comes back";
    const SignalWindowModel& m = form->Model();
    ASSERT_EQ(m.Kind(), common::kKindSpectrum);
    ASSERT_EQ(m.Quantity(), common::kQuantityVelocity);
    EXPECT_TRUE(window_->Action(FrameButton::GarmOn)->isEnabled());
    EXPECT_FALSE(window_->Action(FrameButton::PlaySound)->isEnabled());
    EXPECT_EQ(m.YLo(), 0) << "spectra start at zero";

    // Keys come through the frame's key handler, as a user presses them in the window.
    QTest::keyClick(form, Qt::Key_End);
    EXPECT_EQ(m.CursorIndex(), m.Count());
    QTest::keyClick(form, Qt::Key_Home);
    EXPECT_EQ(m.CursorIndex(), 1);
    int zooms = 0;
    while (m.Decimated() && zooms < 20) {
        QTest::keyClick(form, Qt::Key_Plus, Qt::KeypadModifier);
        ++zooms;
    }
    ASSERT_FALSE(m.Decimated()) << "zooming in ends with one point per column";
    EXPECT_TRUE(m.Switches().single || !m.Decimated());
    const double step = m.Series().sampling.step;
    for (int i = 0; i < 20; ++i) {
        QTest::keyClick(form, Qt::Key_Plus, Qt::KeypadModifier);
    }
    EXPECT_GE((m.XMax() - m.XMin()) / 2, 10 * step * (1 - 1e-9)) << "zoom stops at ten steps per half view";
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(form, Qt::Key_Right);
    }
    EXPECT_EQ(m.CursorIndex(), 4);
    const double yBefore = m.YHi() - m.YLo();
    QTest::keyClick(form, Qt::Key_Up);
    EXPECT_LT(m.YHi() - m.YLo(), yBefore) << "Up zooms Y in";

    // The second cursor by the right button, then the samples between the cursors, second cursor first.
    QTest::mouseClick(form, Qt::RightButton, {}, PixelOf(*form, 9));
    ASSERT_TRUE(m.SecondCursorOn());
    ASSERT_EQ(m.SecondCursorIndex(), 9);
    QTest::mouseClick(form, Qt::LeftButton, {}, PixelOf(*form, 12));
    ASSERT_EQ(m.CursorIndex(), 12);
    form->CopyActions()[1]->trigger();
    const QString copied = QGuiApplication::clipboard()->text();

    // Expected from the derived level's own accessors, independent of the model.
    const TDBLevel* derived = form->DerivedNode();
    ASSERT_NE(derived, nullptr);
    const double factor =
        common::DisplayFactor(common::kKindSpectrum, common::kQuantityVelocity, window_->Settings().view);
    const QString point = QLocale::system().decimalPoint();
    std::string expected;
    for (int i = 9; i <= 12; ++i) {
        std::string line = common::FormatCompact(10, derived->X(i)) + "\t" +
                           common::FormatCompact(10, derived->Y(i) * factor) + "\t" +
                           common::FormatCompact(10, derived->Phase(i) * std::numbers::pi / 180);
        for (char& c : line) {
            if (c == '.' || c == ',') {
                c = point.at(0).toLatin1();
            }
        }
        expected += line + "\r\n";
    }
    EXPECT_EQ(copied.toStdString(), expected);

    form->CopyActions()[0]->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text().count(QStringLiteral("\r\n")), m.Count())
        << "every line of the spectrum";
}

TEST_F(SignalWindowTest, MouseWheelZoomsAndMiddleDragPansInsideTheData) {
    TFormChildAxs* form = Open(Channel(common::kKindSignal, common::kQuantityAcceleration));
    ASSERT_NE(form, nullptr);
    const SignalWindowModel& m = form->Model();
    const double fullWidth = m.XMax() - m.XMin();
    QTest::mouseClick(form, Qt::LeftButton, {}, PixelOf(*form, m.Count() / 2));
    const int cursor = m.CursorIndex();
    EXPECT_NEAR(cursor, m.Count() / 2, m.Count() / 100 + 1);

    QWheelEvent wheel(QPointF(200, 100), form->mapToGlobal(QPointF(200, 100)), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(form, &wheel);
    EXPECT_NEAR(m.XMax() - m.XMin(), fullWidth / 2, fullWidth * 1e-9) << "wheel up zooms X in";
    EXPECT_EQ(m.CursorIndex(), cursor);

    // A fine-grained wheel sends a notch in parts: one zoom step per whole notch, not one per part.
    const double halfWidth = m.XMax() - m.XMin();
    for (int part = 0; part < 8; ++part) {
        QWheelEvent fine(QPointF(200, 100), form->mapToGlobal(QPointF(200, 100)), QPoint(), QPoint(0, 15),
                         Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(form, &fine);
    }
    EXPECT_NEAR(m.XMax() - m.XMin(), halfWidth / 2, fullWidth * 1e-9);

    // Dragging to the right by 100 pixels shows earlier data, keeping the cursor where it was.
    const double before = m.XMin();
    const double perPixel = (m.XMax() - m.XMin()) / (m.Plot().Width() - 1);
    QTest::mousePress(form, Qt::MiddleButton, {}, QPoint(300, 100));
    QMouseEvent move(QEvent::MouseMove, QPointF(400, 100), form->mapToGlobal(QPointF(400, 100)), Qt::NoButton,
                     Qt::MiddleButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form, &move);
    QTest::mouseRelease(form, Qt::MiddleButton, {}, QPoint(400, 100));
    EXPECT_NEAR(m.XMin(), before - 100 * perPixel, perPixel * 1e-6);
    EXPECT_EQ(m.CursorIndex(), cursor);

    // However far it is dragged, the view stays inside the data.
    QTest::mousePress(form, Qt::MiddleButton, {}, QPoint(100, 100));
    QMouseEvent far(QEvent::MouseMove, QPointF(5000, 100), form->mapToGlobal(QPointF(5000, 100)),
                    Qt::NoButton, Qt::MiddleButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form, &far);
    EXPECT_DOUBLE_EQ(m.XMin(), m.X(1));
}

TEST_F(SignalWindowTest, SynchronisedCursorsKeepTheirOffsetsAndDoNotChaseEachOther) {
    TDBLevel* channel = Channel(common::kKindSignal, common::kQuantityAcceleration);
    TFormChildAxs* a = Open(channel);
    TFormChildAxs* b = Open(channel);
    ASSERT_TRUE(a != nullptr && b != nullptr);
    const double step = a->Model().Series().sampling.step;
    b->Model().MoveCursor(101);
    a->Model().MoveCursor(1);
    window_->MdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(a->parentWidget()));
    window_->SetLinkMode(2);
    EXPECT_EQ(b->Model().CursorIndex(), 101) << "taking the link moves nobody";
    EXPECT_NEAR(b->Model().LinkOffset(), 100 * step, step * 1e-6);

    QTest::keyClick(a, Qt::Key_End);
    QTest::keyClick(a, Qt::Key_Home);
    for (int i = 0; i < 5; ++i) {
        QTest::keyClick(a, Qt::Key_Right);
    }
    const int aCursor = a->Model().CursorIndex();
    EXPECT_EQ(b->Model().IndexOfX(b->Model().CursorX()),
              b->Model().IndexOfX(a->Model().CursorX() + 100 * step));
    EXPECT_EQ(a->Model().CursorIndex(), aCursor) << "the follower does not push the leader back";

    window_->SetLinkMode(1);
    EXPECT_EQ(b->Model().CursorIndex(), a->Model().CursorIndex()) << "linked cursors meet at one abscissa";
    window_->SetLinkMode(0);
    QTest::keyClick(a, Qt::Key_Home);
    EXPECT_NE(b->Model().CursorIndex(), a->Model().CursorIndex());
}

TEST_F(SignalWindowTest, TheClipboardPictureIsWhatTheScreenShows) {
    TDBLevel* channel = Channel(common::kKindSignal, common::kQuantityAcceleration);
    TFormChildAxs* form = Open(channel);
    ASSERT_NE(form, nullptr);
    form->CopyActions()[2]->trigger();
    const QImage copied = QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32);
    const QImage shown = form->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(copied.size(), shown.size());
    EXPECT_TRUE(copied == shown);
    // The picture holds the curve's band colour and the grey margins.
    EXPECT_TRUE(copied.pixelColor(2, 2) == QColor(190, 190, 190));
    bool band = false;
    for (int x = form->Model().Plot().left + 1; x < form->Model().Plot().right && !band; ++x) {
        for (int y = form->Model().Plot().top + 1; y < form->Model().Plot().bottom && !band; ++y) {
            band = copied.pixelColor(x, y) == QColor(0, 0, 130);
        }
    }
    EXPECT_TRUE(band);
}

TEST_F(SignalWindowTest, AnUnreadableChannelIsReportedAndNoWindowStays) {
    TDBLevel* channel = Channel(common::kKindSignal, common::kQuantityAcceleration);
    ASSERT_NE(channel, nullptr);
    // The measurement file goes away behind the program's back.
    const auto* pathNode = dynamic_cast<const archive::TPathDBLevel*>(channel);
    ASSERT_NE(pathNode, nullptr);
    const fs::path file = pathNode->GetPath();
    ASSERT_TRUE(fs::remove(file));
    EXPECT_EQ(window_->OpenSignalWindowOn(*channel, true), nullptr);
    EXPECT_TRUE(ui_.Said(common::LoadText(702)));
    EXPECT_TRUE(window_->SignalSubWindows().empty());
    EXPECT_TRUE(window_->StantionPanel()->text().isEmpty());
}

TEST_F(SignalWindowTest, DeletingTheMeasurementClosesItsWindowsWithoutTouchingFreedLevels) {
    TFormChildAxs* form = Open(Channel(common::kKindSignal, common::kQuantityAcceleration));
    ASSERT_NE(form, nullptr);
    archive::TransformParams params = window_->ActiveWindowParameters();
    params.TargetKind = common::kKindSpectrum;
    params.TargetQuantity = common::kQuantityVelocity;
    ASSERT_TRUE(window_->ApplyToActiveWindow(params));
    TDBLevel* measurement = Measurement();
    ASSERT_EQ(measurement->Parent()->DeleteChild(*measurement), archive::DeleteResult::Deleted);
    EXPECT_TRUE(test::SpinUntil([this] { return window_->SignalSubWindows().empty(); }));
}

// A long seeded run of everything a user can do to signal windows, in any order: no operation may leave a
// window pointing at data that went (the sanitizers watch), and every window keeps a sane view.
TEST_F(SignalWindowTest, RandomUseLeavesEveryWindowSane) {
    TDBLevel* signal = Channel(common::kKindSignal, common::kQuantityAcceleration);
    TDBLevel* envelope = Channel(common::kKindEnvelope, common::kQuantityAcceleration);
    ASSERT_TRUE(signal != nullptr && envelope != nullptr);
    std::vector<TFormChildAxs*> forms = {Open(signal), Open(signal), Open(envelope)};
    std::uint64_t state = 20261211;
    const auto next = [&state](int n) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<int>((state >> 33) % static_cast<std::uint64_t>(n));
    };
    const std::pair<std::int32_t, std::int32_t> targets[] = {{0, 0},  {4, 2},   {4, 4}, {4, 1}, {32, 4},
                                                             {64, 2}, {128, 4}, {2, 2}, {8, 2}};
    for (int step = 0; step < 600; ++step) {
        TFormChildAxs* form = forms[static_cast<std::size_t>(next(3))];
        window_->MdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(form->parentWidget()));
        const SignalWindowModel& m = form->Model();
        switch (next(9)) {
            case 0: {
                const int commands[] = {1, 2, 3, 4, 21, 22, 23, 24, 25, 26, 27};
                form->RunCommand(commands[next(11)], true);
                break;
            }
            case 1:
                form->RunCommand(5 + next(9), next(2) == 0);
                break;
            case 2: {
                const QPoint at(next(form->width()), next(form->height()));
                QTest::mouseClick(form, next(2) == 0 ? Qt::LeftButton : Qt::RightButton, {}, at);
                break;
            }
            case 3: {
                QTest::mousePress(form, Qt::MiddleButton, {}, QPoint(200, 100));
                const QPointF to(next(2000) - 1000, 100);
                QMouseEvent move(QEvent::MouseMove, to, form->mapToGlobal(to), Qt::NoButton, Qt::MiddleButton,
                                 Qt::NoModifier);
                QCoreApplication::sendEvent(form, &move);
                QTest::mouseRelease(form, Qt::MiddleButton, {}, to.toPoint());
                break;
            }
            case 4:
                window_->SetLinkMode(next(3));
                break;
            case 5:
                window_->SetWindowsSynchronised(next(2) == 0);
                break;
            case 6: {
                archive::TransformParams params = form->Params();
                const auto& [kind, quantity] = targets[next(9)];
                params.TargetKind = kind;
                params.TargetQuantity = quantity;
                form->ApplyParams(params);
                break;
            }
            case 7:
                form->parentWidget()->resize(60 + next(900), 40 + next(600));
                break;
            default:
                form->CopySamples(true);
                break;
        }
        QCoreApplication::processEvents();
        if (m.HasData()) {
            ASSERT_GE(m.CursorIndex(), 1);
            ASSERT_LE(m.CursorIndex(), m.Count());
            ASSERT_LE(m.XMin(), m.XMax());
            ASSERT_LE(m.YLo(), m.YHi());
            ASSERT_LE(m.Columns().columns.size(), static_cast<std::size_t>(kMaxColumns));
            (void)form->Picture();
        }
    }
    // The measurement goes with its windows open.
    TDBLevel* measurement = Measurement();
    ASSERT_EQ(measurement->Parent()->DeleteChild(*measurement), archive::DeleteResult::Deleted);
    EXPECT_TRUE(test::SpinUntil([this] { return window_->SignalSubWindows().empty(); }));
}

}  // namespace
}  // namespace velmar::ui
