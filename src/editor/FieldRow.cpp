#include "FieldRow.h"

#include "authoring/TestRules.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QRegularExpression>

namespace vedomec::editor {

void nameControl(QWidget* w, const QString& objectName, const QString& accessible)
{
    w->setObjectName(objectName);
    w->setAccessibleName(accessible);
}

QLabel* newSideLabel(QWidget* parent, const QString& objectName)
{
    auto* side = new QLabel(parent);
    side->setObjectName(objectName);
    side->setTextFormat(Qt::RichText);
    // The lines of a form stay one width whatever their counters say.
    side->setMinimumWidth(side->fontMetrics().horizontalAdvance(QStringLiteral("zbývá 000")));
    return side;
}

void addSideRow(QFormLayout* form, QWidget* parent, const QString& caption, QWidget* control, QLabel* side)
{
    auto* line = new QHBoxLayout;
    line->addWidget(control, 1);
    line->addWidget(side);
    auto* label = new QLabel(caption + QStringLiteral(":"), parent);
    label->setBuddy(control);
    form->addRow(label, line);
}

FieldRow addFieldRow(QFormLayout* form, QWidget* parent, const QString& objectName, const QString& caption)
{
    FieldRow row;
    row.edit = new FieldEdit(parent);
    nameControl(row.edit, objectName, QString(caption).remove(u'&'));
    row.counter = newSideLabel(parent, objectName + QStringLiteral("Counter"));
    addSideRow(form, parent, caption, row.edit, row.counter);
    return row;
}

bool showCounter(QLabel* counter, QWidget* edit, const QString& value, int width)
{
    using namespace vedomec::authoring;
    const int left = width - storedLength(value);
    const QList<int> bad = unstorablePositions(value);
    bool fits = true;
    if (!bad.isEmpty()) {
        // The character is shown where it stands in the text, marked.
        const int at = bad.first();
        const int from = std::max(0, at - 12);
        const QString before = value.mid(from, at - from).toHtmlEscaped();
        const QString ch = value.mid(at, value.at(at).isHighSurrogate() ? 2 : 1).toHtmlEscaped();
        const QString after = value.mid(at + ch.size(), 12).toHtmlEscaped();
        counter->setText(QStringLiteral("<span style=\"color:#b00000\">%1<b style=\"background:#ffd0d0\">[%2]</b>%3 – "
                                        "tento znak nelze uložit (místo %4)</span>")
                             .arg(before, ch, after)
                             .arg(at + 1));
        fits = false;
    } else {
        counter->setText(left < 0 ? QStringLiteral("<span style=\"color:#b00000\">o %1 znaků navíc</span>").arg(-left)
                                  : QStringLiteral("zbývá %1").arg(left));
        fits = left >= 0;
    }
    if (edit)
        edit->setStyleSheet(fits ? QString() : QStringLiteral("background:#ffe0e0"));
    counter->setAccessibleName(QString(counter->text()).remove(QRegularExpression(QStringLiteral("<[^>]*>"))));
    return fits;
}

} // namespace vedomec::editor
