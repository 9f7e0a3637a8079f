#pragma once

#include "SimHttpClient.h"

#include "ServiceSimulator.h"

#include <gtest/gtest.h>

#include <QJsonObject>
#include <QTemporaryDir>

#include <memory>

// Runs a simulator in-process on 127.0.0.1 with two enterprises: ACME (alice, bob) and OTHER
// (carol). API tests name an external FTP server that is never contacted, so no FTP child starts;
// FTP tests ask for the simulator's own server, rooted in a temporary folder.
class SimFixture : public ::testing::Test
{
protected:
    static constexpr auto kEntkey = "ACME";
    static constexpr auto kUser = "alice";
    // A blank and a plus sign show whether form decoding treats them as a PHP service does.
    static constexpr auto kPassword = "s3cret+pass word";
    static constexpr auto kOtherEntkey = "OTHER";
    static constexpr auto kJobFileName = "8C1F2A64-93B1-4F0D-A1D7-2C3E4F5A6B7C.pdf";

    enum class Ftp { External, Own };

    SimOptions options(Ftp ftp) const;
    void start(SimOptions options);
    void start(Ftp ftp = Ftp::External) { start(options(ftp)); }

    // A successful "userLogin" of alice; its answer.
    QJsonObject login();
    // A complete registration for the identity, with a fresh key pair.
    QJsonObject registration(const QJsonObject &identity);
    // A report of the upload of a registered job, with a fresh key pair.
    QJsonObject report(const QJsonObject &identity, const QJsonObject &job,
                       const QString &equipment, const QString &state);

    QTemporaryDir m_dir;
    std::unique_ptr<ServiceSimulator> m_sim;
    std::unique_ptr<SimHttpClient> m_client;
};
