#include "FtpExchange.h"

#include <curl/curl.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace {

struct CurlHandleDeleter
{
    void operator()(CURL *curl) const { curl_easy_cleanup(curl); }
};
using CurlHandle = std::unique_ptr<CURL, CurlHandleDeleter>;

struct CurlListDeleter
{
    void operator()(curl_slist *list) const { curl_slist_free_all(list); }
};
using CurlList = std::unique_ptr<curl_slist, CurlListDeleter>;

// Larger than libcurl's 64 KiB default: fewer, fuller writes to the data connection.
constexpr long kUploadBufferSize = 512 * 1024;

size_t readFromFile(char *buffer, size_t size, size_t count, void *file)
{
    ssize_t read = -1;
    do {
        read = ::read(*static_cast<const int *>(file), buffer, size * count);
    } while (read < 0 && errno == EINTR);
    return read < 0 ? CURL_READFUNC_ABORT : size_t(read);
}

QString systemErrorText(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

bool FtpExchange::initialiseLibrary()
{
    static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return initialised;
}

void FtpExchange::abortAll()
{
    s_abortedAll = true;
}

FtpExchange::FtpExchange(QUrl url, Login login, ProgressObserver progressChanged)
    : m_url(std::move(url))
    , m_login(std::move(login))
    , m_progressChanged(std::move(progressChanged))
{}

FtpExchange::~FtpExchange() = default;

void FtpExchange::abort()
{
    m_aborted = true;
}

int FtpExchange::onProgress(void *exchange, long long, long long, long long sent, long long)
{
    FtpExchange &self = *static_cast<FtpExchange *>(exchange);
    if (self.m_aborted || s_abortedAll)
        return 1;
    if (self.m_progressChanged && self.m_uploadSize > 0)
        self.m_progressChanged(Progress{sent, self.m_uploadSize});
    return 0;
}

bool FtpExchange::makeDirectory(const QString &path)
{
    if (!initialiseLibrary()) {
        m_errorString = QStringLiteral("libcurl could not be initialised");
        return false;
    }
    CurlHandle curl(curl_easy_init());
    const QByteArray command = "MKD " + path.toUtf8();
    CurlList commands(curl_slist_append(nullptr, command.constData()));
    if (!curl || !commands || !prepare(curl.get())) {
        return false;
    }
    // No transfer: log in, send the command, quit.
    curl_easy_setopt(curl.get(), CURLOPT_NOBODY, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_QUOTE, commands.get());
    return perform(curl.get());
}

bool FtpExchange::upload(int localFile)
{
    if (!initialiseLibrary()) {
        m_errorString = QStringLiteral("libcurl could not be initialised");
        return false;
    }
    struct stat status = {};
    if (::fstat(localFile, &status) != 0) {
        m_errorString = systemErrorText("cannot read the local file");
        return false;
    }
    m_uploadSize = qint64(status.st_size);
    CurlHandle curl(curl_easy_init());
    if (!curl || !prepare(curl.get())) {
        return false;
    }
    curl_easy_setopt(curl.get(), CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_READFUNCTION, readFromFile);
    curl_easy_setopt(curl.get(), CURLOPT_READDATA, &localFile);
    curl_easy_setopt(curl.get(), CURLOPT_INFILESIZE_LARGE, curl_off_t(status.st_size));
    curl_easy_setopt(curl.get(), CURLOPT_UPLOAD_BUFFERSIZE, kUploadBufferSize);
    curl_easy_setopt(curl.get(), CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_LOW_SPEED_TIME, long(kStallLimit.count()));
    return perform(curl.get());
}

bool FtpExchange::prepare(void *handle)
{
    CURL *curl = static_cast<CURL *>(handle);
    const QByteArray url = m_url.toString(QUrl::FullyEncoded).toUtf8();
    const CURLcode checks[] = {
        curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "ftp"),
        curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "ftp"),
        curl_easy_setopt(curl, CURLOPT_DEFAULT_PROTOCOL, "ftp"),
        curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L),
        curl_easy_setopt(curl, CURLOPT_URL, url.constData()),
        curl_easy_setopt(curl, CURLOPT_PORT, m_login.port),
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L),
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L),
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, onProgress),
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, this),
    };
    for (const CURLcode check : checks) {
        if (check != CURLE_OK) {
            m_errorString = QString::fromUtf8(curl_easy_strerror(check));
            return false;
        }
    }
    if (!m_login.user.isNull()) {
        const QByteArray user = m_login.user.toUtf8();
        const QByteArray password = m_login.password.toUtf8();
        // libcurl copies option texts, so the buffers may go.
        curl_easy_setopt(curl, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, password.constData());
    }
    return true;
}

bool FtpExchange::perform(void *handle)
{
    if (s_abortedAll) {
        m_errorString = QStringLiteral("aborted: the client is ending");
        return false;
    }
    char detail[CURL_ERROR_SIZE] = {};
    CURL *curl = static_cast<CURL *>(handle);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, detail);
    const CURLcode result = curl_easy_perform(curl);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
    if (result == CURLE_OK) {
        m_errorString.clear();
        return true;
    }
    m_errorString = detail[0] != '\0' ? QString::fromUtf8(detail)
                                      : QString::fromUtf8(curl_easy_strerror(result));
    return false;
}
