#pragma once
// The settings windows as the program wires them, over a scratch program folder, with message
// boxes recorded instead of shown.
#include "ProfileFolderFixture.h"
#include "RecordingTargets.h"
#include "settings/widgets/DialogMessages.h"
#include "settings/widgets/ProxyWindow.h"
#include "settings/widgets/SetupDialog.h"
#include "support/ControlNames.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>
#include <cstring>
#include <stdexcept>

namespace tarvo {

// A window's control by its form name; a missing one fails the test.
template <class T>
T* FindControl(const QObject& window, const char* formName)
{
    T* control = window.findChild<T*>(QString::fromLatin1(formName));
    if (!control)
        throw std::runtime_error(std::string("no control ") + formName);
    return control;
}

// Shows the control's window in front, on the control's page, with the focus in the control.
inline void FocusIn(QWidget* control)
{
    QWidget* window = control->window();
    window->show();
    if (auto* pages = window->findChild<QTabWidget*>()) {
        for (int i = 0; i < pages->count(); ++i) {
            if (pages->widget(i)->isAncestorOf(control))
                pages->setCurrentIndex(i);
        }
    }
    ASSERT_TRUE(WaitFor([&] {
        if (!window->isActiveWindow()) // the offscreen platform does not activate a window shown again
            QApplication::setActiveWindow(window);
        control->setFocus(Qt::OtherFocusReason);
        return control->hasFocus() || control->isAncestorOf(QApplication::focusWidget());
    }));
}

// Leaves a control as a user does: Tab takes the focus to the next control of its window.
inline void LeaveByTab(QWidget* control)
{
    FocusIn(control);
    QTest::keyClick(control, Qt::Key_Tab);
}

class RecordingMessages : public DialogMessages {
public:
    QStringList errors;
    QStringList notes;
    void ShowError(QWidget*, const QString& text) override { errors << text; }
    void ShowNote(QWidget*, const QString& title, const QString& text) override { notes << title + "|" + text; }
};

// Activation shows the record in the real dialog, as the main window does.
class DialogTargets : public RecordingTargets {
public:
    using RecordingTargets::RecordingTargets;
    SetupDialog* dialog = nullptr;
    void ShowInDialog(const OptionsValues& o) override
    {
        RecordingTargets::ShowInDialog(o);
        dialog->ShowInDialog(o);
    }
};

class DialogFixture : public ProfileFolderFixture {
protected:
    // own: the profile passwords to use instead of the scratch program's.
    explicit DialogFixture(ProfilePasswords* own = nullptr)
        : ProfileFolderFixture(own), dialog(programDir, box, targets.settings, passwords, targets, proxy, messages)
    {
        targets.dialog = &dialog;
        dialog.SetCaptureDrivers({"Camera one", "Camera two", "Test pattern"});
        dialog.hooks.currentDriverIndex = [this] { return targets.driverIndex; };
        box.setText("Default");
        SetActive(DefaultOptions(programDir), box, targets);
        SaveProfile(programDir, options, "Default", passwords);
        log.clear();
        targets.calls.clear();
        targets.shown = 0;
    }

    template <class T>
    T* Control(const char* formName) const { return FindControl<T>(dialog, formName); }
    template <class T>
    T* ProxyControl(const char* formName) const { return FindControl<T>(proxy, formName); }

    RecordingMessages messages;
    DialogTargets targets{program.store(), programDir};
    // The settings in force, which activation replaces.
    OptionsValues& options = targets.settings.options;
    ExtraOptions& extras = targets.settings.extras;
    ProfileBox box;
    ProxyWindow proxy;
    SetupDialog dialog;
};

} // namespace tarvo
