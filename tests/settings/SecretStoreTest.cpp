// The FTP password in the desktop's secret store: a real GNOME Keyring in a private D-Bus session
// (tests/support/with_secret_store.sh), and a fresh process standing for the next start.
#include "DialogFixture.h"
#include "settings/SecretStore.h"

#include <QCheckBox>
#include <QLineEdit>

#include <QProcess>

namespace tarvo {

namespace {
const char* ChildDirVariable = "TARVO_SECRET_TEST_DIR";

// Runs one disabled test of this program in a new process with the given environment, with an
// optional command in front (which runs the program itself). -1 when it does not end in time.
int RunChild(const QString& test, const QProcessEnvironment& env, QStringList command = {}, int deadlineMs = 120000)
{
    command << QCoreApplication::applicationFilePath() << "--gtest_also_run_disabled_tests"
            << "--gtest_filter=SecretStoreChild." + test;
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(command.takeFirst(), command);
    if (!child.waitForFinished(deadlineMs)) {
        child.kill();
        child.waitForFinished();
        return -1;
    }
    return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
}
} // namespace

// The desktop's store, made before the dialogs that keep passwords in it.
struct KeychainPasswords {
    KeychainSecretStore keychain{QStringLiteral("Tarvo"), 60000};
    ProfilePasswords keychainPasswords{keychain};
};

class SecretStoreTest : private KeychainPasswords, public DialogFixture {
protected:
    SecretStoreTest() : DialogFixture(&keychainPasswords) {}
    using KeychainPasswords::keychain;
};

TEST_F(SecretStoreTest, PasswordOutsideTheFileComesBackAfterARestart)
{
    Control<QLineEdit>("PasswordEdit")->setText("hunter2");
    Control<QCheckBox>(kSetupSavePassword)->setChecked(false);
    dialog.Accept();
    EXPECT_TRUE(messages.notes.isEmpty()) << "the store took the password: nothing to tell";
    EXPECT_FALSE(ReadFileBytes(ProfilePath(programDir, "Default")).contains("hunter2"));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(ChildDirVariable, program.dir());
    EXPECT_EQ(RunChild("DISABLED_LoadsThePassword", env), 0);

    // "Save Password" on: the file holds it, and the store keeps no second copy.
    Control<QCheckBox>(kSetupSavePassword)->setChecked(true);
    dialog.Accept();
    EXPECT_TRUE(ReadFileBytes(ProfilePath(programDir, "Default")).contains("hunter2"));
    QString secret;
    EXPECT_EQ(keychain.Read(ProfilePath(programDir, "Default"), secret), SecretStore::Result::NotFound);

    // Deleting a profile deletes its secret.
    OptionsValues kept = DefaultOptions(programDir);
    kept.Password = "gone";
    SaveProfile(programDir, kept, "old", passwords);
    ASSERT_EQ(keychain.Read(ProfilePath(programDir, "old"), secret), SecretStore::Result::Done);
    ASSERT_TRUE(DeleteProfile(programDir, "old", passwords));
    EXPECT_EQ(keychain.Read(ProfilePath(programDir, "old"), secret), SecretStore::Result::NotFound);
}

TEST_F(SecretStoreTest, AStoreThatIsAbsentOrSilentIsNoStore)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + program.dir() + "no-bus");
    EXPECT_EQ(RunChild("DISABLED_NoStoreAnswers", env), 0) << "no bus";

    // A service that never answers costs one bounded wait (a second in the child), where the bus
    // alone would keep each of the three requests waiting for 25 s.
    const QString silent = SourceDir() + "tests/support/silent_secret_service.py";
    EXPECT_EQ(RunChild("DISABLED_NoStoreAnswers", QProcessEnvironment::systemEnvironment(),
                       {"dbus-run-session", "--", "/usr/bin/python3", silent}, 30000),
              0)
        << "silent service";
}

// The next start of the program: a new process with nothing but the profile folder and the store.
TEST(SecretStoreChild, DISABLED_LoadsThePassword)
{
    const QString programDir = qEnvironmentVariable(ChildDirVariable);
    KeychainSecretStore keychain;
    ProfilePasswords passwords(keychain);
    const OptionsValues loaded = LoadProfile(programDir, "Default", passwords);
    EXPECT_FALSE(loaded.SavePassword);
    EXPECT_EQ(loaded.Password.str(), "hunter2");
}

TEST(SecretStoreChild, DISABLED_NoStoreAnswers)
{
    KeychainSecretStore keychain(QStringLiteral("Tarvo"), 1000);
    QString secret;
    EXPECT_EQ(keychain.Write("cam", "x"), SecretStore::Result::Unavailable);
    EXPECT_EQ(keychain.Read("cam", secret), SecretStore::Result::Unavailable);
    EXPECT_EQ(keychain.Remove("cam"), SecretStore::Result::Unavailable);
}

} // namespace tarvo
