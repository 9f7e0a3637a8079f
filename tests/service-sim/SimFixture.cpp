#include "SimFixture.h"

#include <QDir>

SimOptions SimFixture::options(Ftp ftp) const
{
    SimOptions options;
    options.accountArguments = {QStringLiteral("%1:%2:%3").arg(kEntkey, kUser, kPassword),
                                QStringLiteral("%1:bob:bobpass").arg(kEntkey),
                                QStringLiteral("%1:carol:carolpass").arg(kOtherEntkey)};
    options.ftpScript = QStringLiteral(VQM_SOURCE_DIR "/tools/service-sim/vqm-sim-ftpd.py");
    if (ftp == Ftp::External)
        options.externalFtp = FtpTargets::Server{"127.0.0.1", 2121, "extuser", "extpwd"};
    else
        options.ftpRoot = QDir(m_dir.path()).filePath("ftp-root");
    return options;
}

void SimFixture::start(SimOptions options)
{
    ASSERT_TRUE(m_dir.isValid());
    m_sim = std::make_unique<ServiceSimulator>(std::move(options));
    const auto started = m_sim->start();
    ASSERT_TRUE(started.ok()) << started.error().description.toStdString();
    m_client = std::make_unique<SimHttpClient>(m_sim->httpPort());
}

QJsonObject SimFixture::login()
{
    const QJsonObject members = m_client->withFreshKeys({{"funType", "userLogin"},
                                                         {"entkey", kEntkey},
                                                         {"userName", kUser},
                                                         {"userPwd", kPassword}},
                                                        kEntkey);
    const auto answer = m_client->postJson(members);
    EXPECT_EQ(answer.errcode(), 0) << answer.body.toStdString();
    return answer.json;
}

QJsonObject SimFixture::registration(const QJsonObject &identity)
{
    // Ids arrive as JSON numbers; the client sends them back as texts.
    const QString userId = QString::number(identity.value("userId").toInteger());
    const QString entId = QString::number(identity.value("entId").toInteger());
    return m_client->withFreshKeys({{"funType", "addSubmitJobInfo"},
                                    {"doc_size", "48213"},
                                    {"orientation", "1"},
                                    {"docName", "Quarterly report.pdf"},
                                    {"doublePrint", "0"},
                                    {"org_job_path", kJobFileName},
                                    {"org_job_size", "48213"},
                                    {"user_id", userId},
                                    {"color", "0"},
                                    {"file_from", QString::fromUtf8("Mac打印客户端")},
                                    {"total_page", "4"},
                                    {"pageType", "A4"},
                                    {"copies", "2"},
                                    {"entId", entId},
                                    {"paper_source", 1000},
                                    {"submit_time", "2024-05-06 09:10:11"},
                                    {"file_storage_server", "ftp-main"}},
                                   kEntkey);
}

QJsonObject SimFixture::report(const QJsonObject &identity, const QJsonObject &job,
                               const QString &equipment, const QString &state)
{
    return m_client->withFreshKeys({{"funType", "fileFtpUploadInfo"},
                                    {"jobId", QString::number(job.value("jobId").toInteger())},
                                    {"entId", QString::number(identity.value("entId").toInteger())},
                                    {"type", "1"},
                                    {"state", state},
                                    {"saveFileName", job.value("dir").toString() + kJobFileName},
                                    {"equip_config_id", equipment},
                                    {"update_file_storage", state}},
                                   kEntkey);
}
