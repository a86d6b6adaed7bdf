#pragma once
// The About window (form TForm4): title and version, a notice, the product web site as a clickable address,
// and the new-version check with its result. Created at start-up and only shown and hidden;
// hiding it abandons a check that is running.
#include "ui/UpdateCheck.h"

#include <QWidget>

class QLabel;
class QPushButton;
class ClickableLabel;

class AboutWindow : public QWidget, public AboutView {
    Q_OBJECT
public:
    // parent: the main window, over whose centre the About window opens.
    explicit AboutWindow(QWidget* parent = nullptr);

    QLabel* Image1 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label1 = nullptr;
    ClickableLabel* Label10 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* NewVer = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button1 = nullptr;

    // The check against the configured site; the program's own unless a test sets another.
    void CheckForUpdate();
    bool CheckRunning() const { return check_.Running(); }
    void SetUpdateCheckConfig(const UpdateCheckConfig& config);
    const UpdateCheckConfig& updateCheckConfig() const { return config_; }

    // AboutView
    bool AboutVisible() const override;
    void ShowResult(const QString& text) override;
    void ShowAbout() override;
    void BringAboutToFront() override;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void FormShow();
    void Label10Click();
    void Button1Click();
    void Button2Click();
    void CentreOverOwner();

    UpdateCheckConfig config_;
    UpdateCheck check_{*this};
};
