// File helpers on real temporary folders: the path helpers that follow no link at any step, the
// copy between opened folders, the atomic overwrite, the shared mode and the start-up purge of
// expired spool PDFs.

#include "monitor/PRTools.h"
#include "FileMode.h"
#include "OpenedFolder.h"
#include "foundation/SharedFolderFiles.h"
#include "support/OtherUser.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <thread>

using TestSupport::readFile;
using TestSupport::writeFile;

namespace {

constexpr auto kPrecious = "precious";
constexpr auto kNew = "new";

class PRToolsFiles : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        folder = OpenedFolder::open(root.path());
        ASSERT_TRUE(folder);
    }
    QString path(const QString &name) const { return root.filePath(name); }
    int fd() const { return folder->descriptor(); }
    QDateTime afterMaxAge() const { return QDateTime::currentDateTime().addSecs(601); }

    QTemporaryDir root;
    std::unique_ptr<CheckedFolder> folder;
};

// A folder with a link planted at each step a path helper takes, all leading into "victim",
// whose file must stay as it is whatever the helper does.
class PlantedLinks
{
public:
    PlantedLinks()
    {
        ok = root.isValid() && QDir().mkpath(path("victim")) &&
             writeFile(path("victim/keep.pdf"), kPrecious) &&
             ::chmod(QFile::encodeName(path("victim/keep.pdf")).constData(), 0600) == 0 &&
             writeFile(path("source.pdf"), kNew) &&
             ::mkfifo(QFile::encodeName(path("fifo.pdf")).constData(), 0666) == 0 &&
             QFile::link(path("victim"), path("linked")) &&
             QFile::link(path("victim/keep.pdf"), path("link.pdf")) &&
             QDir().mkpath(path("tree/sub")) && writeFile(path("tree/a.pdf"), "a") &&
             writeFile(path("tree/sub/b.pdf"), "b") &&
             QFile::link(path("victim"), path("tree/sub/into")) &&
             QFile::link(path("victim/keep.pdf"), path("tree/sub/file.pdf"));
    }
    QString path(const QString &name) const { return root.filePath(name); }
    bool victimUntouched() const
    {
        return readFile(path("victim/keep.pdf")) == kPrecious &&
               fileModeOf(path("victim/keep.pdf")) == 0600u &&
               QDir(path("victim"))
                       .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System |
                                  QDir::Hidden) == QStringList{"keep.pdf"};
    }

    bool ok = false;

private:
    QTemporaryDir root;
};

bool isLink(const QString &path)
{
    return QFileInfo(path).isSymLink();
}

bool isAbsent(const QString &path)
{
    return !QFileInfo::exists(path) && !isLink(path);
}

struct PathCase
{
    const char *what;
    std::function<bool(const PlantedLinks &)> act;
    bool succeeds;
    std::function<bool(const PlantedLinks &)> leaves;
};

} // namespace

TEST(PRToolsPaths, NoHelperFollowsALinkAtAnyStep)
{
    using P = const PlantedLinks &;
    const auto copy = [](const char *from, const char *to, bool overwrite) {
        return [=](P planted) {
            return PRTools::copyItemAtPath(planted.path(from), planted.path(to), overwrite).ok();
        };
    };
    const auto unchanged = [](P) { return true; };
    const std::vector<PathCase> cases = {
        {"copy from a link as a parent", copy("linked/keep.pdf", "out.pdf", false), false,
         [](P p) { return isAbsent(p.path("out.pdf")); }},
        {"copy from a link", copy("link.pdf", "out.pdf", false), false,
         [](P p) { return isAbsent(p.path("out.pdf")); }},
        {"copy from a FIFO, without blocking", copy("fifo.pdf", "out.pdf", false), false,
         [](P p) { return isAbsent(p.path("out.pdf")); }},
        {"copy into a link as a parent", copy("source.pdf", "linked/out.pdf", true), false,
         unchanged},
        {"copy over a link, no overwrite", copy("source.pdf", "link.pdf", false), false,
         [](P p) { return isLink(p.path("link.pdf")); }},
        {"copy over a link, overwrite", copy("source.pdf", "link.pdf", true), true,
         [](P p) { return !isLink(p.path("link.pdf")) && readFile(p.path("link.pdf")) == kNew; }},
        {"copy over a folder, overwrite", copy("source.pdf", "tree", true), true,
         [](P p) { return readFile(p.path("tree")) == kNew; }},
        {"copy into missing folders", copy("source.pdf", "made/deeper/out.pdf", false), true,
         [](P p) { return readFile(p.path("made/deeper/out.pdf")) == kNew; }},
        {"remove a folder with links inside",
         [](P p) { return PRTools::removeItemAtPath(p.path("tree")).ok(); }, true,
         [](P p) { return isAbsent(p.path("tree")); }},
        {"remove a link to a folder",
         [](P p) { return PRTools::removeItemAtPath(p.path("linked")).ok(); }, true,
         [](P p) { return isAbsent(p.path("linked")); }},
        {"remove through a link as a parent",
         [](P p) { return PRTools::removeItemAtPath(p.path("linked/keep.pdf")).ok(); }, false,
         unchanged},
        {"remove what is not there",
         [](P p) { return PRTools::removeItemAtPath(p.path("absent")).ok(); }, false, unchanged},
        {"remove the file at a link",
         [](P p) { return PRTools::removeFileAtPath(p.path("link.pdf")); }, true,
         [](P p) { return isAbsent(p.path("link.pdf")); }},
        {"remove the file where nothing is",
         [](P p) { return PRTools::removeFileAtPath(p.path("absent/x.pdf")); }, true, unchanged},
        {"remove the file through a link as a parent",
         [](P p) { return PRTools::removeFileAtPath(p.path("linked/keep.pdf")); }, false,
         unchanged},
        {"make a folder through a link as a parent",
         [](P p) { return PRTools::createDirectoryAtPath(p.path("linked/made")).ok(); }, false,
         unchanged},
        {"make a folder at a link",
         [](P p) { return PRTools::createDirectoryAtPath(p.path("linked")).ok(); }, false,
         [](P p) { return isLink(p.path("linked")); }},
        {"make folders with their parents",
         [](P p) { return PRTools::createDirectoryAtPath(p.path("made/deeper")).ok(); }, true,
         [](P p) { return QFileInfo(p.path("made/deeper")).isDir(); }},
        {"make a folder that exists",
         [](P p) { return PRTools::createDirectoryAtPath(p.path("tree")).ok(); }, true, unchanged},
        {"exists through a link as a parent",
         [](P p) { return PRTools::isExistsAtPath(p.path("linked/keep.pdf")); }, false, unchanged},
        {"exists: a link itself", [](P p) { return PRTools::isExistsAtPath(p.path("link.pdf")); },
         true, unchanged},
        {"exists: nothing there", [](P p) { return PRTools::isExistsAtPath(p.path("absent")); },
         false, unchanged},
        {"exists: the root folder", [](P) { return PRTools::isExistsAtPath("/"); }, true,
         unchanged},
        {"purge through a link to a folder",
         [](P p) {
             PRTools::removeExpiredFilesAtDirPath(p.path("linked"), std::chrono::seconds(600),
                                                  QDateTime::currentDateTime().addSecs(601));
             return true;
         },
         true, unchanged},
        {"shared mode through a link as a parent",
         [](P p) {
             PRTools::setSharedMode(p.path("linked/keep.pdf"));
             return true;
         },
         true, unchanged},
    };
    for (const PathCase &row : cases) {
        SCOPED_TRACE(row.what);
        const PlantedLinks planted;
        ASSERT_TRUE(planted.ok);
        EXPECT_EQ(row.act(planted), row.succeeds);
        EXPECT_TRUE(row.leaves(planted));
        EXPECT_TRUE(planted.victimUntouched());
    }
}

TEST(PRToolsPaths, DirectoryIsThePathWithoutItsLastComponent)
{
    const std::vector<std::pair<QString, QString>> cases = {
        {"/a/b/c", "/a/b"}, {"/a/b/", "/a"}, {"/a", "/"},   {"/", "/"},
        {"a", ""},          {"a/b", "a"},    {"a//b", "a"}, {"", ""},
    };
    for (const auto &[path, directory] : cases)
        EXPECT_EQ(PRTools::directoryAtPath(path), directory) << path.toStdString();
}

TEST_F(PRToolsFiles, CopyByPathKeepsContentPermissionsAndTimesButNoSetIdBit)
{
    ASSERT_TRUE(writeFile(path("1.pdf"), "%PDF-1.4 body"));
    ASSERT_EQ(::chmod(QFile::encodeName(path("1.pdf")).constData(), 04750), 0);
    ASSERT_TRUE(PRTools::copyItemAtPath(path("1.pdf"), path("copies/A.pdf"), false));
    EXPECT_EQ(readFile(path("copies/A.pdf")), "%PDF-1.4 body");
    EXPECT_EQ(fileModeOf(path("copies/A.pdf")), 0750u);
    EXPECT_EQ(QFileInfo(path("copies/A.pdf")).lastModified(),
              QFileInfo(path("1.pdf")).lastModified());
    EXPECT_FALSE(PRTools::copyItemAtPath(path("1.pdf"), path("copies/A.pdf"), false));
    // Nothing staged is left behind, by the copy or by the one that failed.
    EXPECT_EQ(
        QDir(path("copies")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
        QStringList{"A.pdf"});
}

TEST_F(PRToolsFiles, OverwriteReplacesTheDestinationWithoutEverLeavingItAbsentOrPartial)
{
    constexpr int kContentSize = 256 * 1024;
    constexpr int kOverwrites = 200;
    const QByteArray first(kContentSize, 'a');
    const QByteArray second(kContentSize, 'b');
    ASSERT_TRUE(writeFile(path("first.pdf"), first));
    ASSERT_TRUE(writeFile(path("second.pdf"), second));
    ASSERT_TRUE(writeFile(path("out.pdf"), first));

    std::atomic<bool> done = false;
    std::atomic<int> absent = 0;
    std::atomic<int> partial = 0;
    std::thread reader([&] {
        while (!done) {
            QFile file(path("out.pdf"));
            if (!file.open(QIODevice::ReadOnly)) {
                ++absent;
                continue;
            }
            const QByteArray content = file.readAll();
            if (content != first && content != second)
                ++partial;
        }
    });
    bool allCopied = true;
    for (int round = 0; round < kOverwrites; ++round)
        allCopied = PRTools::copyItemAtPath(path(round % 2 ? "first.pdf" : "second.pdf"),
                                            path("out.pdf"), true)
                        .ok() &&
                    allCopied;
    done = true;
    reader.join();

    EXPECT_TRUE(allCopied);
    EXPECT_EQ(absent.load(), 0);
    EXPECT_EQ(partial.load(), 0);
    EXPECT_EQ(readFile(path("out.pdf")), first);
}

TEST_F(PRToolsFiles, CopyBetweenFoldersKeepsTheContentAndTellsWhichFileItCopied)
{
    ASSERT_TRUE(writeFile(path("1.pdf"), "%PDF-1.4 body"));
    const Result<struct stat> copied =
        PRTools::copyFileBetweenFolders(fd(), "1.pdf", fd(), "A.pdf", 0777);
    ASSERT_TRUE(copied);
    EXPECT_EQ(readFile(path("A.pdf")), "%PDF-1.4 body");
    EXPECT_EQ(fileModeOf(path("A.pdf")), 0777u);
    EXPECT_TRUE(QFileInfo::exists(path("1.pdf")));
    struct stat source = {};
    ASSERT_EQ(::stat(QFile::encodeName(path("1.pdf")).constData(), &source), 0);
    EXPECT_EQ(copied->st_ino, source.st_ino);
}

TEST_F(PRToolsFiles, CopyOfAMissingSourceNamesIt)
{
    const QString error = QString::fromUtf8("源文件路径%1不存在，请检查源文件路径");
    const Result<struct stat> copied =
        PRTools::copyFileBetweenFolders(fd(), "gone.pdf", fd(), "A.pdf", 0777);
    ASSERT_FALSE(copied);
    EXPECT_EQ(copied.error().domain, QString::fromUtf8("非法的源文件路径"));
    EXPECT_EQ(copied.error().description, error.arg("gone.pdf"));

    for (const QString &missing : {path("gone.pdf"), path("gone/1.pdf")}) {
        const Result<Done> byPath = PRTools::copyItemAtPath(missing, path("A.pdf"), true);
        ASSERT_FALSE(byPath);
        EXPECT_EQ(byPath.error().domain, QString::fromUtf8("非法的源文件路径"));
        EXPECT_EQ(byPath.error().description, error.arg(missing));
    }
    EXPECT_FALSE(QFileInfo::exists(path("A.pdf")));
}

TEST_F(PRToolsFiles, CopyBetweenFoldersNeverReadsOrWritesThroughALinkOrOverAnExistingFile)
{
    ASSERT_TRUE(writeFile(path("1.pdf"), "new"));
    ASSERT_TRUE(QDir().mkpath(path("elsewhere")));
    ASSERT_TRUE(writeFile(path("elsewhere/victim"), kPrecious));
    ASSERT_TRUE(writeFile(path("taken.pdf"), "old"));
    ASSERT_TRUE(QFile::link(path("elsewhere/victim"), path("link.pdf")));
    ASSERT_TRUE(QFile::link(path("elsewhere/planted"), path("dangling.pdf")));

    for (const char *destination : {"taken.pdf", "link.pdf", "dangling.pdf"})
        EXPECT_FALSE(PRTools::copyFileBetweenFolders(fd(), "1.pdf", fd(), destination, 0777))
            << destination;
    EXPECT_FALSE(PRTools::copyFileBetweenFolders(fd(), "link.pdf", fd(), "B.pdf", 0777));

    EXPECT_EQ(readFile(path("taken.pdf")), "old");
    EXPECT_EQ(readFile(path("elsewhere/victim")), kPrecious);
    EXPECT_FALSE(QFileInfo::exists(path("elsewhere/planted")));
    EXPECT_FALSE(QFileInfo::exists(path("B.pdf")));
}

TEST_F(PRToolsFiles, PurgeRemovesEveryExpiredPdfButFolders)
{
    enum class Kind { File, Link, Fifo, Folder };
    struct Entry
    {
        const char *name;
        Kind kind;
        bool removed;
    };
    const std::vector<Entry> entries = {
        {"x.pdf", Kind::File, true},         {"X.PDF", Kind::File, true},
        {"link.pdf", Kind::Link, true},      {"fifo.pdf", Kind::Fifo, true},
        {"folder.pdf", Kind::Folder, false}, {"notes.txt", Kind::File, false},
        {"pdf", Kind::File, false},
    };
    // Another user plants the link, into a folder every user may write, as in the spool.
    ASSERT_TRUE(QDir().mkpath(path("spool")));
    ASSERT_TRUE(OtherUser::shareFolder(path("spool"), root.path()));
    ASSERT_TRUE(writeFile(path("victim.pdf"), kPrecious));
    for (const Entry &entry : entries) {
        const QString at = path("spool/") + entry.name;
        const QByteArray encoded = QFile::encodeName(at);
        switch (entry.kind) {
        case Kind::File:
            ASSERT_TRUE(writeFile(at, "%PDF"));
            break;
        case Kind::Link:
            ASSERT_TRUE(OtherUser::plantLink(path("victim.pdf"), at));
            break;
        case Kind::Fifo:
            ASSERT_EQ(::mkfifo(encoded.constData(), 0666), 0);
            break;
        case Kind::Folder:
            ASSERT_TRUE(QDir().mkpath(at));
            break;
        }
    }
    const QString spool = path("spool");
    const QDateTime created = SharedFolderFiles::entryStatus(fd(), "victim.pdf")->created;

    // Every entry was made after the victim, so none of them has reached the age yet.
    PRTools::removeExpiredFilesAtDirPath(spool, std::chrono::seconds(600), created.addSecs(599));
    for (const Entry &entry : entries)
        EXPECT_TRUE(isLink(spool + "/" + entry.name) || QFileInfo::exists(spool + "/" + entry.name))
            << "fresh " << entry.name;

    PRTools::removeExpiredFilesAtDirPath(spool, std::chrono::seconds(600), afterMaxAge());
    for (const Entry &entry : entries)
        EXPECT_EQ(isAbsent(spool + "/" + entry.name), entry.removed) << entry.name;
    EXPECT_TRUE(QFileInfo(spool + "/folder.pdf").isDir());
    EXPECT_EQ(readFile(path("victim.pdf")), kPrecious);
}

TEST_F(PRToolsFiles, SpoolPdfOfADayAndFiveMinutesIsExpired)
{
    ASSERT_TRUE(writeFile(path("7.pdf"), "%PDF"));
    PRTools::removeExpiredFilesInFolder(fd(), std::chrono::seconds(600),
                                        QDateTime::currentDateTime().addSecs(86400 + 300));
    EXPECT_FALSE(QFileInfo::exists(path("7.pdf")));
}

TEST_F(PRToolsFiles, SharedModeIsGiven)
{
    ASSERT_TRUE(writeFile(path("f"), ""));
    PRTools::setSharedMode(path("f"));
    EXPECT_EQ(fileModeOf(path("f")), 0777u);
    ASSERT_TRUE(QDir().mkpath(path("folder")));
    PRTools::setSharedMode(path("folder"));
    EXPECT_EQ(fileModeOf(path("folder")), 0777u);
}

TEST_F(PRToolsFiles, SharedModeIsNeverGivenThroughAPlantedLink)
{
    ASSERT_TRUE(QDir().mkpath(path("shared")));
    ASSERT_TRUE(OtherUser::shareFolder(path("shared"), root.path()));
    ASSERT_TRUE(writeFile(path("secret"), kPrecious));
    ASSERT_TRUE(QDir().mkpath(path("private")));
    for (const char *target : {"secret", "private"}) {
        SCOPED_TRACE(target);
        ASSERT_EQ(::chmod(QFile::encodeName(path(target)).constData(), 0700), 0);
        const QString link = path("shared/") + target;
        ASSERT_TRUE(OtherUser::plantLink(path(target), link));
        PRTools::setSharedMode(link);
        EXPECT_EQ(fileModeOf(path(target)), 0700u);
    }
}
