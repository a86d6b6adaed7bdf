#pragma once
// The About window (form TForm4): title and version, a notice, the product web site as a clickable address,
// and the new-version check with its result. Created at start-up and only shown and hidden;
// hiding it abandons a check the user started with its button, not the automatic one.
#include "ui/UpdateCheck.h"

#include <QWidget>

class QLabel;
class QPushButton;

namespace tarvo {

class ClickableLabel;

class AboutWindow : public QWidget, public AboutView {
    Q_OBJECT
public:
    // parent: the main window, over whose centre the About window opens.
    explicit AboutWindow(QWidget* parent = nullptr);

    // The automatic check against the configured site (the program's own unless a test sets
    // another): it runs to its end whether the window is open or not.
    void CheckForUpdate();
    bool CheckRunning() const { return check_.Running(); }
    void SetUpdateCheckConfig(const UpdateCheckConfig& config);
    const UpdateCheckConfig& updateCheckConfig() const { return config_; }

    // AboutView
    bool AboutVisible() const override;
    void ShowResult(const QString& text) override;
    void ShowAbout() override;
    void BringAboutToFront() override;

    // What the window shows: its title line with the version, and the version check's result.
    QString TitleLine() const;
    QString CheckResult() const;
    // The product web site's address as the window shows it.
    QString SiteAddress() const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void RefreshForShowing();
    // "Check for new version": the window's own check, abandoned when the window is closed.
    void CheckAtUsersRequest();
    void StartCheck(bool byUser);
    void OpenProductPage();
    void CentreOverOwner();

    QLabel* titleLine_ = nullptr;
    ClickableLabel* siteLink_ = nullptr;
    QLabel* checkResult_ = nullptr;
    QPushButton* checkButton_ = nullptr;
    QPushButton* okButton_ = nullptr;

    UpdateCheckConfig config_;
    UpdateCheck check_{*this};
    bool userCheck_ = false; // the latest check was started with the button
};

} // namespace tarvo
