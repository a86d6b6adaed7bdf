// The caption example and detection-area window, driven through real mouse events offscreen.
#include "imaging/widgets/DetectionAreaPicker.h"
#include "imaging/widgets/PictureView.h"
#include "imaging/widgets/CaptionAndAreaWindow.h"
#include "settings/ActiveSettings.h"
#include "support/ControlNames.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QFile>
#include <QMouseEvent>
#include <gtest/gtest.h>
#include <optional>

namespace tarvo {

namespace {

constexpr Colour Lime = 0x0000FF00;

// A window wired like the setup dialog wires it, recording what it writes back.
struct AreaWindow {
    // programDir: the program folder with the example picture; camera writes the still file anew.
    explicit AreaWindow(const QString& programDir, const QString& stillFile = QString(),
                        std::function<void()> camera = {}, QWidget* dialog = nullptr)
    {
        CaptionAndAreaWindow::Hooks hooks;
        hooks.saveSingleImage = std::move(camera);
        hooks.singleImageFile = [stillFile] { return stillFile; };
        hooks.shownArea = [this] { return shown; };
        hooks.storeArea = [this](const DetectionArea& a) { stored = a; ++stores; };
        hooks.showError = [this](const QString& text) { errors << text; };
        hooks.captionSettings = [this] { return caption; };
        settings.options.MarkColor = Lime;
        window = std::make_unique<CaptionAndAreaWindow>(settings, programDir, std::move(hooks), dialog);
        caption = DefaultOptions(programDir);
    }
    void openForArea()
    {
        window->DefineAreaMode = true;
        window->show();
    }
    void move(int x, int y)
    {
        QMouseEvent e(QEvent::MouseMove, QPointF(x, y), QPointF(x, y), Qt::NoButton, Qt::NoButton,
                      Qt::NoModifier);
        QApplication::sendEvent(view(), &e);
    }
    void click(int x, int y)
    {
        move(x, y);
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(x, y), QPointF(x, y), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view(), &press);
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(x, y), QPointF(x, y), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(view(), &release);
    }
    PictureView* view() const { return window->findChild<PictureView*>(kCaptionWindowPicture); }
    QRgb pixel(int x, int y) const { return window->ShownPicture().pixel(x, y) & 0xFFFFFF; }

    DetectionArea shown{50, 50, 100, 100};
    std::optional<DetectionArea> stored;
    int stores = 0;
    QStringList errors;
    OptionsValues caption;
    ActiveSettings settings;
    std::unique_ptr<CaptionAndAreaWindow> window;
};

class ExampleWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The bundled 320 x 240 example picture lies beside the program.
        QFile::copy(SourceDir() + "/assets/example.bmp", program.dir() + "example.bmp");
    }

    // A plain white still picture, as if the camera had written one.
    QString writeStill(QSize size)
    {
        QImage still(size, QImage::Format_RGB32);
        still.fill(Qt::white);
        const QString path = program.dir() + "Capture.bmp";
        EXPECT_TRUE(still.save(path, "BMP"));
        return path;
    }

    ScratchProgram program;
};

} // namespace

TEST_F(ExampleWindow, StoresCornersOrderedWhateverTheClickOrder)
{
    struct Case {
        const char* name;
        QPoint first, second;
    };
    const Case cases[] = {
        {"top-left first", {10, 20}, {200, 150}},
        {"right to left", {200, 20}, {10, 150}},
        {"bottom to top", {10, 150}, {200, 20}},
        {"bottom-right first", {200, 150}, {10, 20}},
        {"same point twice", {40, 40}, {40, 40}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AreaWindow w(program.dir());
        w.openForArea();
        w.click(c.first.x(), c.first.y());
        EXPECT_TRUE(w.window->isVisible()) << "the first corner keeps the window open";
        w.click(c.second.x(), c.second.y());
        EXPECT_FALSE(w.window->isVisible()) << "the second corner closes it";
        ASSERT_TRUE(w.stored);
        EXPECT_EQ(*w.stored, (DetectionArea{std::min(c.first.x(), c.second.x()),
                                            std::min(c.first.y(), c.second.y()),
                                            std::max(c.first.x(), c.second.x()),
                                            std::max(c.first.y(), c.second.y())}));
        EXPECT_FALSE(w.window->DefineAreaMode);
    }
}

TEST_F(ExampleWindow, ClosingEarlyStillWritesTheAreaBack)
{
    AreaWindow none(program.dir());
    none.openForArea();
    none.move(120, 80);
    none.window->close();
    ASSERT_TRUE(none.stored);
    EXPECT_EQ(*none.stored, (DetectionArea{0, 0, 0, 0}));

    AreaWindow one(program.dir());
    one.openForArea();
    one.click(120, 80);
    one.move(300, 10);
    one.window->close();
    ASSERT_TRUE(one.stored);
    EXPECT_EQ(*one.stored, (DetectionArea{0, 0, 120, 80})) << "the unclicked corner stays at 0, 0";

    // A window shown for the caption example writes nothing back.
    AreaWindow caption(program.dir());
    caption.window->DefineAreaMode = false;
    caption.window->show();
    caption.click(30, 30);
    caption.window->hide();
    EXPECT_EQ(caption.stores, 0);
}

TEST_F(ExampleWindow, TitleFollowsTheMouse)
{
    AreaWindow w(program.dir());
    w.openForArea();
    EXPECT_EQ(w.window->windowTitle(), "Define motion detection area:");
    w.move(17, 203);
    EXPECT_EQ(w.window->windowTitle(), "Define motion detection area: (17, 203)");
    w.click(5, 6);
    w.move(0, 0);
    EXPECT_EQ(w.window->windowTitle(), "Define motion detection area: (0, 0)");
    w.window->hide();

    w.window->DefineAreaMode = false;
    w.window->show();
    EXPECT_EQ(w.window->windowTitle(), "Caption Example");
    w.move(40, 40);
    EXPECT_EQ(w.window->windowTitle(), "Caption Example") << "no coordinates outside area mode";
}

TEST_F(ExampleWindow, DrawsTheShownAreaThenTheRubberBand)
{
    AreaWindow w(program.dir(), writeStill({160, 120}));
    w.shown = {10, 20, 60, 70};
    w.openForArea();
    EXPECT_EQ(w.view()->size(), QSize(160, 120)) << "the window fits the camera's still";
    EXPECT_EQ(w.window->size(), QSize(160, 120)) << "nothing around the picture";
    EXPECT_EQ(w.pixel(10, 20), QRgb(0x00FF00));
    EXPECT_EQ(w.pixel(59, 69), QRgb(0x00FF00));
    EXPECT_EQ(w.pixel(60, 70), QRgb(0xFFFFFF)) << "the end corner lies just outside the outline";
    EXPECT_EQ(w.pixel(30, 40), QRgb(0xFFFFFF)) << "outline only, never filled";

    w.click(100, 90);
    w.move(120, 110);
    EXPECT_EQ(w.pixel(10, 20), QRgb(0xFFFFFF)) << "the first rubber band wipes the shown area";
    EXPECT_EQ(w.pixel(100, 90), QRgb(0x00FF00));
    EXPECT_EQ(w.pixel(119, 109), QRgb(0x00FF00));
    w.move(80, 70); // back over the first corner: the band turns round
    EXPECT_EQ(w.pixel(119, 109), QRgb(0xFFFFFF)) << "the previous band is gone";
    EXPECT_EQ(w.pixel(80, 70), QRgb(0x00FF00));
    EXPECT_EQ(w.pixel(99, 89), QRgb(0x00FF00));
}

TEST_F(ExampleWindow, TheAreaPictureIsLiveBesideTheDialog)
{
    QWidget dialog;
    dialog.setGeometry(10, 10, 300, 200);
    dialog.show();
    const QString still = program.dir() + "Capture.bmp";
    int level = 0;
    const auto camera = [&] {
        QImage picture(160, 120, QImage::Format_RGB32);
        picture.fill(qRgb(level, level, level));
        picture.save(still, "BMP");
    };
    camera();
    AreaWindow w(program.dir(), still, camera, &dialog);
    w.shown = {10, 20, 60, 70};
    w.openForArea();
    EXPECT_FALSE(w.window->frameGeometry().intersects(dialog.frameGeometry())) << "the dialog's lines stay in view";
    EXPECT_EQ(w.pixel(100, 100), QRgb(0));
    level = 200; // the camera sees something else now
    EXPECT_TRUE(WaitFor([&] { return w.pixel(100, 100) == QRgb(0xC8C8C8); }));
    EXPECT_EQ(w.pixel(10, 20), QRgb(0x00FF00)) << "the area is drawn on each new picture";
    w.click(100, 90);
    w.move(120, 110);
    level = 100;
    EXPECT_TRUE(WaitFor([&] { return w.pixel(30, 30) == QRgb(0x646464); }));
    EXPECT_EQ(w.pixel(119, 109), QRgb(0x00FF00)) << "and so is the rubber band";
}

TEST_F(ExampleWindow, ADragOffThePictureIsNoCorner)
{
    AreaWindow w(program.dir(), writeStill({160, 120}));
    w.openForArea();
    w.click(50, 50);
    w.move(-30, 500); // the button held, the mouse left the picture
    EXPECT_EQ(w.window->windowTitle(), "Define motion detection area: (0, 120)")
        << "positions off the picture are pulled back to its edges";
    EXPECT_EQ(w.pixel(0, 50), QRgb(0x00FF00));
    EXPECT_EQ(w.pixel(49, 119), QRgb(0x00FF00));
    w.click(-30, 500);
    EXPECT_TRUE(w.window->isVisible()) << "a release off the picture is no click";
    w.click(150, 10);
    ASSERT_TRUE(w.stored);
    EXPECT_EQ(*w.stored, (DetectionArea{50, 10, 150, 50}));
}

TEST_F(ExampleWindow, TheStillPictureIsUsedOnceAndRemoved)
{
    const QString still = writeStill({64, 48});
    AreaWindow w(program.dir(), still);
    w.openForArea();
    EXPECT_EQ(w.window->ShownPicture().size(), QSize(64, 48));
    w.window->hide();
    EXPECT_FALSE(QFile::exists(still)) << "hiding removes the temporary still picture";

    w.openForArea();
    EXPECT_EQ(w.window->ShownPicture().size(), QSize(320, 240)) << "then example.bmp is shown";
    EXPECT_TRUE(w.errors.isEmpty());
}

TEST_F(ExampleWindow, MissingPicturesAreReportedOncePerShowing)
{
    QFile::remove(program.dir() + "example.bmp");
    const QString damaged = program.dir() + "Capture.bmp";
    WriteFileBytes(damaged, "BM not really a bitmap");
    AreaWindow w(program.dir(), damaged);
    w.openForArea();
    w.click(10, 10);
    for (int x = 20; x < 200; x += 20)
        w.move(x, x / 2);
    EXPECT_EQ(w.errors, QStringList{"Could not load 'example.bmp'"});
    EXPECT_TRUE(w.window->ShownPicture().isNull()) << "an empty picture area";
    EXPECT_EQ(w.view()->size(), QSize(560, 420));
    w.click(200, 100);
    ASSERT_TRUE(w.stored) << "the area can still be chosen";
    EXPECT_EQ(*w.stored, (DetectionArea{10, 10, 200, 100}));
}

// The caption is drawn from the dialog's controls; on a white still, an opaque black caption box
// shows where it went.
TEST_F(ExampleWindow, CaptionExampleFollowsTheDialogsPosition)
{
    struct Case {
        const char* name;
        bool top, left, center, right;
        QRect inked, blank;
    };
    const Case cases[] = {
        {"top left", true, true, false, false, {0, 0, 40, 10}, {200, 200, 120, 40}},
        {"bottom right", false, false, false, true, {280, 230, 40, 10}, {0, 0, 120, 40}},
        {"bottom centre", false, false, true, false, {150, 230, 20, 10}, {0, 0, 320, 40}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AreaWindow w(program.dir(), writeStill({320, 240}));
        w.caption.CaptionText = "WWWWWWWW";
        w.caption.TransparentBack = false;
        w.caption.BackColor = 0x00000000;
        w.caption.FontColor = 0x00000000;
        w.caption.CapTop = c.top;
        w.caption.CapBottom = !c.top;
        w.caption.CapLeft = c.left;
        w.caption.CapCenter = c.center;
        w.caption.CapRight = c.right;
        w.window->DefineAreaMode = false;
        w.window->show();
        auto count = [&](QRect r) {
            int black = 0;
            for (int y = r.top(); y <= r.bottom(); ++y)
                for (int x = r.left(); x <= r.right(); ++x)
                    black += w.pixel(x, y) == 0;
            return black;
        };
        EXPECT_GT(count(c.inked), c.inked.width() * c.inked.height() / 2);
        EXPECT_EQ(count(c.blank), 0);
        w.window->hide();
    }
}

TEST_F(ExampleWindow, CaptionExampleRedrawsFromTheCurrentControls)
{
    AreaWindow w(program.dir(), writeStill({320, 240}));
    w.caption.CaptionText = "MMMM";
    w.caption.TransparentBack = false;
    w.caption.BackColor = 0x000000FF; // red box
    w.caption.CapTop = true;
    w.caption.CapBottom = false;
    w.caption.CapLeft = true;
    w.caption.CapCenter = false;
    w.window->show();
    EXPECT_EQ(w.pixel(0, 0), QRgb(0xFF0000));

    // The user moves the caption to the bottom without accepting: the old one is wiped.
    w.caption.CapTop = false;
    w.caption.CapBottom = true;
    w.window->DrawCaptionExample();
    EXPECT_EQ(w.pixel(0, 0), QRgb(0xFFFFFF));
    EXPECT_EQ(w.pixel(0, 239), QRgb(0xFF0000));
}

} // namespace tarvo
