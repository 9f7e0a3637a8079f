#include "LogCapture.h"

#include "foundation/logging/Log.h"
#include "support/TestSupport.h"

#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>

LogCapture::LogCapture()
    : m_path(m_folder.filePath(QStringLiteral("capture.log")))
    , m_previous(Log::logger())
{
    auto logger = std::make_shared<spdlog::logger>(
        "capture", std::make_shared<spdlog::sinks::basic_file_sink_mt>(m_path.toStdString()));
    logger->set_pattern("%Y/%m/%d %H:%M:%S:%e  %v");
    logger->set_level(spdlog::level::trace);
    logger->flush_on(spdlog::level::trace);
    Log::setLogger(logger);
}

LogCapture::~LogCapture()
{
    Log::setLogger(m_previous);
}

QString LogCapture::text() const
{
    Log::flush();
    return QString::fromUtf8(TestSupport::readFile(m_path));
}
