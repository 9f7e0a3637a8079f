// vqm-service-sim: a stand-in for the printing service, for tests and the local demo.

#include "ServiceSimulator.h"
#include "SignalWatcher.h"
#include "SimCommandLine.h"
#include "push/PushComponent.h"
#include "push/QrLoginComponent.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <csignal>
#include <cstdio>

namespace {

constexpr int kExitBadOptions = 2;
constexpr int kExitStartFailed = 1;

const char *const kDescription = R"(
A stand-in for the printing service: its HTTP API at /ferrolux/serviceHttp/serviceHttp.php
(getKeys, userLogin, addSubmitJobInfo, getFtpInfo, fileFtpUploadInfo) and an FTP server for the
job targets (pyftpdlib, started as a child process), checking every request strictly; its push
server (--push-port) and its QR-login page (--qr-port)
  /ferrolux/mobile/index.php?act=index&op=scanlogin&DalvemorKeys=KEY&date=DATE&type=1&code=CODE
which shows a form to pick the account and, confirmed (confirm=1&user=NAME[&entkey=KEY] by GET
or POST), pushes the QR-login result to the push connections that subscribed CODE.

Once everything listens it prints one line on standard output:
  vqm-service-sim listening http=PORT ftp=PORT [component=PORT ...] [ftp-root=DIR]
It stops cleanly on SIGTERM or SIGINT, ending the FTP server too and removing the FTP root it
made (never one given with --ftp-root).

Endpoints beside the API, on the same HTTP port:
  GET    /sim/requests[?funType=NAME]  the recorded requests with their answers
  DELETE /sim/requests                 forget them (the --record file keeps them)
  GET    /sim/control                  the faults in force and the content type of answers
  POST   /sim/control                  {"faults": [FAULT, ...], "contentType": "..."}; both
                                       optional, "faults" replaces all faults ([] clears them)
  GET    /sim/push                     the push connections and the codes they subscribed
  POST   /sim/push/send                {"code": C, "packets": [{"mainCmd": N, "subCmd": N,
                                       "content": TEXT}, ...], "splitAt": N}: the packets in
                                       one write to C's connections, or cut in two writes
  POST   /sim/push/close               {"code": C}: close C's connections (all without "code")

Account file (--accounts):
  {"accounts": [{"entkey": "ACME", "userName": "alice", "password": "secret",
                 "entId": "12", "userId": "34", "entname": "Acme", "email": "a@acme.example"}]}
  entkey, userName and password are required; the others are generated when missing.

Faults (--fault SETTINGS, or FAULT objects at /sim/control):
  SETTINGS is a comma-separated list, FAULT the JSON object in brackets:
    call=FUNTYPE        ("funType")         only this call (default: every request)
    errcode=N           ("errcode")         refuse with this errcode; 0 or 21 answer normally
                                            but with that errcode
    content-type=TYPE   ("contentType")     answer with this content type
    delay=MS            ("delayMs")         answer after this many milliseconds
    ftp-unreachable     ("ftpUnreachable")  FTP targets in the answer name a closed port
    times=N             ("times")           affect only the next N answers (default: all)
    body=TEXT           ("body")            answer with this body instead of the JSON object;
                                            must come last, takes the rest of SETTINGS
  Example: --fault call=userLogin,errcode=2,times=1
)";

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vqm-service-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VQM_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(kDescription).trimmed());
    parser.addHelpOption();
    parser.addVersionOption();
    SimCommandLine::addOptions(parser);
    // Further components are created here and add their options.
    std::vector<std::unique_ptr<SimComponent>> components;
    auto push = std::make_unique<PushComponent>();
    auto qrLogin = std::make_unique<QrLoginComponent>(push->server());
    components.push_back(std::move(push));
    components.push_back(std::move(qrLogin));
    for (const auto &component : components)
        parser.addOptions(component->options());
    parser.process(app);

    auto options = SimCommandLine::read(parser, QCoreApplication::applicationDirPath());
    if (!options) {
        std::fprintf(stderr, "vqm-service-sim: %s\n", qPrintable(options.error().description));
        return kExitBadOptions;
    }
    for (const auto &component : components) {
        if (auto configured = component->configure(parser); !configured) {
            std::fprintf(stderr, "vqm-service-sim: %s: %s\n", qPrintable(component->name()),
                         qPrintable(configured.error().description));
            return kExitBadOptions;
        }
    }

    // Before anything starts, so that a signal during start-up still ends the run cleanly.
    SignalWatcher signalWatcher({SIGTERM, SIGINT});
    QObject::connect(&signalWatcher, &SignalWatcher::signalled, &app, &QCoreApplication::quit);

    ServiceSimulator simulator(options.value());
    for (auto &component : components)
        simulator.addComponent(std::move(component));
    if (auto started = simulator.start(); !started) {
        std::fprintf(stderr, "vqm-service-sim: %s\n", qPrintable(started.error().description));
        return kExitStartFailed;
    }
    std::printf("%s\n", qPrintable(simulator.listeningLine()));
    std::fflush(stdout);

    const int exitCode = QCoreApplication::exec();
    simulator.stop();
    return exitCode;
}
