#pragma once

// Base of the push channel's packet records. It serialises the record by walking the properties
// that the record's own class declares (Q_PROPERTY), in declaration order, so that the declaration
// order is the wire order and the property types set the field widths:
//   quint8, quint16, quint32, quint64   1, 2, 4, 8 bytes, little-endian
//   QString                             its UTF-8 bytes, zero-padded to kTextBlockSize bytes
// A property of any other type is left out and reported on the process log. Inherited
// properties never go on the wire. A plain value; any thread.

#include <QByteArray>
#include <QMetaObject>
#include <QObject>

class BaseSocketModel
{
    Q_GADGET
    Q_PROPERTY(QByteArray data READ data)
    Q_PROPERTY(QByteArray object READ object)

public:
    // A text shorter than this is padded with zero bytes up to it; a longer one is not cut.
    static constexpr qsizetype kTextBlockSize = 50;

    virtual ~BaseSocketModel() = default;

    // The bytes of the last serialisation; empty before the first.
    const QByteArray &data() const { return m_data; }
    // Refers to the same bytes as data() once the record has been serialised.
    const QByteArray &object() const { return m_object; }

    QByteArray requestSpliceAttribute();

protected:
    BaseSocketModel() = default;
    BaseSocketModel(const BaseSocketModel &) = default;
    BaseSocketModel &operator=(const BaseSocketModel &) = default;

    // The record's own class: every record returns its staticMetaObject here.
    virtual const QMetaObject &recordMetaObject() const = 0;

private:
    QByteArray m_data;
    QByteArray m_object;
};
