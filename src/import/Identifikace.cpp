#include "import/Identifikace.h"
#include "controls/Fonts.h"

#include "platform/AppPath.h"
#include "assistant/DialogHelp.h"
#include "assistant/HelpBook.h"
#include "catalogue/AllowedTime.h"
#include "controls/CaptionButton.h"
#include "controls/DBControls.h"
#include "controls/Gradpan.h"
#include "data/Data.h"
#include "data/Table.h"
#include "platform/ErrorReport.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace vedomec {

TIdentifikaceDialog* IdentifikaceDialog = nullptr;

namespace {

constexpr int kCaptionLeft = controls::BesideLeftStrip;
constexpr int kRowTop = 8;
constexpr int kRowStep = 18;
constexpr int kRowHeight = 16;

QFont formFont()
{
    return TimesFont(13);
}

} // namespace

TIdentifikaceDialog::TIdentifikaceDialog(controls::IDialogHost* host, data::TDataModule1* dm)
    : TToolDialog(host ? host->HostWindow() : nullptr)
    , m_main(host)
    , m_dm(dm)
{
    setObjectName(QStringLiteral("IdentifikaceDialog"));
    setCaption(QStringLiteral("Identifikace importovaného testu"));
    setClientSize(kClientWidth, kClientHeight);
    QWidget* c = clientArea();
    c->setFont(formFont());

    Table1 = new data::TTable(this);
    Table1->setObjectName(QStringLiteral("Table1"));
    Table1->SetFieldDefs(data::identificationLayout());
    DataSource1 = new data::TDataSource(this);
    DataSource1->setObjectName(QStringLiteral("DataSource1"));
    DataSource1->SetDataSet(Table1);

    GradPan1 = controls::CreateLeftStrip(c, controls::DialogIcon::IdCard, QRect(0, 0, controls::LeftStripWidth, kClientHeight));

    QPalette red;
    red.setColor(QPalette::WindowText, Qt::red);
    QPalette black;
    black.setColor(QPalette::WindowText, Qt::black);

    // Each row: a black caption, and right after it the value in red.
    int row = 0;
    auto caption = [&](const char* name, const QString& text) {
        auto* l = new QLabel(text, c);
        l->setObjectName(QLatin1String(name));
        l->setPalette(black);
        l->adjustSize();
        l->setGeometry(kCaptionLeft, kRowTop + row * kRowStep, l->width(), kRowHeight);
        return l;
    };
    auto place = [&](QLabel* value, QLabel* cap) {
        value->setPalette(red);
        const int x = cap->geometry().right() + 5;
        value->setGeometry(x, kRowTop + row * kRowStep, kClientWidth - 6 - x, kRowHeight);
        ++row;
    };
    auto dbText = [&](const char* capName, const QString& capText, const char* name, const char* field) {
        QLabel* cap = caption(capName, capText);
        auto* t = new TDBText(c);
        t->setObjectName(QLatin1String(name));
        t->setDataSource(DataSource1);
        t->setDataField(QLatin1String(field));
        place(t, cap);
        return t;
    };
    auto label = [&](const char* capName, const QString& capText, const char* name) {
        QLabel* cap = caption(capName, capText);
        auto* l = new QLabel(c);
        l->setObjectName(QLatin1String(name));
        place(l, cap);
        return l;
    };
    DBText1 = dbText("Label1", QStringLiteral("Druh testu :"), "DBText1", "DRUH");
    DBText2 = dbText("Label2", QStringLiteral("Název testu :"), "DBText2", "NAZEV");
    DBText3 = dbText("Label3", QStringLiteral("Jméno autora :"), "DBText3", "JMENO");
    DBText4 = dbText("Label4", QStringLiteral("Adresa autora :"), "DBText4", "ADRESA");
    DBText5 = dbText("Label5", QStringLiteral("E-mail autora :"), "DBText5", "EMAIL");
    DBText6 = dbText("Label6", QStringLiteral("WWW autora :"), "DBText6", "HTTP");
    Label10 = label("Label7", QStringLiteral("Chráněno pro editaci ?"), "Label10");
    Label9 = label("Label8", QStringLiteral("Typ testu :"), "Label9");
    Cas1 = label("Label11", QStringLiteral("Stanovený čas pro vyplnění testu :"), "Cas1");

    Bevel1 = new QFrame(c);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(kCaptionLeft, 180, kClientWidth - 6 - kCaptionLeft, 2);

    QFont buttonFont(QStringLiteral("Liberation Sans"));
    buttonFont.setPixelSize(12);
    Button1 = new QPushButton(QStringLiteral("Ok"), c);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setFont(buttonFont);
    Button1->setGeometry(kClientWidth - 6 - 2 * 78 - 6, 190, 78, 25);
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Zpět"), c);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setFont(buttonFont);
    Button2->setGeometry(kClientWidth - 6 - 78, 190, 78, 25);
    Button1->setAutoDefault(true);
    Button2->setAutoDefault(true);
    setDefaultButton(Button1);

    CaptionButton2 = controls::CreateHelpCaptionButton(this);

    connect(Button1, &QPushButton::clicked, this, &TIdentifikaceDialog::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TIdentifikaceDialog::Button2Click);
    connect(CaptionButton2, &controls::TCaptionButton::OnClick, this, &TIdentifikaceDialog::CaptionButton2Click);
    HelpBook1 = CreateDialogHelp(this, IdentifikaceHelpTexts());
    setUpAccessibility();

    IdentifikaceDialog = this;
}

TIdentifikaceDialog::~TIdentifikaceDialog()
{
    if (IdentifikaceDialog == this)
        IdentifikaceDialog = nullptr;
}

void TIdentifikaceDialog::Prepare(const QString& folder, const QString& fileName)
{
    Table1->Close();
    Table1->SetDatabaseName(folder);
    Table1->SetTableName(fileName);
    Table1->Open();
    Table1->First();
    Label9->setText(importing::typeText(Table1->FieldAsString(QStringLiteral("TEST"))));
    Label10->setText(importing::protectionText(Table1->FieldAsString(QStringLiteral("HESLO"))));
}

void TIdentifikaceDialog::FormShow()
{
    guarded([this] {
        Cas1->setText(AllowedTimeText(Table1->FieldAsString(QStringLiteral("CAS1")),
                                      Table1->FieldAsString(QStringLiteral("CAS2")),
                                      Table1->FieldAsString(QStringLiteral("CAS3"))));
        Button1->setFocus();
    });
}

void TIdentifikaceDialog::FormClose()
{
    guarded([this] { Table1->Close(); });
}

void TIdentifikaceDialog::Button1Click()
{
    guarded([this] { accept(); });
}

void TIdentifikaceDialog::accept()
{
    if (!Table1->Active())
        throw EVedomecError(QStringLiteral("Žádný test k importu není otevřen"));
    const importing::ImportedTest test = importing::readImportedTest(*Table1, Table1->TableName());
    const QString app = TAppPath::Path();
    data::TTable* catalogue = m_dm->Table4;
    data::TTable* kinds = m_dm->Table5;
    // The data module sets the folder at start; a start that failed early
    // may have left it unset.
    for (data::TTable* t : {catalogue, kinds})
        if (!t->Active() && t->DatabaseName().isEmpty())
            t->SetDatabaseName(fs::locate(app, QStringLiteral("Data")));
    importing::ImportFolders folders{Table1->DatabaseName(), fs::locate(app, QStringLiteral("Testy"))};

    // The import file is deleted at the end, so the table lets go of it first;
    // on failure it is opened again and the dialog shows it unchanged.
    const QString folder = Table1->DatabaseName();
    Table1->Close();
    importing::ImportResult result;
    try {
        result = importing::acceptImport(*catalogue, *kinds, test, folders, m_copy);
    } catch (...) {
        try {
            Table1->SetDatabaseName(folder);
            Table1->Open();
        } catch (...) {
        }
        throw;
    }
    close();
    if (!result.sourceRemoved)
        ShowErrorReport(QStringLiteral("Test byl importován, ale soubor %1 se nepodařilo odstranit ze složky "
                                       "pro import")
                            .arg(test.fileName));
}

void TIdentifikaceDialog::Button2Click()
{
    close();
}

bool TIdentifikaceDialog::HelpMode() const
{
    return HelpBook1->HelpMode();
}

void TIdentifikaceDialog::CaptionButton2Click()
{
    HelpBook1->setHelpMode(!HelpBook1->HelpMode());
}

} // namespace vedomec
