// Where open and save panels start: the user's pictures and documents folders as the desktop
// names them (user-dirs.dirs), the home folder only where such a folder does not exist.
#include "platform/document/PanelPresenter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct EnvironmentValue {
    QByteArray name, saved;
    bool had;
    EnvironmentValue(const char* key, const QByteArray& value)
        : name(key)
        , saved(qgetenv(key))
        , had(qEnvironmentVariableIsSet(key))
    {
        qputenv(key, value);
    }
    ~EnvironmentValue()
    {
        if (had)
            qputenv(name.constData(), saved);
        else
            qunsetenv(name.constData());
    }
};

TEST(PanelFolders, TheDesktopsFoldersWhereTheyExistElseHome)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const EnvironmentValue homeVar("HOME", home.path().toUtf8());
    const EnvironmentValue config("XDG_CONFIG_HOME", (home.path() + "/.config").toUtf8());
    QDir(home.path()).mkpath(".config");
    QFile dirs(home.path() + "/.config/user-dirs.dirs");
    ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
    dirs.write("XDG_PICTURES_DIR=\"$HOME/Bilder\"\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
    dirs.close();
    platform::PanelPresenter::forgetOpenDirectory();

    // The folders named but not made: home.
    EXPECT_EQ(QDir(platform::PanelPresenter::openDirectory()), QDir(home.path()));
    EXPECT_EQ(QDir(platform::PanelPresenter::saveDirectoryFor(QString())), QDir(home.path()));
    // Made: they are where the panels start.
    QDir(home.path()).mkpath("Bilder");
    QDir(home.path()).mkpath("Dokumente");
    EXPECT_EQ(QDir(platform::PanelPresenter::openDirectory()), QDir(home.path() + "/Bilder"));
    EXPECT_EQ(QDir(platform::PanelPresenter::saveDirectoryFor(QString())),
        QDir(home.path() + "/Dokumente"));
}

} // namespace
