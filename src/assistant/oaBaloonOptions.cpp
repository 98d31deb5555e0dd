// The option objects of the balloons: each stores a change and says so,
// and the balloon lays itself out again.
#include "oaBaloon.h"

namespace vedomec {

namespace {

// Stores value in field and says whether it differed, so a setter notifies
// only a real change.
template <class T>
bool store(T& field, const T& value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}

} // namespace

QColor colorFromTColor(quint32 tcolor)
{
    return QColor(int(tcolor & 0xFF), int((tcolor >> 8) & 0xFF), int((tcolor >> 16) & 0xFF));
}

quint32 tcolorFromColor(const QColor& c)
{
    return quint32(c.red()) | (quint32(c.green()) << 8) | (quint32(c.blue()) << 16);
}

TBalloonOptions::TBalloonOptions(QObject* parent)
    : QObject(parent),
      m_color(colorFromTColor(kDefaultColor)),
      m_borderColor(colorFromTColor(kDefaultBorderColor))
{
    m_font.setFamily(QStringLiteral("Liberation Sans"));
    m_font.setPixelSize(12);
}

void TBalloonOptions::setColor(const QColor& c)
{
    if (store(m_color, c))
        emit changed();
}

void TBalloonOptions::setBorderColor(const QColor& c)
{
    if (store(m_borderColor, c))
        emit changed();
}

void TBalloonOptions::setFont(const QFont& f)
{
    m_font = f;
    m_fontChanged = true;
    emit changed();
}

void TMsgDlgOptions::setTitle(const QString& t)
{
    if (store(m_title, t))
        emit changed();
}

void TMsgDlgOptions::setCustomIcon(const QIcon& icon)
{
    m_customIcon = icon;
    emit changed();
}

void TTipsDlgOptions::setVisibleButtons(TTipsDlgBtns buttons)
{
    buttons &= AllButtons;
    if (store(m_buttons, buttons))
        emit changed();
}

void TTipsDlgOptions::setTips(const QStringList& tips)
{
    m_tips = tips;
    const int count = int(m_tips.size());
    if (m_tipIndex >= count)
        m_tipIndex = count - 1;
    else if (m_tipIndex < 0 && count > 0)
        m_tipIndex = 0;
    emit changed();
}

void TTipsDlgOptions::setTipIndex(int index)
{
    const int count = int(m_tips.size());
    index = count == 0 ? -1 : std::clamp(index, 0, count - 1);
    if (store(m_tipIndex, index))
        emit changed();
}

void TGuideDlgOptions::setVisibleButtons(TGuideDlgCmdBtns buttons)
{
    buttons &= CommandButtons;
    if (store(m_buttons, buttons))
        emit changed();
}

void TGuideDlgOptions::setRequestBox(bool on)
{
    if (store(m_requestBox, on))
        emit changed();
}

void TGuideDlgOptions::setTopics(const QStringList& topics)
{
    m_topics = topics;
    topicsChanged();
}

void TGuideDlgOptions::clearTopics()
{
    m_topics.clear();
    topicsChanged();
}

void TGuideDlgOptions::addTopic(const QString& topic)
{
    m_topics.append(topic);
    topicsChanged();
}

void TGuideDlgOptions::beginUpdate()
{
    ++m_updating;
}

void TGuideDlgOptions::endUpdate()
{
    if (m_updating == 0 || --m_updating > 0)
        return;
    if (std::exchange(m_topicsDirty, false))
        emit changed();
}

void TGuideDlgOptions::topicsChanged()
{
    if (m_updating > 0)
        m_topicsDirty = true;
    else
        emit changed();
}

void TGuideDlgOptions::setTitle(const QString& t)
{
    if (store(m_title, t))
        emit changed();
}

void TGuideDlgOptions::setRequest(const QString& r)
{
    if (store(m_request, r))
        emit changed();
}

void TGuideDlgOptions::setDescription(const QString& d)
{
    if (store(m_description, d))
        emit changed();
}

} // namespace vedomec
