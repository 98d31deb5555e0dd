#include "app/Nastaveni.h"

#include "app/Hlavni.h"
#include "config/Settings.h"
#include "assistant/DialogHelp.h"
#include "assistant/HelpBook.h"
#include "assistant/oaAssist.h"
#include "controls/Accessible.h"
#include "controls/CaptionButton.h"
#include "controls/Fonts.h"
#include "controls/Gradpan.h"
#include "platform/Cp1250.h"
#include "platform/ErrorReport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QStandardItemModel>

namespace vedomec {

TNastaveniDialog* NastaveniDialog = nullptr;

namespace {

constexpr int kLeft = controls::BesideLeftStrip;
constexpr int kRight = TNastaveniDialog::kClientWidth - 8;

const QString kNone = QStringLiteral("žádný (bubliny uprostřed obrazovky)");

// The picture of the dialog: the face of an owl, the character that comes
// with the program.
QPixmap owlIcon()
{
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(QColor(150, 100, 55));
    QPolygonF head;
    head << QPointF(4.5, 4.5) << QPointF(10.5, 9.5) << QPointF(21.5, 9.5) << QPointF(27.5, 4.5)
         << QPointF(28.5, 20.5) << QPointF(16, 30.5) << QPointF(3.5, 20.5);
    p.drawPolygon(head);
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(6.5, 11.5, 9, 9));
    p.drawEllipse(QRectF(16.5, 11.5, 9, 9));
    p.setBrush(Qt::black);
    p.drawEllipse(QRectF(9.5, 14.5, 3, 3));
    p.drawEllipse(QRectF(19.5, 14.5, 3, 3));
    p.setBrush(QColor(240, 180, 40));
    QPolygonF beak;
    beak << QPointF(14.5, 20.5) << QPointF(17.5, 20.5) << QPointF(16, 24.5);
    p.drawPolygon(beak);
    return pm;
}

// A help popup's text as the dialogs keep theirs: a bold heading and a
// sentence, in rich text of the Windows-1250 code page.
QByteArray helpRtf(const QString& heading, const QString& text)
{
    auto escape = [](const QString& s) {
        QByteArray out;
        for (const char c : unicodeToCp1250(s)) {
            const auto u = static_cast<unsigned char>(c);
            if (u >= 0x80)
                out += QByteArray("\\'") + QByteArray::number(u, 16).rightJustified(2, '0');
            else if (c == '\\' || c == '{' || c == '}')
                out += QByteArray("\\") + c;
            else
                out += c;
        }
        return out;
    };
    return QByteArray(R"({\rtf1\ansi\ansicpg1250\deff0\deflang1029{\fonttbl{\f0\froman\fprq2\fcharset238 Times New Roman CE;}})"
                      "\n\\viewkind4\\uc1\\pard\\b\\f0\\fs20 ")
           + escape(heading) + "\\b0\\par\n\\par\n" + escape(text) + "\\par\n}";
}

const QList<DialogHelpText>& helpTexts()
{
    static const QByteArray character = helpRtf(
        QStringLiteral("Pomocník na ploše"),
        QStringLiteral("Postavička, která stojí vedle okna programu a ukazuje na bubliny se zprávami a nápovědou. "
                       "Bez ní stojí bubliny uprostřed obrazovky."));
    static const QByteArray sound =
        helpRtf(QStringLiteral("Přehrávat zvuky"),
                QStringLiteral("Zvuky programu při otevření okna, zprávě, chybě a otázce a zvuky pomocníka."));
    static const QByteArray ok = helpRtf(QStringLiteral("Ok"), QStringLiteral("Použije a uloží zvolené nastavení."));
    static const QByteArray back =
        helpRtf(QStringLiteral("Zpět"), QStringLiteral("Uzavře dialogové okno bez změny nastavení."));
    static const QList<DialogHelpText> texts = {
        {"ComboBox1", 266, 74, character.constData()},
        {"CheckBox1", 266, 60, sound.constData()},
        {"Button1", 266, 60, ok.constData()},
        {"Button2", 266, 60, back.constData()},
    };
    return texts;
}

// The user's folder of characters as he would type it.
QString shownFolder(const QString& folder)
{
    const QString home = QDir::homePath();
    if (!home.isEmpty() && home != QLatin1String("/") && folder.startsWith(home + u'/'))
        return QStringLiteral("~") + folder.mid(home.size());
    return folder;
}

bool samePath(const QString& a, const QString& b)
{
    const QString ca = QFileInfo(a).canonicalFilePath();
    const QString cb = QFileInfo(b).canonicalFilePath();
    return ca.isEmpty() || cb.isEmpty() ? QDir::cleanPath(a) == QDir::cleanPath(b) : ca == cb;
}

} // namespace

TNastaveniDialog::TNastaveniDialog(THlavniDialog* main) : TToolDialog(main), m_main(main)
{
    setObjectName(QStringLiteral("NastaveniDialog"));
    setCaption(QStringLiteral("Nastavení"));
    setClientSize(kClientWidth, kClientHeight);
    QWidget* c = clientArea();
    c->setFont(TimesFont(13));

    GradPan1 = controls::CreateLeftStrip(c, controls::DialogIcon::Folder,
                                         QRect(0, 0, controls::LeftStripWidth, kClientHeight));
    if (auto* image = GradPan1->findChild<QLabel*>(QStringLiteral("Image1"))) {
        image->setPixmap(owlIcon());
        image->setAccessibleName(QStringLiteral("Sova"));
    }

    Label1 = new QLabel(QStringLiteral("Pomocník na ploše :"), c);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(kLeft, 8, kRight - kLeft, 16);

    ComboBox1 = new QComboBox(c);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setGeometry(kLeft, 26, kRight - kLeft, 22);
    Label1->setBuddy(ComboBox1);

    Label2 = new QLabel(c);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setWordWrap(true);
    QFont small = TimesFont(12);
    small.setItalic(true);
    Label2->setFont(small);
    Label2->setGeometry(kLeft, 52, kRight - kLeft, 32);

    CheckBox1 = new QCheckBox(QStringLiteral("Přehrávat zvuky"), c);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(kLeft, 92, kRight - kLeft, 20);

    Bevel1 = new QFrame(c);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(kLeft, 124, kRight - kLeft, 2);

    QFont buttonFont(QStringLiteral("Liberation Sans"));
    buttonFont.setPixelSize(12);
    Button1 = new QPushButton(QStringLiteral("Ok"), c);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setFont(buttonFont);
    Button1->setGeometry(kRight - 2 * 78 - 6, 136, 78, 25);
    Button1->setDefault(true);
    Button1->setAutoDefault(true);
    Button2 = new QPushButton(QStringLiteral("Zpět"), c);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setFont(buttonFont);
    Button2->setGeometry(kRight - 78, 136, 78, 25);
    Button2->setAutoDefault(true);
    setDefaultButton(Button1);
    setTabOrder(ComboBox1, CheckBox1);
    setTabOrder(CheckBox1, Button1);
    setTabOrder(Button1, Button2);

    CaptionButton2 = controls::CreateHelpCaptionButton(this);

    connect(Button1, &QPushButton::clicked, this, &TNastaveniDialog::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TNastaveniDialog::Button2Click);
    connect(CaptionButton2, &controls::TCaptionButton::OnClick, this, &TNastaveniDialog::CaptionButton2Click);
    HelpBook1 = CreateDialogHelp(this, helpTexts());
    setUpAccessibility();

    NastaveniDialog = this;
}

TNastaveniDialog::~TNastaveniDialog()
{
    if (NastaveniDialog == this)
        NastaveniDialog = nullptr;
}

void TNastaveniDialog::setUpAccessibility()
{
    ComboBox1->setAccessibleName(QStringLiteral("Pomocník na ploše"));
    controls::SetAccessibleLabel(Label1, ComboBox1);
    controls::DescribeOnFocus(ComboBox1, [this] { return Label2->text(); });
}

void TNastaveniDialog::fillCharacters()
{
    m_entries = describeCharacters(installedCharacters());
    // A character chosen for this run only (a file the option names) is
    // offered too, so that "Ok" keeps her.
    const QString current = m_main->CharacterLibrary();
    int currentIndex = 0;
    for (qsizetype i = 0; i < m_entries.size(); ++i)
        if (!current.isEmpty() && samePath(m_entries[i].file.path, current))
            currentIndex = int(i) + 1;
    if (!current.isEmpty() && currentIndex == 0) {
        TCharacterEntry own {{QString(), current}, m_main->Assistant->ActorName()};
        own.file.name = QFileInfo(current).completeBaseName();
        m_entries.append(own);
        currentIndex = int(m_entries.size());
    }
    ComboBox1->clear();
    ComboBox1->addItem(kNone);
    auto* model = qobject_cast<QStandardItemModel*>(ComboBox1->model());
    for (const TCharacterEntry& e : std::as_const(m_entries)) {
        ComboBox1->addItem(characterCaption(e, m_entries));
        // Offered greyed, so that the user who put her into his folder
        // learns why she does not come.
        if (!e.problem.isEmpty() && model) {
            QStandardItem* item = model->item(ComboBox1->count() - 1);
            item->setEnabled(false);
            item->setToolTip(e.file.path);
        }
    }
    ComboBox1->setCurrentIndex(currentIndex);
    m_shownIndex = currentIndex;
}

void TNastaveniDialog::FormShow()
{
    guarded([this] {
        fillCharacters();
        const QString folder = userCharacterFolder();
        Label2->setText(folder.isEmpty() ? QString()
                                         : QStringLiteral("Další pomocníky si můžete přidat do složky %1.")
                                               .arg(shownFolder(folder)));
        m_shownSound = m_main->SoundOn();
        CheckBox1->setChecked(m_shownSound);
        ComboBox1->setFocus();
    });
}

void TNastaveniDialog::Button1Click()
{
    accept();
}

void TNastaveniDialog::Button2Click()
{
    close();
}

void TNastaveniDialog::CaptionButton2Click()
{
    HelpBook1->setHelpMode(!HelpBook1->HelpMode());
}

void TNastaveniDialog::accept()
{
    const int index = ComboBox1->currentIndex();
    const bool sound = CheckBox1->isChecked();
    // Copies: the hide animation waits in an event loop, where the main
    // window may close and take this dialog with it.
    const TCharacterEntry chosen = index > 0 && index <= m_entries.size() ? m_entries[index - 1] : TCharacterEntry {};
    const QString library = chosen.file.path;
    const bool characterChanged = index != m_shownIndex;
    const bool soundChanged = sound != m_shownSound;
    const QString configFile = m_main->UserConfigFile();
    // The main window comes back first: what follows talks to the user in
    // balloons and animates beside it.
    close();

    const QPointer<THlavniDialog> main = m_main;
    QList<std::pair<Setting, QString>> store;
    if (soundChanged) {
        main->SetSoundOn(sound);
        store.append({Setting::Sound, switchText(sound)});
    }
    bool characterOk = true;
    guarded([&] {
        try {
            // The same character again shows her when she was closed.
            if (characterChanged || !library.isEmpty())
                main->SetCharacter(library);
        } catch (const EVedomecError& e) {
            characterOk = false;
            if (main && !main->isClosing())
                main->UserMessage(QStringLiteral("Pomocníka %1 nelze zobrazit:\r%2").arg(chosen.actorName, e.message()),
                                  mtError, mbOK);
        }
    });
    if (characterChanged && characterOk) {
        // An installed character is stored by its name, so that she is found
        // wherever the program is installed; none by the empty value, which
        // also stands over a system-wide choice.
        QString value;
        if (!library.isEmpty())
            value = samePath(findCharacter(chosen.file.name).path, library) ? chosen.file.name : library;
        store.append({Setting::Character, value});
    }
    // Stored also when the program was closed while she said goodbye: the
    // user pressed "Ok".
    if (store.isEmpty())
        return;
    QString error;
    if (!storeSettings(configFile, store, &error) && main && !main->isClosing())
        main->UserMessage(QStringLiteral("Nastavení platí, ale jen do konce práce s programem: nelze ho uložit.\r%1")
                              .arg(error),
                          mtError, mbOK);
}

} // namespace vedomec
