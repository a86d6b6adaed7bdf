// The tray icon component against a fake desktop that records every request and refuses when told.
#include "support/TestSupport.h"
#include "ui/widgets/QtTrayIconHost.h"
#include "ui/widgets/TolmarTrayIcon.h"

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
    MessageHandler handler;
    std::vector<Request> requests;
    std::vector<std::pair<QMenu*, QPoint>> menusShown;
    std::vector<std::pair<unsigned, long>> defaultProcCalls;
    QPoint cursor{640, 700};

    bool CreateReceiver(MessageHandler h) override
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
    long DefaultWindowProc(unsigned message, long lParam) override
    {
        defaultProcCalls.emplace_back(message, lParam);
        return 42;
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
    long Send(long mouseMessage) { return handler(kTrayNotifyMessage, mouseMessage); }
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
        tray = std::make_unique<TTolmarTrayIcon>(std::move(h));
        tray->OnChange = [this](TTolmarTrayIcon&) { events.push_back("Change"); };
        tray->OnMouseMove = [this](TTolmarTrayIcon&) { events.push_back("Move"); };
        tray->OnMouseLBtnDown = [this](TTolmarTrayIcon&) { events.push_back("LDown"); };
        tray->OnMouseLBtnUp = [this](TTolmarTrayIcon&) { events.push_back("LUp"); };
        tray->OnMouseLBtnDblClk = [this](TTolmarTrayIcon& sender) {
            EXPECT_EQ(&sender, tray.get());
            events.push_back("LDbl");
        };
        tray->OnRBtnDown = [this](TTolmarTrayIcon&) { events.push_back("RDown"); };
        tray->OnMouseRBtnUp = [this](TTolmarTrayIcon&) { events.push_back("RUp"); };
        tray->OnMouseRBtnDblClk = [this](TTolmarTrayIcon&) { events.push_back("RDbl"); };
    }

    FakeTrayHost* host;
    std::unique_ptr<TTolmarTrayIcon> tray;
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
    EXPECT_EQ(added.callbackMessage, 0x0500u);
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

TEST_F(TrayIconTest, MouseMessagesRaiseTheirEvents)
{
    tray->SetVisible(true);
    events.clear();
    const std::vector<std::pair<long, std::string>> table = {
        {0x0200, "Move"}, {0x0201, "LDown"}, {0x0202, "LUp"}, {0x0203, "LDbl"},
        {0x0204, "RDown"}, {0x0205, "RUp"}, {0x0206, "RDbl"},
    };
    for (const auto& [message, event] : table) {
        events.clear();
        EXPECT_EQ(host->Send(message), 0) << message;
        EXPECT_EQ(events, std::vector<std::string>{event}) << message;
    }
    EXPECT_TRUE(host->defaultProcCalls.empty());
}

TEST_F(TrayIconTest, OtherMessagesGoToTheDefaultProcedureAndRaiseNothing)
{
    tray->SetVisible(true);
    events.clear();
    EXPECT_EQ(host->Send(0x0207), 42);
    EXPECT_EQ(host->Send(0x01FF), 42);
    EXPECT_EQ(host->handler(0x0010, 0x0201), 42); // not the icon's notification
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(host->defaultProcCalls.size(), 3u);
}

TEST_F(TrayIconTest, UnassignedEventsAreSkipped)
{
    TTolmarTrayIcon bare(std::make_unique<FakeTrayHost>());
    EXPECT_NO_THROW(bare.SetVisible(true));
    EXPECT_EQ(bare.HandleMessage(kTrayNotifyMessage, kTrayLButtonDblClk), 0);
}

TEST_F(TrayIconTest, AMenuReplacesItsButtonsReleaseEventOnly)
{
    QMenu right, left;
    tray->SetRightMenu(&right);
    tray->SetLeftMenu(&left);
    tray->SetVisible(true);
    events.clear();

    for (long m : {0x0204L, 0x0205L, 0x0206L, 0x0201L, 0x0202L, 0x0203L})
        host->Send(m);
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
    host->Send(kTrayRButtonUp);
    host->Send(kTrayLButtonUp);
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
    bool CreateReceiver(MessageHandler h) override { return to.CreateReceiver(std::move(h)); }
    void DestroyReceiver() override { to.DestroyReceiver(); }
    bool NotifyIcon(TrayNotifyAction a, const TrayNotifyData& d) override { return to.NotifyIcon(a, d); }
    long DefaultWindowProc(unsigned m, long l) override { return to.DefaultWindowProc(m, l); }
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
            TTolmarTrayIcon tray(std::make_unique<ForwardingHost>(host));
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
        TTolmarTrayIcon tray(std::make_unique<QtTrayIconHost>());
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
