#include "foundation/PrnParameterModel.h"
#include "foundation/Record.h"
#include "foundation/TextHelpers/Base64.h"

#include "support/TestSupport.h"

#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class PrnParameterModelTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_pdf = m_dir.filePath("5D1C2E0A-8F4B-4C3D-9E2F-123456789ABC.pdf");
        ASSERT_TRUE(TestSupport::writeFile(m_pdf, QByteArray(1234, 'x')));
    }

    QJsonObject handoff() const
    {
        return {{"method", "print"},
                {"printjob", Base64::encode(m_pdf)},
                {"docname", Base64::encode(QString::fromUtf8("报告 Q1.docx"))},
                {"pagetype", Base64::encode("A4")},
                {"papersize", "9"},
                {"orientation", "3"},
                {"duplex", "1"},
                {"copies", "2"},
                {"color", "0"},
                {"pages", "5"},
                {"totalpages", "10"},
                {"jobId", "42"},
                {"version", "2.4.20"}};
    }

    QTemporaryDir m_dir;
    QString m_pdf;
};

TEST_F(PrnParameterModelTest, FillsEveryPropertyFromTheHandoffObject)
{
    PrnParameterModel job;
    job.dicCovertToModel(handoff());
    EXPECT_EQ(job.pdfPath, m_pdf);
    EXPECT_EQ(job.fileName, QString::fromUtf8("报告 Q1.docx"));
    EXPECT_EQ(job.pagerSize, "A4");
    EXPECT_EQ(job.pagerSizeCode, "9");
    EXPECT_EQ(job.direction, "3");
    EXPECT_EQ(job.doublePrint, "1");
    EXPECT_EQ(job.copiesCount, "2");
    EXPECT_EQ(job.color, "0");
    EXPECT_EQ(job.pages, "5");
    EXPECT_EQ(job.pageTotal, "10");
    EXPECT_EQ(job.jobId, "42");
    EXPECT_EQ(job.fileSize, "1234");
    EXPECT_TRUE(job.projectId.isNull());
    EXPECT_EQ(job.attempts, 0);
}

TEST_F(PrnParameterModelTest, MissingMembersStayNullAndSizeIsZero)
{
    QJsonObject object = handoff();
    object.remove("printjob");
    object.remove("copies");
    PrnParameterModel job;
    job.dicCovertToModel(object);
    EXPECT_TRUE(job.pdfPath.isNull());
    EXPECT_EQ(job.fileSize, "0");
    EXPECT_TRUE(job.copiesCount.isNull());
    EXPECT_EQ(job.pages, "5");

    PrnParameterModel empty;
    empty.dicCovertToModel(QJsonObject());
    EXPECT_EQ(empty.fileSize, "0");
    EXPECT_TRUE(empty.fileName.isNull());
}

TEST_F(PrnParameterModelTest, DeletedPdfGivesSizeZero)
{
    ASSERT_TRUE(QFile::remove(m_pdf));
    PrnParameterModel job;
    job.dicCovertToModel(handoff());
    EXPECT_EQ(job.fileSize, "0");
    EXPECT_EQ(job.pdfPath, m_pdf);
    EXPECT_EQ(job.pageTotal, "10");
}

TEST_F(PrnParameterModelTest, DocumentNameDecodingIsLenientAboutLayoutOnly)
{
    struct Case
    {
        QString docname;
        QString expected; // null: no name
    } cases[] = {
        {"5oql5ZGK\nIFExLmRv\r\nY3g=", QString::fromUtf8("报告 Q1.docx")},
        {" 5oql 5ZGK IFEx LmRv Y3g= ", QString::fromUtf8("报告 Q1.docx")},
        {"/w==", QString()}, // byte FF is no UTF-8
        {"not base64!", QString()},
        {"report.pdf", QString()}, // a plain name is no Base64 text
    };
    for (const Case &c : cases) {
        QJsonObject object = handoff();
        object["docname"] = c.docname;
        PrnParameterModel job;
        job.dicCovertToModel(object);
        EXPECT_EQ(job.fileName, c.expected) << c.docname.toStdString();
        EXPECT_EQ(job.fileName.isNull(), c.expected.isNull()) << c.docname.toStdString();
        EXPECT_EQ(job.fileSize, "1234");
    }
}

TEST_F(PrnParameterModelTest, MembersThatAreNotTextsAreIgnored)
{
    QJsonObject object = handoff();
    object["copies"] = 2;
    object["printjob"] = 17;
    object["docname"] = QJsonArray{"a"};
    object["pages"] = QJsonValue::Null;
    object["jobId"] = true;
    PrnParameterModel job;
    job.dicCovertToModel(object);
    EXPECT_TRUE(job.copiesCount.isNull());
    EXPECT_TRUE(job.pdfPath.isNull());
    EXPECT_TRUE(job.fileName.isNull());
    EXPECT_TRUE(job.pages.isNull());
    EXPECT_TRUE(job.jobId.isNull());
    EXPECT_EQ(job.fileSize, "0");
    EXPECT_EQ(job.pageTotal, "10");
}

TEST_F(PrnParameterModelTest, MethodAndVersionChangeNothing)
{
    QJsonObject object = handoff();
    object["method"] = "other";
    object["version"] = "9.9";
    object["extra"] = "ignored";
    PrnParameterModel changed, plain;
    changed.dicCovertToModel(object);
    plain.dicCovertToModel(handoff());
    EXPECT_EQ(Record::toJson(changed), Record::toJson(plain));
}

} // namespace
