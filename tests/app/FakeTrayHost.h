#pragma once
// A notification area for the main window's tests: accepts or refuses the icon as told and
// remembers whether it is shown.
#include "ui/TrayIconHost.h"

#include <memory>

namespace tarvo {

struct FakeTrayState {
    bool acceptIcon = true;
    bool shown = false;
};

class FakeTrayHost final : public TrayIconHost {
public:
    explicit FakeTrayHost(std::shared_ptr<FakeTrayState> state) : state_(std::move(state)) {}
    bool CreateReceiver(EventHandler) override { return true; }
    void DestroyReceiver() override {}
    bool NotifyIcon(TrayNotifyAction action, const TrayNotifyData&) override
    {
        if (action == TrayNotifyAction::Add) {
            if (!state_->acceptIcon)
                return false;
            state_->shown = true;
        } else if (action == TrayNotifyAction::Delete) {
            state_->shown = false;
        }
        return true;
    }
    QPoint CursorPos() const override { return {}; }
    void PopupMenu(QMenu&, QPoint) override {}
    QIcon StandardApplicationIcon() const override { return {}; }

private:
    std::shared_ptr<FakeTrayState> state_;
};

} // namespace tarvo
