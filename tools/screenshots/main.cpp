// vqm-screenshots: pictures of the login window for the documentation, and the client's own
// images.
//
//   vqm-screenshots --out DIR      the login window in both sizes and with the QR sub-window, in
//                                  English and Simplified Chinese, as PNG files in DIR
//   vqm-screenshots --images DIR   draws logoicon.png, background.png and icon_right.png into DIR
//
// Runs on any Qt platform; scripts/screenshots runs it offscreen.

#include "LoginWindowScene.h"
#include "ResourceArt.h"

#include "client/platform/Localizable.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QTemporaryDir>

#include <cstdio>

namespace {

struct Picture
{
    const char *name;
    LoginWindowScene::Setup setup;
    bool withSubWindow;
};

constexpr Picture kPictures[] = {
    {"login-450x180", {.presetEntKey = false, .qrLogin = true}, false},
    {"login-425x170", {.presetEntKey = true, .qrLogin = true}, false},
    {"login-qr-open", {.presetEntKey = false, .qrLogin = true}, true},
};

constexpr const char *kLanguages[] = {"en", "zh_CN"};

int fail(const QString &message)
{
    std::fprintf(stderr, "vqm-screenshots: %s\n", qUtf8Printable(message));
    return 1;
}

int writeScreenshots(const QString &folder)
{
    if (!QDir().mkpath(folder))
        return fail(QStringLiteral("cannot make %1").arg(folder));
    for (const char *language : kLanguages) {
        Localizable::install(QLocale(QString::fromLatin1(language)));
        for (const Picture &picture : kPictures) {
            QTemporaryDir work;
            if (!work.isValid())
                return fail(QStringLiteral("no temporary folder"));
            LoginWindowScene scene(work.path(), picture.setup);
            const QImage image =
                picture.withSubWindow ? scene.grabWithSubWindow() : scene.grabWindow();
            const QString path = QDir(folder).filePath(
                QStringLiteral("%1.%2.png")
                    .arg(QLatin1String(picture.name), QLatin1String(language)));
            if (!image.save(path, "PNG"))
                return fail(QStringLiteral("cannot write %1").arg(path));
            std::printf("%s\n", qUtf8Printable(path));
        }
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Pictures of the Tarvello login window."));
    parser.addHelpOption();
    const QCommandLineOption out(QStringLiteral("out"),
                                 QStringLiteral("Write the screenshots into <dir>."),
                                 QStringLiteral("dir"));
    const QCommandLineOption images(QStringLiteral("images"),
                                    QStringLiteral("Draw the client's images into <dir>."),
                                    QStringLiteral("dir"));
    parser.addOption(out);
    parser.addOption(images);
    parser.process(app);

    if (parser.isSet(images)) {
        QString error;
        if (!ResourceArt::writeAll(parser.value(images), &error))
            return fail(error);
    }
    if (parser.isSet(out))
        return writeScreenshots(parser.value(out));
    if (!parser.isSet(images))
        parser.showHelp(1);
    return 0;
}
