// What a screen reader hears of the results: every figure is labelled by
// its caption, and the whole result is read out when the dialog opens and
// described on its "Ok" button, which has the keyboard; the correct
// answers are read out when the user chooses to see them.
#include "results/Vysledek.h"

#include "controls/Accessible.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QLabel>
#include <QPushButton>

namespace vedomec {

namespace {

const controls::CaptionPairs kFigures = {
    {QStringLiteral("Label10"), QStringLiteral("L6")}, {QStringLiteral("Label1"), QStringLiteral("L1")},
    {QStringLiteral("Label2"), QStringLiteral("L2")},  {QStringLiteral("Label3"), QStringLiteral("L3")},
    {QStringLiteral("Label4"), QStringLiteral("L4")},  {QStringLiteral("Label9"), QStringLiteral("L5")},
    {QStringLiteral("Label11"), QStringLiteral("L7")},
};

// Tells when the list of correct answers comes into sight.
class ShownWatch : public QObject {
public:
    ShownWatch(QWidget* watched, std::function<void()> shown) : QObject(watched), m_shown(std::move(shown))
    {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::ShowToParent)
            m_shown();
        return false;
    }

private:
    std::function<void()> m_shown;
};

} // namespace

QString TVysledekDialog::spokenResult() const
{
    QWidget* c = clientArea();
    QString text = Nazev->text().simplified();
    if (!text.isEmpty())
        text += QStringLiteral(". ");
    // The percentage is followed by its sign, which has a label of its own.
    controls::CaptionPairs figures = kFigures;
    QString summary = controls::CaptionedText(c, figures);
    const QString percent = L4->text().simplified();
    if (!percent.isEmpty())
        summary.replace(QStringLiteral(": ") + percent, QStringLiteral(": ") + percent + QStringLiteral(" %"));
    text += summary;
    if (L5->text().simplified().isEmpty())
        text += QStringLiteral(". Chybně zodpovězené otázky: žádné");
    if (L7->isHidden())
        text += QStringLiteral(". Správné odpovědi ukáže tlačítko Ukázat");
    return text + QLatin1Char('.');
}

void TVysledekDialog::setUpAccessibility()
{
    QWidget* c = clientArea();
    controls::LinkCaptions(c, kFigures);
    controls::SetAccessibleLabel(Label5, L4);
    for (TShape* s : {Shape2, Shape4, Shape5, Shape6})
        controls::SetAccessibleRole(s, QAccessible::Graphic);
    // The bar says what it shows.
    controls::SetAccessibleRole(Shape3, QAccessible::Graphic);
    Tl1->setAccessibleDescription(QStringLiteral("Ukáže správné odpovědi."));

    // The lists' boxes take the keyboard (to scroll a long list): named by
    // their captions, they read the list they hold.
    const std::pair<const char*, QLabel*> lists[] = {{"Chybně zodpovězené otázky", L5}, {"Správné odpovědi", L7}};
    for (auto [caption, list] : lists)
        if (auto* box = c->findChild<QAbstractScrollArea*>(list->objectName() + QStringLiteral("Box"))) {
            box->setAccessibleName(QString::fromUtf8(caption));
            controls::DescribeOnFocus(box, [list] {
                const QString shown = list->text().simplified();
                return shown.isEmpty() ? QStringLiteral("žádné") : shown;
            });
        }

    auto describe = [this] { return spokenResult(); };
    controls::DescribeOnFocus(Button1, describe);
    // Read out once the showing has settled (its figures included).
    connect(this, &controls::TToolDialog::shown, this, [this] {
        setAccessibleDescription(spokenResult());
        Shape3->setAccessibleName(QStringLiteral("Úspěšnost %1 %").arg(L4->text().simplified()));
        controls::RefreshDescription(Button1);
        controls::Announce(this);
    }, Qt::QueuedConnection);
    new ShownWatch(L7, [this] {
        setAccessibleDescription(spokenResult());
        controls::RefreshDescription(Button1);
        controls::Announce(L7);
    });
}

} // namespace vedomec
