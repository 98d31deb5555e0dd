#pragma once
// Read-only controls that show one field of the current row of a data
// source and follow it as the row changes.
#include "controls/ElidedLabel.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>

#include "data/Table.h"

namespace vedomec {

// One line of a field shortened with "…" when it does not fit (the full
// text as tooltip); word-wrapped for longer texts.
class TDBText : public TElidedLabel {
    Q_OBJECT
    Q_PROPERTY(QString DataField READ DataField WRITE setDataField)

public:
    explicit TDBText(QWidget* parent = nullptr);

    vedomec::data::TDataSource* DataSource() const { return m_source; }
    void setDataSource(vedomec::data::TDataSource* source);
    QString DataField() const { return m_field; }
    void setDataField(const QString& field);
    QString Text() const { return text(); }

private:
    void refresh();

    QPointer<vedomec::data::TDataSource> m_source;
    QString m_field;
    QMetaObject::Connection m_conn;
};

// A bound edit box; read-only, often hidden, and read through Text().
class TDBEdit : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(QString DataField READ DataField WRITE setDataField)

public:
    explicit TDBEdit(QWidget* parent = nullptr);

    vedomec::data::TDataSource* DataSource() const { return m_source; }
    void setDataSource(vedomec::data::TDataSource* source);
    QString DataField() const { return m_field; }
    void setDataField(const QString& field);
    QString Text() const { return text(); }

private:
    void refresh();

    QPointer<vedomec::data::TDataSource> m_source;
    QString m_field;
    QMetaObject::Connection m_conn;
};

} // namespace vedomec
