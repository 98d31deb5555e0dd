// What a screen reader hears in the import dialogs: the file list is named
// by its caption, and the identification of a test is read out as a whole
// when it opens and described on "Ok", which has the keyboard.
#include "import/Identifikace.h"
#include "import/Import.h"

#include "controls/Accessible.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace vedomec {

namespace {

const controls::CaptionPairs kIdentification = {
    {QStringLiteral("Label1"), QStringLiteral("DBText1")}, {QStringLiteral("Label2"), QStringLiteral("DBText2")},
    {QStringLiteral("Label3"), QStringLiteral("DBText3")}, {QStringLiteral("Label4"), QStringLiteral("DBText4")},
    {QStringLiteral("Label5"), QStringLiteral("DBText5")}, {QStringLiteral("Label6"), QStringLiteral("DBText6")},
    {QStringLiteral("Label7"), QStringLiteral("Label10")}, {QStringLiteral("Label8"), QStringLiteral("Label9")},
    {QStringLiteral("Label11"), QStringLiteral("Cas1")},
};

} // namespace

void TImportDialog::setUpAccessibility()
{
    QString caption = Label1->text().simplified();
    if (caption.endsWith(QLatin1String(" :")))
        caption.chop(2);
    FileListBox1->setAccessibleName(caption);
    controls::SetAccessibleLabel(Label1, FileListBox1);
}

void TIdentifikaceDialog::setUpAccessibility()
{
    QWidget* c = clientArea();
    controls::LinkCaptions(c, kIdentification);
    // The help sentence of "Ok" (set from its help text) follows the data.
    const QString okHelp = Button1->accessibleDescription();
    auto identification = [this] { return controls::CaptionedText(clientArea(), kIdentification) + QLatin1Char('.'); };
    controls::DescribeOnFocus(Button1, [identification, okHelp] {
        return okHelp.isEmpty() ? identification() : identification() + QLatin1Char(' ') + okHelp;
    });
    connect(this, &controls::TToolDialog::shown, this, [this, identification] {
        setAccessibleDescription(identification());
        controls::RefreshDescription(Button1);
        controls::Announce(this);
    }, Qt::QueuedConnection);
}

} // namespace vedomec
