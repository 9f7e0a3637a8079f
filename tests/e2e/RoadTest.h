#pragma once

// The fixture of the tests that print on the whole road (PrintRoad): it starts the road for each
// test, writes and prints sample documents, waits for their upload reports and checks that each
// document reached the printing service whole, with the copies printed. Main thread only.

#include "ArrivalCheck.h"
#include "PrintRoad.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

// Texts as texts in failure messages.
void PrintTo(const QString &text, std::ostream *out);

class RoadTest : public ::testing::Test
{
public:
    // One document as printed, and the pages that must reach the service for it.
    struct Print
    {
        PrivateCups::PrintRequest request;
        QList<ArrivalCheck::PageTexts> expectedPages;
        QString requestId = {};
    };

    // The processes of this (private) process namespace that run the backend.
    static QStringList backendProcesses();

protected:
    void SetUp() override { startRoad({}); }
    // Starts the road, running beforeMonitorStarts (when given) just before the monitor starts.
    void startRoad(const std::function<Result<Done>()> &beforeMonitorStarts);

    QString workPath(const QString &name) const { return m_road.workPath(name); }

    // A sample PDF to print; layout: the printed pages on each page that reaches the service
    // (empty: every page as it stands); minimumBytes: grown to at least that size.
    Print pdf(const QString &title, int pages, int copies, const QStringList &options = {},
              const QList<QList<int>> &layout = {}, qint64 minimumBytes = 0);
    Print printOf(const QString &path, const QString &title, int copies, const QStringList &options,
                  const Result<QList<ArrivalCheck::PageTexts>> &pages);

    // Prints them all at once.
    void print(QList<Print> &prints);
    // Waits until this many upload reports have arrived in all.
    void waitForReports(int count);

    // The one registration of the document at the service.
    QJsonObject registrationOf(const Print &print);
    // The document's registration at the service, checked against what was printed, and the PDF
    // the service's FTP server received for it, checked against what the backend published.
    void expectArrivedWhole(const Print &print);

    // A member of a request the simulator recorded.
    static QString memberText(const QJsonObject &request, const char *name);
    // The simulator's answer to a recorded request.
    static QJsonObject answer(const QJsonObject &request);

    PrintRoad m_road;
};
