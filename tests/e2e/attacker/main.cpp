// vqm-e2e-attacker: what another local user runs against the print road while jobs pass, as the
// attack tests start it (as "nobody"). It watches one shared folder with inotify until it is
// ended, and tells on standard output, one line each, what it did:
//
//   vqm-e2e-attacker swap-partials FOLDER OWN_PDF
//       each hidden partial file (".<job id>.<anything>.partial") that appears in FOLDER is
//       renamed away to ".stolen<name>" and OWN_PDF is put at its name: "stole <stolen name>"
//   vqm-e2e-attacker rewrite-copies FOLDER OWN_PDF
//       each file written in FOLDER is rewritten with OWN_PDF, in place or else by a file of his
//       own renamed over it: "rewrote <name>", or "refused <name>: <reason>"

#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <string_view>

namespace {

constexpr int kUsageStatus = 2;
constexpr int kFailureStatus = 1;
constexpr mode_t kOwnFileMode = 0644;
constexpr size_t kEventBufferSize = 64 * 1024;
constexpr auto kStolenPrefix = ".stolen";
constexpr auto kOwnFilePrefix = ".own";

void tell(const std::string &line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

bool writeAll(int file, const std::string &bytes)
{
    for (size_t written = 0; written < bytes.size();) {
        const ssize_t step = ::write(file, bytes.data() + written, bytes.size() - written);
        if (step < 0)
            return false;
        written += size_t(step);
    }
    return true;
}

// A new file of his own at the name, holding the bytes; errno tells why not.
bool createOwn(int folder, const std::string &name, const std::string &bytes)
{
    const int file =
        ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, kOwnFileMode);
    if (file < 0)
        return false;
    const bool written = writeAll(file, bytes);
    ::close(file);
    return written;
}

// A staged job's hidden name: "." and the job id, then "." and anything, ending in ".partial".
bool isPartialName(const std::string &name)
{
    static constexpr std::string_view kEnd = ".partial";
    if (name.size() < 2 || name[0] != '.' || !std::isdigit(static_cast<unsigned char>(name[1])) ||
        !name.ends_with(kEnd))
        return false;
    std::size_t position = 1;
    while (position < name.size() && std::isdigit(static_cast<unsigned char>(name[position])))
        ++position;
    return name[position] == '.' && position + kEnd.size() < name.size();
}

void swapPartial(int folder, const std::string &name, const std::string &ownPdf)
{
    // The file he puts at a name he swapped appears there too.
    static std::set<std::string> swapped;
    if (!isPartialName(name) || !swapped.insert(name).second)
        return;
    const std::string stolen = kStolenPrefix + name;
    if (::renameat(folder, name.c_str(), folder, stolen.c_str()) != 0)
        return;
    createOwn(folder, name, ownPdf);
    tell("stole " + stolen);
}

void rewriteCopy(int folder, const std::string &name, const std::string &ownPdf)
{
    // His own rewrite is a write in the folder too.
    static std::set<std::string> attacked;
    if (name.rfind(kOwnFilePrefix, 0) == 0 || !attacked.insert(name).second)
        return;
    const int file = ::openat(folder, name.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW);
    if (file >= 0) {
        const bool written = writeAll(file, ownPdf);
        ::close(file);
        tell((written ? "rewrote " : "refused ") + name);
        return;
    }
    const int inPlace = errno;
    // Already renamed away (a staged copy moved to its final name): nothing there to rewrite.
    if (inPlace == ENOENT) {
        tell("gone " + name);
        return;
    }
    const std::string own = kOwnFilePrefix + name;
    if (createOwn(folder, own, ownPdf) &&
        ::renameat(folder, own.c_str(), folder, name.c_str()) == 0) {
        tell("rewrote " + name);
        return;
    }
    const int replaced = errno;
    ::unlinkat(folder, own.c_str(), 0);
    tell("refused " + name + ": " + std::strerror(inPlace) + ", " + std::strerror(replaced));
}

using Attack = void (*)(int folder, const std::string &name, const std::string &ownPdf);

int watch(const char *folderPath, uint32_t events, Attack attack, const std::string &ownPdf)
{
    const int folder = ::open(folderPath, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const int notify = ::inotify_init1(IN_CLOEXEC);
    if (folder < 0 || notify < 0 || ::inotify_add_watch(notify, folderPath, events) < 0) {
        std::perror(folderPath);
        return kFailureStatus;
    }
    tell("watching");
    alignas(inotify_event) std::array<char, kEventBufferSize> buffer{};
    for (;;) {
        const ssize_t length = ::read(notify, buffer.data(), buffer.size());
        if (length <= 0) {
            if (length < 0 && errno == EINTR)
                continue;
            return kFailureStatus;
        }
        for (ssize_t offset = 0; offset < length;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer.data() + offset);
            if (event->len > 0)
                attack(folder, event->name, ownPdf);
            offset += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    constexpr int kArguments = 4;
    if (argc != kArguments) {
        std::fprintf(stderr, "usage: %s swap-partials|rewrite-copies FOLDER OWN_PDF\n", argv[0]);
        return kUsageStatus;
    }
    std::ifstream pdf(argv[3], std::ios::binary);
    const std::string ownPdf{std::istreambuf_iterator<char>(pdf), {}};
    if (!pdf || ownPdf.empty()) {
        std::perror(argv[3]);
        return kFailureStatus;
    }
    const std::string mode = argv[1];
    if (mode == "swap-partials")
        return watch(argv[2], IN_CREATE | IN_MOVED_TO, swapPartial, ownPdf);
    if (mode == "rewrite-copies")
        // A copy may be made under its name, moved there, or opened to him by a later chmod.
        return watch(argv[2], IN_CREATE | IN_CLOSE_WRITE | IN_MOVED_TO | IN_ATTRIB, rewriteCopy,
                     ownPdf);
    std::fprintf(stderr, "unknown attack %s\n", argv[1]);
    return kUsageStatus;
}
