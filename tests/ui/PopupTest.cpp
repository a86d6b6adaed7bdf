// Popup warnings: geometry, the same-text rule, OK and close, and raising from another thread.
#include "support/ControlNames.h"
#include "support/TestSupport.h"
#include "ui/PopupGeometry.h"
#include "ui/widgets/PopupManager.h"
#include "ui/widgets/PopupWarning.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QPushButton>
#include <gtest/gtest.h>
#include <thread>

namespace tarvo {

namespace {

TEST(PopupGeometryTest, WidthButtonAndPlaceFollowTheLabel)
{
    struct Case {
        int label;
        int width;
        int buttonLeft;
    };
    const QRect screen(0, 0, 1024, 768);
    for (const Case& c : {Case{0, 121, 28}, Case{50, 121, 28}, Case{97, 121, 28}, Case{98, 122, 29},
             Case{200, 224, 80}, Case{1001, 1025, 480}}) {
        const PopupGeometry g = LayoutPopup(c.label, 89, 65, screen);
        EXPECT_EQ(g.width, c.width) << c.label;
        EXPECT_EQ(g.buttonLeft, c.buttonLeft) << c.label;
        EXPECT_EQ(g.left, 512 - c.width / 2) << c.label;
        EXPECT_EQ(g.top, 384 - 44) << c.label;
    }
    // A second screen's origin moves the popup with it; halves are truncated.
    const PopupGeometry g = LayoutPopup(10, 89, 65, QRect(1920, 0, 1281, 1025));
    EXPECT_EQ(g.left, 1920 + 640 - 60);
    EXPECT_EQ(g.top, 512 - 44);
}

class PopupManagerTest : public ::testing::Test {
protected:
    ~PopupManagerTest() override { QApplication::processEvents(); }
    std::vector<PopupWarning*> VisiblePopups() const
    {
        std::vector<PopupWarning*> out;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* p = qobject_cast<PopupWarning*>(w); p && p->isVisible())
                out.push_back(p);
        return out;
    }
    PopupManager popups;
};

TEST_F(PopupManagerTest, APopupIsLaidOutAroundItsText)
{
    // The sizes themselves are the geometry table's; here the window applies them to its parts.
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    for (const QString& text : {QString("Motion Detected"), QString(80, 'W')}) {
        PopupWarning* p = popups.ShowPopup(text);
        ASSERT_NE(p, nullptr);
        const auto* label = p->findChild<QLabel*>(kPopupText);
        const auto* ok = p->findChild<QPushButton*>(kPopupOkButton);
        ASSERT_TRUE(label && ok);
        EXPECT_TRUE(p->isVisible());
        EXPECT_EQ(p->windowTitle(), "Tarvo");
        EXPECT_EQ(p->Text(), text);
        EXPECT_EQ(ok->text(), "OK");
        EXPECT_EQ(ok->y(), 56);
        EXPECT_EQ(label->x(), 8);
        const PopupGeometry g = LayoutPopup(label->width(), p->height(), ok->width(), screen);
        EXPECT_EQ(p->width(), g.width);
        EXPECT_EQ(ok->x(), g.buttonLeft);
    }
    EXPECT_GT(popups.LatestPopup()->width(), kPopupMinWidth) << "a long text widens its popup";
    EXPECT_TRUE(popups.PopupShowing());
}

TEST_F(PopupManagerTest, TheSameWarningIsNotShownTwiceAtOnceButADifferentOneIs)
{
    popups.Raise("Motion Detected");
    ASSERT_TRUE(WaitFor([&] { return VisiblePopups().size() == 1; }));
    popups.Raise("Motion Detected");
    popups.Raise("Motion Detected");
    popups.Raise("Log folder too big");
    ASSERT_TRUE(WaitFor([&] { return VisiblePopups().size() == 2; }));
    EXPECT_EQ(popups.LatestPopup()->Text(), "Log folder too big");
    // Let any further tick run: still two.
    popups.Raise("Log folder too big");
    WaitFor([&] { return !popups.WarningsPending(); });
    QApplication::processEvents();
    EXPECT_EQ(VisiblePopups().size(), 2u);
}

TEST_F(PopupManagerTest, OkHidesAndFreesThePopupAndTheNextWarningOpensAFreshOne)
{
    QPointer<PopupWarning> first = popups.ShowPopup("Motion Detected");
    ASSERT_TRUE(first);
    first->findChild<QPushButton*>(kPopupOkButton)->click();
    EXPECT_FALSE(popups.PopupShowing());
    EXPECT_FALSE(first->isVisible());
    // Deferred deletions run when control returns to an event loop; the test has none running.
    ASSERT_TRUE(WaitFor([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return first.isNull();
    }));
    EXPECT_EQ(popups.LatestPopup(), nullptr);

    PopupWarning* second = popups.ShowPopup("Motion Detected");
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(popups.PopupShowing());
}

TEST_F(PopupManagerTest, TheCloseButtonOnlyHidesThePopup)
{
    QPointer<PopupWarning> p = popups.ShowPopup("Motion Detected");
    ASSERT_TRUE(p);
    EXPECT_TRUE(p->close());
    QApplication::processEvents();
    EXPECT_FALSE(popups.PopupShowing());
    EXPECT_TRUE(p); // alive, invisible
    EXPECT_FALSE(p->isVisible());
    EXPECT_NE(popups.ShowPopup("Motion Detected"), nullptr);
}

TEST_F(PopupManagerTest, ClosingTheOlderOfTwoPopupsClearsTheFlagAndLetsTheWarningOpenAgain)
{
    PopupWarning* older = popups.ShowPopup("Log folder too big");
    PopupWarning* newer = popups.ShowPopup("Motion Detected");
    ASSERT_TRUE(older && newer);
    older->close();
    EXPECT_FALSE(popups.PopupShowing());
    EXPECT_TRUE(newer->isVisible());
    EXPECT_NE(popups.ShowPopup("Motion Detected"), nullptr);
    EXPECT_EQ(VisiblePopups().size(), 2u);
}

TEST_F(PopupManagerTest, WarningsRaisedOnAnotherThreadAreShownOnTheGuiThread)
{
    std::thread frameThread([&] {
        for (int i = 0; i < 50; ++i)
            popups.Raise("Motion Detected");
    });
    frameThread.join();
    ASSERT_TRUE(WaitFor([&] { return popups.PopupShowing(); }));
    WaitFor([&] { return !popups.WarningsPending(); });
    QApplication::processEvents();
    EXPECT_EQ(VisiblePopups().size(), 1u);
    EXPECT_EQ(VisiblePopups().front()->thread(), QApplication::instance()->thread());
}

TEST(PopupWindow, ClosingAPopupDoesNotEndTheProgram)
{
    bool quitRequested = false;
    QObject guard;
    QObject::connect(qApp, &QGuiApplication::lastWindowClosed, &guard, [&] { quitRequested = true; });
    PopupManager popups;
    PopupWarning* p = popups.ShowPopup("Motion Detected");
    ASSERT_NE(p, nullptr);
    p->close();
    QApplication::processEvents();
    EXPECT_FALSE(quitRequested);
}

} // namespace

} // namespace tarvo
