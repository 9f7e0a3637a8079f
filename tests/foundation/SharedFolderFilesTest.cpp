#include "foundation/SharedFolderFiles.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

constexpr mode_t kSecretMode = 0600;
constexpr mode_t kSharedFileMode = 0666;
const QByteArray kSecret = "secret bytes";

// A shared folder with a file outside it that planted entries point at.
class SharedFolderFilesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_root.isValid());
        ASSERT_TRUE(QDir(m_root.path()).mkdir("shared"));
        ASSERT_TRUE(TestSupport::writeFile(secretPath(), kSecret));
        ASSERT_EQ(::chmod(QFile::encodeName(secretPath()).constData(), kSecretMode), 0);
        auto folder = SharedFolderFiles::openFolder(sharedPath());
        ASSERT_TRUE(folder) << folder.error().description.toStdString();
        m_folder = std::move(folder.value());
    }

    QString sharedPath() const { return m_root.filePath("shared"); }
    QString secretPath() const { return m_root.filePath("secret"); }
    QString entry(const QString &name) const { return sharedPath() + '/' + name; }

    void plantLink(const QString &name, const QString &target) const
    {
        ASSERT_TRUE(QFile::link(target, entry(name)));
    }
    void plantFifo(const QString &name) const
    {
        ASSERT_EQ(::mkfifo(QFile::encodeName(entry(name)).constData(), 0666), 0);
    }

    void expectSecretUntouched() const
    {
        EXPECT_EQ(TestSupport::readFile(secretPath()), kSecret);
        struct stat status = {};
        ASSERT_EQ(::stat(QFile::encodeName(secretPath()).constData(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, kSecretMode);
    }

    QTemporaryDir m_root;
    FileDescriptor m_folder;
};

TEST_F(SharedFolderFilesTest, CreateRefusesEveryPlantedEntryAndLeavesItsTargetAlone)
{
    plantLink("to-secret", secretPath());
    plantLink("dangling", m_root.filePath("nothing-here"));
    for (const char *name : {"to-secret", "dangling"}) {
        SCOPED_TRACE(name);
        const auto created = SharedFolderFiles::createFile(m_folder.get(), name, kSharedFileMode);
        ASSERT_FALSE(created);
        EXPECT_EQ(created.error().code, EEXIST);
    }
    EXPECT_FALSE(QFile::exists(m_root.filePath("nothing-here")));
    expectSecretUntouched();
}

TEST_F(SharedFolderFilesTest, ReplaceRemovesAPlantedLinkNotItsTargetAndWritesItsOwnFile)
{
    plantLink("own.partial", secretPath());
    const mode_t previousMask = ::umask(077);
    auto created = SharedFolderFiles::replaceFile(m_folder.get(), "own.partial", kSharedFileMode);
    ::umask(previousMask);
    ASSERT_TRUE(created) << created.error().description.toStdString();
    ASSERT_EQ(::write(created->get(), "job", 3), 3);

    expectSecretUntouched();
    const QFileInfo written(entry("own.partial"));
    EXPECT_FALSE(written.isSymLink());
    EXPECT_EQ(TestSupport::readFile(entry("own.partial")), QByteArray("job"));
    struct stat status = {};
    ASSERT_EQ(::lstat(QFile::encodeName(entry("own.partial")).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, kSharedFileMode) << "the umask must not narrow the mode";
}

TEST_F(SharedFolderFilesTest, OpenUsesOnlyRegularFilesAndNeverBlocks)
{
    ASSERT_TRUE(TestSupport::writeFile(entry("job.pdf"), "%PDF"));
    plantLink("link.pdf", secretPath());
    plantLink("dangling.pdf", m_root.filePath("nothing-here"));
    plantFifo("fifo.pdf");
    ASSERT_TRUE(QDir(sharedPath()).mkdir("folder.pdf"));

    struct Case
    {
        const char *name;
        bool usable;
    };
    for (const Case &c :
         {Case{"job.pdf", true}, Case{"link.pdf", false}, Case{"dangling.pdf", false},
          Case{"fifo.pdf", false}, Case{"folder.pdf", false}, Case{"../secret", false}}) {
        SCOPED_TRACE(c.name);
        for (int flags : {O_RDONLY, O_WRONLY | O_APPEND}) {
            const auto relative = SharedFolderFiles::openRegularFile(m_folder.get(), c.name, flags);
            EXPECT_EQ(bool(relative), c.usable);
            if (QString(c.name).contains('/'))
                continue;
            const auto byPath = SharedFolderFiles::openRegularFile(entry(c.name), flags);
            EXPECT_EQ(bool(byPath), c.usable);
        }
    }
    expectSecretUntouched();
}

TEST_F(SharedFolderFilesTest, OpenedFileReadsAndWritesBlockingAsUsual)
{
    ASSERT_TRUE(TestSupport::writeFile(entry("job.pdf"), "%PDF"));
    const auto opened = SharedFolderFiles::openRegularFile(m_folder.get(), "job.pdf", O_RDONLY);
    ASSERT_TRUE(opened);
    EXPECT_FALSE(::fcntl(opened->get(), F_GETFL) & O_NONBLOCK);
    EXPECT_TRUE(::fcntl(opened->get(), F_GETFD) & FD_CLOEXEC);
}

TEST_F(SharedFolderFilesTest, GrantModeAddsBitsThroughTheDescriptorOnly)
{
    ASSERT_TRUE(TestSupport::writeFile(entry("db"), ""));
    ASSERT_EQ(::chmod(QFile::encodeName(entry("db")).constData(), 0640), 0);
    const auto opened = SharedFolderFiles::openRegularFile(m_folder.get(), "db", O_RDONLY);
    ASSERT_TRUE(opened);
    ASSERT_TRUE(SharedFolderFiles::grantMode(opened->get(), 0606));
    struct stat status = {};
    ASSERT_EQ(::fstat(opened->get(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, mode_t(0646));
}

TEST_F(SharedFolderFilesTest, FolderThatIsALinkIsRefused)
{
    ASSERT_TRUE(QFile::link(sharedPath(), m_root.filePath("link-to-shared")));
    const auto folder = SharedFolderFiles::openFolder(m_root.filePath("link-to-shared"));
    ASSERT_FALSE(folder);
    EXPECT_EQ(folder.error().code, ENOTDIR);
}

TEST_F(SharedFolderFilesTest, OwnedFolderIsOneOfRootOrThisUserNeverAnotherUsersOrALink)
{
    ASSERT_TRUE(QDir(sharedPath()).mkdir("ours"));
    ASSERT_TRUE(QDir(sharedPath()).mkdir("theirs"));
    ASSERT_TRUE(QFile::link(entry("ours"), entry("link")));
    const uid_t otherUser = ::geteuid() == 0 ? 65534 : 0;
    const QByteArray theirs = QFile::encodeName(entry("theirs"));
    if (::chown(theirs.constData(), otherUser, gid_t(-1)) != 0)
        GTEST_SKIP() << "cannot give a folder to another user here";

    EXPECT_TRUE(SharedFolderFiles::openOwnedFolder(entry("ours")));
    EXPECT_TRUE(SharedFolderFiles::openOwnedFolder(m_folder.get(), "ours"));
    for (const auto &opened : {SharedFolderFiles::openOwnedFolder(entry("theirs")),
                               SharedFolderFiles::openOwnedFolder(m_folder.get(), "theirs")}) {
        ASSERT_FALSE(opened);
        EXPECT_EQ(opened.error().code, EPERM);
        EXPECT_TRUE(opened.error().description.contains(QString::number(otherUser)));
    }
    EXPECT_FALSE(SharedFolderFiles::openOwnedFolder(entry("link")));
    EXPECT_FALSE(SharedFolderFiles::openOwnedFolder(m_folder.get(), "link"));
    EXPECT_FALSE(SharedFolderFiles::openOwnedFolder(m_folder.get(), "../shared"));
}

TEST_F(SharedFolderFilesTest, EntriesOfTheBackendsUserAreTrustedOthersAreNot)
{
    const passwd *backend = ::getpwnam(VQM_BACKEND_USER);
    if (backend == nullptr || ::geteuid() != 0)
        GTEST_SKIP() << "needs root and the user " VQM_BACKEND_USER;
    constexpr uid_t kNobody = 65534;
    const uid_t backendUser = backend->pw_uid;
    ASSERT_TRUE(QDir(sharedPath()).mkdir("backends"));
    ASSERT_EQ(::chown(QFile::encodeName(entry("backends")).constData(), backendUser, gid_t(-1)), 0);
    EXPECT_TRUE(SharedFolderFiles::openOwnedFolder(entry("backends")));
    EXPECT_TRUE(SharedFolderFiles::openOwnedFolder(m_folder.get(), "backends"));

    struct Case
    {
        const char *name;
        uid_t owner;
        bool secondName;
        bool trusted;
    };
    const Case cases[] = {
        {"backends.pdf", backendUser, false, true},
        {"roots.pdf", 0, false, true},
        {"nobodys.pdf", kNobody, false, false},
        {"linked.pdf", backendUser, true, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray path = QFile::encodeName(entry(c.name));
        ASSERT_TRUE(TestSupport::writeFile(entry(c.name), "%PDF-1.4\n%%EOF\n"));
        ASSERT_EQ(::chown(path.constData(), c.owner, gid_t(-1)), 0);
        if (c.secondName) {
            ASSERT_EQ(::link(path.constData(), (path + ".again").constData()), 0);
        }
        const auto status = SharedFolderFiles::entryStatus(m_folder.get(), c.name);
        ASSERT_TRUE(status);
        EXPECT_EQ(SharedFolderFiles::isTrustedFile(status->status), c.trusted);
    }
    // Neither a folder nor a link is a job file, whoever owns it.
    ASSERT_TRUE(QFile::link(entry("backends.pdf"), entry("link.pdf")));
    for (const char *name : {"backends", "link.pdf"}) {
        const auto status = SharedFolderFiles::entryStatus(m_folder.get(), name);
        ASSERT_TRUE(status);
        EXPECT_FALSE(SharedFolderFiles::isTrustedFile(status->status)) << name;
    }
}

TEST_F(SharedFolderFilesTest, RemoveCheckedFileRemovesOnlyTheFileThatWasChecked)
{
    struct Case
    {
        const char *what;
        std::function<void(const QString &name)> swap; // what happens after the check
        bool removed;
    };
    const std::vector<Case> cases = {
        {"unchanged", [](const QString &) {}, true},
        {"replaced by another file",
         [this](const QString &name) {
             // Made before the checked one goes, so that it cannot reuse its inode.
             ASSERT_TRUE(TestSupport::writeFile(entry("other"), "other"));
             ASSERT_EQ(::rename(QFile::encodeName(entry("other")).constData(),
                                QFile::encodeName(entry(name)).constData()),
                       0);
         },
         false},
        {"replaced by a link to the secret",
         [this](const QString &name) {
             ASSERT_TRUE(QFile::remove(entry(name)));
             plantLink(name, secretPath());
         },
         false},
        {"replaced by a folder",
         [this](const QString &name) {
             ASSERT_TRUE(QFile::remove(entry(name)));
             ASSERT_TRUE(QDir(sharedPath()).mkpath(name + "/inside"));
         },
         false},
    };
    int round = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const QString name = QStringLiteral("job-%1.pdf").arg(++round);
        ASSERT_TRUE(TestSupport::writeFile(entry(name), "checked"));
        struct stat checked = {};
        ASSERT_EQ(::lstat(QFile::encodeName(entry(name)).constData(), &checked), 0);
        c.swap(name);
        const Result<Done> removed =
            SharedFolderFiles::removeCheckedFile(m_folder.get(), name, checked);
        EXPECT_EQ(bool(removed), c.removed);
        EXPECT_EQ(QFileInfo::exists(entry(name)) || QFileInfo(entry(name)).isSymLink(), !c.removed);
        if (!c.removed) {
            EXPECT_EQ(removed.error().code, ESTALE);
        }
    }
    EXPECT_TRUE(QFileInfo::exists(entry("job-4.pdf/inside")));
    expectSecretUntouched();
}

} // namespace
