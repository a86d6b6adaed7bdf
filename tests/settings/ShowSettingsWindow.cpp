// Shows one settings window with the default settings until it is killed, for screenshots under
// Xvfb: "setup <page>", "profiles" or "proxy".
#include "RecordingTargets.h"
#include "settings/ProgramDir.h"
#include "settings/widgets/ProfileSelectWindow.h"
#include "settings/widgets/ProxyWindow.h"
#include "settings/widgets/MoreSettingsPage.h"
#include "settings/widgets/SetupDialog.h"

#include <QApplication>
#include <QDir>
#include <QScrollArea>
#include <QTabWidget>
#include <QTemporaryDir>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTemporaryDir home;
    SetProgramDir(home.path());
    QDir().mkpath(ProfileFolder());
    Save(DefaultOptions(), "Default");
    Save(DefaultOptions(), "Night");

    const QString what = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("setup");
    RecordingTargets targets;
    ProfileBox box;
    box.setText("Default");
    ListProfiles(box);
    ProxyWindow proxy;
    SetupDialog setup(box, targets, proxy);
    setup.SetCaptureDrivers({"Test pattern"});
    setup.ShowInDialog(DefaultOptions());
    ProfileSelectWindow profiles(box, targets);

    if (what == "setup") {
        setup.show();
        auto* pages = setup.findChild<QTabWidget*>("PageControl1");
        pages->setCurrentIndex(argc > 2 ? QString(argv[2]).toInt() : 0);
        // The page "More" scrolls in the dialog; its picture shows every group at once.
        if (auto* scroll = setup.findChild<QScrollArea*>("MoreScroll"); scroll && pages->currentWidget() == scroll)
            scroll->setMinimumHeight(setup.findChild<MoreSettingsPage*>("MorePage")->sizeHint().height());
        setup.move(0, 0);
    } else if (what == "profiles") {
        profiles.show();
        profiles.move(0, 0);
    } else {
        proxy.show();
        proxy.move(0, 0);
    }
    return app.exec();
}
