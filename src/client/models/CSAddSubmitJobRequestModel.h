#pragma once

// The body of the REST job registration ("/api/v1.Printing/add"): its JSON object form (property
// names as member names, in declaration order; unset texts left out) is the request's form
// fields. A plain value; any thread.

#include <QObject>
#include <QString>

class CSAddSubmitJobRequestModel
{
    Q_GADGET
    Q_PROPERTY(qint64 user_id MEMBER user_id)
    Q_PROPERTY(qint64 ftp_config_id MEMBER ftp_config_id)
    Q_PROPERTY(QString doc_name MEMBER doc_name)
    Q_PROPERTY(qint64 doc_size MEMBER doc_size)
    Q_PROPERTY(QString org_job_path MEMBER org_job_path)
    Q_PROPERTY(QString dir_path MEMBER dir_path)
    Q_PROPERTY(QString download_link MEMBER download_link)
    Q_PROPERTY(qint64 file_from_type MEMBER file_from_type)
    Q_PROPERTY(QString page_type MEMBER page_type)
    Q_PROPERTY(qint64 orientation MEMBER orientation)
    Q_PROPERTY(qint64 copies MEMBER copies)
    Q_PROPERTY(qint64 color MEMBER color)
    Q_PROPERTY(qint64 double_print MEMBER double_print)
    Q_PROPERTY(qint64 image_use_physical_area MEMBER image_use_physical_area)
    Q_PROPERTY(qint64 enable_collate MEMBER enable_collate)
    Q_PROPERTY(qint64 total_page MEMBER total_page)

public:
    qint64 user_id = 0;
    qint64 ftp_config_id = 0;
    QString doc_name;
    qint64 doc_size = 0;
    QString org_job_path;
    QString dir_path;
    QString download_link;
    qint64 file_from_type = 0;
    QString page_type;
    qint64 orientation = 0;
    qint64 copies = 0;
    qint64 color = 0;
    qint64 double_print = 0;
    qint64 image_use_physical_area = 0;
    qint64 enable_collate = 0;
    qint64 total_page = 0;
};
