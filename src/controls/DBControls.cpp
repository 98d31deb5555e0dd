#include "controls/DBControls.h"

namespace vedomec {

using vedomec::data::TDataSource;

TDBText::TDBText(QWidget* parent)
    : TElidedLabel(parent)
{
}

void TDBText::setDataSource(TDataSource* source)
{
    if (m_conn)
        disconnect(m_conn);
    m_source = source;
    if (source)
        m_conn = connect(source, &TDataSource::dataChanged, this, &TDBText::refresh);
    refresh();
}

void TDBText::setDataField(const QString& field)
{
    m_field = field;
    refresh();
}

void TDBText::refresh()
{
    setText(m_source && !m_field.isEmpty() ? m_source->FieldText(m_field) : QString());
}

TDBEdit::TDBEdit(QWidget* parent)
    : QLineEdit(parent)
{
    setReadOnly(true);
}

void TDBEdit::setDataSource(TDataSource* source)
{
    if (m_conn)
        disconnect(m_conn);
    m_source = source;
    if (source)
        m_conn = connect(source, &TDataSource::dataChanged, this, &TDBEdit::refresh);
    refresh();
}

void TDBEdit::setDataField(const QString& field)
{
    m_field = field;
    refresh();
}

void TDBEdit::refresh()
{
    setText(m_source && !m_field.isEmpty() ? m_source->FieldText(m_field) : QString());
}

} // namespace vedomec
