// The tray icon component against a fake desktop that records every request and refuses when told.
#include "support/TestSupport.h"
#include "ui/widgets/QtTrayIconHost.h"
#include "ui/widgets/TrayIcon.h"

#include <QMenu>
#include <QPixmap>
#include <gtest/gtest.h>
#include <memory>

namespace tarvo {

namespace {

struct FakeTrayHost final : TrayIconHost {
    struct Request {
        TrayNotifyAction action;
        TrayNotifyData data;
    };
    bool refuseReceiver = false;
    bool refuseAdd = false;
    bool refuseDelete = false;
    bool refuseModify = false;
    bool receiverExists = false;
    EventHandler handler;
    std::vector<Request> requests;
    std::vector<std::pair<QMenu*, QPoint>> menusShown;
    QPoint cursor{640, 700};

    bool CreateReceiver(EventHandler h) override
    {
        if (refuseReceiver)
            return false;
        handler = std::move(h);
        receiverExists = true;
        return true;
    }
    void DestroyReceiver() override
    {
        handler = nullptr;
        receiverExists = false;
    }
    bool NotifyIcon(TrayNotifyAction action, const TrayNotifyData& data) override
    {
        requests.push_back({action, data});
        return !(action == TrayNotifyAction::Add && refuseAdd) && !(action == TrayNotifyAction::Delete && refuseDelete)
            && !(action == TrayNotifyAction::Modify && refuseModify);
    }
    QPoint CursorPos() const override { return cursor; }
    void PopupMenu(QMenu& menu, QPoint at) override { menusShown.emplace_back(&menu, at); }
    QIcon StandardApplicationIcon() const override { return Picture(Qt::gray); }

    static QIcon Picture(Qt::GlobalColor colour)
    {
        QPixmap p(16, 16);
        p.fill(colour);
        return QIcon(p);
    }
    void Send(TrayEvent event) { handler(event); }
    int Count(TrayNotifyAction action) const
    {
        return static_cast<int>(std::count_if(requests.begin(), requests.end(), [&](const Request& r) { return r.action == action; }));
    }
};

QRgb Colour(const QIcon& icon) { return icon.pixmap(16, 16).toImage().pixel(0, 0); }

class TrayIconTest : public ::testing::Test {
protected:
    TrayIconTest()
    {
        auto h = std::make_unique<FakeTrayHost>();
        host = h.get();
        tray = std::make_unique<TrayIcon>(std::move(h));
        tray->OnChange = [this](TrayIcon&) { events.push_back("Change"); };
        tray->OnMouseMove = [this](TrayIcon&) { events.push_back("Move"); };
        tray->OnMouseLBtnDown = [this](TrayIcon&) { events.push_back("LDown"); };
        tray->OnMouseLBtnUp = [this](TrayIcon&) { events.push_back("LUp"); };
        tray->OnMouseLBtnDblClk = [this](TrayIcon& sender) {
            EXPECT_EQ(&sender, tray.get());
            events.push_back("LDbl");
        };
        tray->OnRBtnDown = [this](TrayIcon&) { events.push_back("RDown"); };
        tray->OnMouseRBtnUp = [this](TrayIcon&) { events.push_back("RUp"); };
        tray->OnMouseRBtnDblClk = [this](TrayIcon&) { events.push_back("RDbl"); };
    }

    FakeTrayHost* host;
    std::unique_ptr<TrayIcon> tray;
    std::vector<std::string> events;
};

TEST_F(TrayIconTest, StartsHiddenWithTheStandardPicture)
{
    EXPECT_FALSE(tray->Visible());
    EXPECT_FALSE(host->receiverExists);
    EXPECT_TRUE(host->requests.empty());
    EXPECT_EQ(Colour(tray->Icon()), QColor(Qt::gray).rgb());
}

TEST_F(TrayIconTest, ShowingAddsOnceAndHidingDeletesOnce)
{
    tray->SetTip("Tarvo");
    events.clear();
    tray->SetVisible(true);
    tray->SetVisible(true);
    ASSERT_EQ(host->Count(TrayNotifyAction::Add), 1);
    const TrayNotifyData& added = host->requests.front().data;
    EXPECT_EQ(added.flags, 7u);
    EXPECT_EQ(added.tip, "Tarvo");
    EXPECT_TRUE(tray->Visible());
    EXPECT_EQ(events, std::vector<std::string>{"Change"});

    tray->SetVisible(false);
    tray->SetVisible(false);
    EXPECT_EQ(host->Count(TrayNotifyAction::Delete), 1);
    EXPECT_FALSE(tray->Visible());
    EXPECT_FALSE(host->receiverExists);
    EXPECT_EQ(events, (std::vector<std::string>{"Change", "Change"}));
}

TEST_F(TrayIconTest, ChangesWhileHiddenAreStoredAndTakeEffectAtTheNextShow)
{
    tray->SetIcon(FakeTrayHost::Picture(Qt::red));
    tray->SetTip("later");
    EXPECT_TRUE(host->requests.empty());
    tray->SetVisible(true);
    ASSERT_EQ(host->requests.size(), 1u);
    EXPECT_EQ(Colour(host->requests[0].data.icon), QColor(Qt::red).rgb());
    EXPECT_EQ(host->requests[0].data.tip, "later");
}

TEST_F(TrayIconTest, PictureAndTipChangesWhileShownModifyInPlace)
{
    tray->SetVisible(true);
    events.clear();
    tray->SetIcon(FakeTrayHost::Picture(Qt::green));
    tray->SetTip("Auto-capturing");
    tray->SetTip("Auto-capturing"); // unchanged: no update, no OnChange
    ASSERT_EQ(host->requests.size(), 3u);
    EXPECT_EQ(host->Count(TrayNotifyAction::Delete), 0);
    EXPECT_EQ(host->Count(TrayNotifyAction::Modify), 2);
    EXPECT_EQ(host->requests[1].data.flags, 6u);
    EXPECT_EQ(Colour(host->requests[1].data.icon), QColor(Qt::green).rgb());
    EXPECT_EQ(host->requests[2].data.tip, "Auto-capturing");
    EXPECT_EQ(events, std::vector<std::string>{"Change"}); // the tip only; a picture raises none
}

TEST_F(TrayIconTest, TipIsShortenedToWhatTheNotificationAreaHolds)
{
    tray->SetTip(QString(70, 'x'));
    EXPECT_EQ(tray->Tip().size(), 63);
    // A character outside the basic plane is never cut in half.
    tray->SetTip(QString(62, 'y') + QString::fromUcs4(U"\U0001F4F7") + "z");
    EXPECT_EQ(tray->Tip(), QString(62, 'y'));
}

TEST_F(TrayIconTest, MouseEventsRaiseTheirEventsAndAMiddleClickNone)
{
    tray->SetVisible(true);
    const std::vector<std::pair<TrayEvent, std::vector<std::string>>> table = {
        {TrayEvent::MouseMove, {"Move"}}, {TrayEvent::LeftDown, {"LDown"}}, {TrayEvent::LeftUp, {"LUp"}},
        {TrayEvent::LeftDoubleClick, {"LDbl"}}, {TrayEvent::RightDown, {"RDown"}}, {TrayEvent::RightUp, {"RUp"}},
        {TrayEvent::RightDoubleClick, {"RDbl"}}, {TrayEvent::MiddleDown, {}},
    };
    for (const auto& [event, raised] : table) {
        events.clear();
        host->Send(event);
        EXPECT_EQ(events, raised) << int(event);
    }
}

TEST_F(TrayIconTest, UnassignedEventsAreSkipped)
{
    TrayIcon bare(std::make_unique<FakeTrayHost>());
    EXPECT_NO_THROW(bare.SetVisible(true));
    EXPECT_NO_THROW(bare.HandleEvent(TrayEvent::LeftDoubleClick));
}

TEST_F(TrayIconTest, AMenuReplacesItsButtonsReleaseEventOnly)
{
    QMenu right, left;
    tray->SetRightMenu(&right);
    tray->SetLeftMenu(&left);
    tray->SetVisible(true);
    events.clear();

    for (TrayEvent e : {TrayEvent::RightDown, TrayEvent::RightUp, TrayEvent::RightDoubleClick, TrayEvent::LeftDown,
             TrayEvent::LeftUp, TrayEvent::LeftDoubleClick})
        host->Send(e);
    EXPECT_EQ(events, (std::vector<std::string>{"RDown", "RDbl", "LDown", "LDbl"}));
    ASSERT_EQ(host->menusShown.size(), 2u);
    EXPECT_EQ(host->menusShown[0].first, &right);
    EXPECT_EQ(host->menusShown[0].second, host->cursor);
    EXPECT_EQ(host->menusShown[1].first, &left);
}

TEST_F(TrayIconTest, ADestroyedMenuReadsAsNone)
{
    auto menu = std::make_unique<QMenu>();
    tray->SetRightMenu(menu.get());
    tray->SetLeftMenu(menu.get());
    menu.reset();
    EXPECT_EQ(tray->RightMenu(), nullptr);
    EXPECT_EQ(tray->LeftMenu(), nullptr);
    tray->SetVisible(true);
    events.clear();
    host->Send(TrayEvent::RightUp);
    host->Send(TrayEvent::LeftUp);
    EXPECT_EQ(events, (std::vector<std::string>{"RUp", "LUp"}));
    EXPECT_TRUE(host->menusShown.empty());
}

struct Refusal {
    const char* name;
    bool FakeTrayHost::*flag;
    const char* message;
};

TEST_F(TrayIconTest, RefusalsRaiseTheirErrorsAndKeepTheStateTheDesktopHas)
{
    // A refused receiver or add leaves the icon hidden and raises no OnChange.
    for (const Refusal& r : {Refusal{"receiver", &FakeTrayHost::refuseReceiver, "TRAY001: Error creating window"},
             Refusal{"add", &FakeTrayHost::refuseAdd, "TRAY002: Could not allocate tray icon"}}) {
        host->*r.flag = true;
        events.clear();
        try {
            tray->SetVisible(true);
            ADD_FAILURE() << r.name << " refusal raised nothing";
        } catch (const TrayIconError& e) {
            EXPECT_STREQ(e.what(), r.message) << r.name;
        }
        EXPECT_FALSE(tray->Visible()) << r.name;
        EXPECT_FALSE(host->receiverExists) << r.name;
        EXPECT_TRUE(events.empty()) << r.name;
        host->*r.flag = false;
    }

    tray->SetVisible(true);
    host->refuseDelete = true;
    try {
        tray->SetVisible(false);
        ADD_FAILURE() << "a refused delete raised nothing";
    } catch (const TrayIconError& e) {
        EXPECT_EQ(e.code(), TrayIconError::DeleteFailed);
        EXPECT_STREQ(e.what(), "TRAY003: Error deleteing tray icon");
    }
    EXPECT_TRUE(tray->Visible());
    EXPECT_TRUE(host->receiverExists);
    host->refuseDelete = false;
}

TEST_F(TrayIconTest, ARefusedModifyRaisesTRAY004)
{
    tray->SetVisible(true);
    host->refuseModify = true;
    try {
        tray->SetIcon(FakeTrayHost::Picture(Qt::blue));
        ADD_FAILURE() << "a refused modify raised nothing";
    } catch (const TrayIconError& e) {
        EXPECT_STREQ(e.what(), "TRAY004: Could not modify tray icon");
    }
}

// Lets a test keep watching the fake after the component that owns its host is gone.
struct ForwardingHost final : TrayIconHost {
    explicit ForwardingHost(FakeTrayHost& to) : to(to) {}
    bool CreateReceiver(EventHandler h) override { return to.CreateReceiver(std::move(h)); }
    void DestroyReceiver() override { to.DestroyReceiver(); }
    bool NotifyIcon(TrayNotifyAction a, const TrayNotifyData& d) override { return to.NotifyIcon(a, d); }
    QPoint CursorPos() const override { return to.CursorPos(); }
    void PopupMenu(QMenu& menu, QPoint at) override { to.PopupMenu(menu, at); }
    QIcon StandardApplicationIcon() const override { return to.StandardApplicationIcon(); }
    FakeTrayHost& to;
};

TEST(TrayIconLifetime, DestructionRemovesAShownIconEvenWhenTheDesktopRefuses)
{
    for (bool refuse : {false, true}) {
        FakeTrayHost host;
        {
            TrayIcon tray(std::make_unique<ForwardingHost>(host));
            tray.SetVisible(true);
            host.refuseDelete = refuse;
        }
        EXPECT_EQ(host.Count(TrayNotifyAction::Delete), 1) << refuse;
        EXPECT_FALSE(host.receiverExists) << refuse;
    }
}

} // namespace

namespace {

// The offscreen desktop of the tests has no notification area, like a bare X session.
TEST(QtTrayIconHostTest, ADesktopWithoutANotificationAreaRefusesTheIconAndItStaysHidden)
{
    RecordingEventLog log;
    SetProgramLog(&log);
    {
        TrayIcon tray(std::make_unique<QtTrayIconHost>());
        EXPECT_FALSE(tray.Icon().isNull());
        try {
            tray.SetVisible(true);
            ADD_FAILURE() << "the icon was shown without a notification area";
        } catch (const TrayIconError& e) {
            EXPECT_EQ(e.code(), TrayIconError::AddFailed);
        }
        EXPECT_FALSE(tray.Visible());
        EXPECT_NO_THROW(tray.SetTip("still usable"));
        EXPECT_NO_THROW(tray.SetVisible(false));
    }
    SetProgramLog(nullptr);
    // The main window says what it does instead, once a run; the host asked at every minimise
    // stays quiet.
    EXPECT_TRUE(log.lines().empty());
}

} // namespace

} // namespace tarvo
