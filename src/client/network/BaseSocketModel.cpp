#include "BaseSocketModel.h"

#include "YMSocketUtils.h"

#include "foundation/Record.h"

#include <QDebug>
#include <QVariant>

namespace {

void appendText(QByteArray &out, const QString &text)
{
    QByteArray block = text.toUtf8();
    if (block.size() < BaseSocketModel::kTextBlockSize)
        block.append(BaseSocketModel::kTextBlockSize - block.size(), '\0');
    out.append(block);
}

} // namespace

QByteArray BaseSocketModel::requestSpliceAttribute()
{
    m_data.clear();
    const QMetaObject &meta = recordMetaObject();
    // The most derived object, which is what the record's meta object describes.
    const void *record = dynamic_cast<const void *>(this);
    for (const QMetaProperty &property : Record::ownProperties(meta)) {
        const QVariant value = Record::read(property, record);
        switch (property.metaType().id()) {
        case QMetaType::UChar:
            m_data.append(YMSocketUtils::byteFromUInt8(value.value<quint8>()));
            break;
        case QMetaType::UShort:
            m_data.append(YMSocketUtils::bytesFromUInt16(value.value<quint16>()));
            break;
        case QMetaType::UInt:
            m_data.append(YMSocketUtils::bytesFromUInt32(value.value<quint32>()));
            break;
        case QMetaType::ULongLong:
            m_data.append(YMSocketUtils::bytesFromUInt64(value.value<quint64>()));
            break;
        case QMetaType::QString:
            appendText(m_data, value.toString());
            break;
        default:
            qInfo("RequestSpliceAttribute:未知类型");
            break;
        }
    }
    m_object = m_data;
    return m_data;
}
