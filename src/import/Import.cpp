#include "import/Import.h"

#include "platform/AppPath.h"
#include "assistant/DialogHelp.h"
#include "assistant/HelpBook.h"
#include "assistant/oaAssist.h"
#include "controls/CaptionButton.h"
#include "controls/Gradpan.h"
#include "import/Identifikace.h"
#include "import/ImportLogic.h"
#include "platform/ErrorReport.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"

#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>

namespace vedomec {

TImportDialog* ImportDialog = nullptr;

namespace {

// The list's picture of a table file: a sheet with a ruled grid.
QIcon tableFileIcon()
{
    static const QIcon icon = [] {
        QPixmap pm(16, 16);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setPen(QColor(0, 0, 0));
        p.setBrush(Qt::white);
        p.drawRect(2, 1, 11, 13);
        p.fillRect(3, 2, 10, 3, QColor(0, 0, 128));
        p.setPen(QColor(128, 128, 128));
        for (int y = 7; y <= 12; y += 2)
            p.drawLine(4, y, 11, y);
        p.drawLine(7, 6, 7, 13);
        return QIcon(pm);
    }();
    return icon;
}

} // namespace

TImportDialog::TImportDialog(controls::IDialogHost* host, data::TDataModule1* dm)
    : TToolDialog(host ? host->HostWindow() : nullptr)
    , m_main(host)
    , m_dm(dm)
{
    setObjectName(QStringLiteral("ImportDialog"));
    setCaption(QStringLiteral("Import testu"));
    setClientSize(kClientWidth, kClientHeight);
    QWidget* c = clientArea();
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(12);
    c->setFont(font);

    GradPan1 = controls::CreateLeftStrip(c, controls::DialogIcon::Import, QRect(0, 0, controls::LeftStripWidth, kClientHeight));

    Label1 = new QLabel(QStringLiteral("Seznam souborů pro import :"), c);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(controls::BesideLeftStrip, 8, 288 - controls::BesideLeftStrip, 16);

    FileListBox1 = new QListWidget(c);
    FileListBox1->setObjectName(QStringLiteral("FileListBox1"));
    FileListBox1->setGeometry(controls::BesideLeftStrip, 26, 288 - controls::BesideLeftStrip, 172);
    FileListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    FileListBox1->setUniformItemSizes(true);
    FileListBox1->setIconSize(QSize(16, 16));
    FileListBox1->setStyleSheet(QStringLiteral("QListWidget::item { height: 16px; }"));

    Button1 = new QPushButton(QStringLiteral("Import"), c);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(126, 208, 78, 25);
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Zpět"), c);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(210, 208, 78, 25);
    Button1->setAutoDefault(true);
    Button2->setAutoDefault(true);
    setDefaultButton(Button1);

    Label2 = new QLabel(c);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(controls::BesideLeftStrip, 208, 50, 16);
    Label2->hide();

    CaptionButton2 = controls::CreateHelpCaptionButton(this);

    // Label2 follows the selection as it changes instead of polling it.
    connect(FileListBox1, &QListWidget::currentItemChanged, this,
            [this](QListWidgetItem* current, QListWidgetItem*) { FileListBox1Change(current); });
    connect(FileListBox1, &QListWidget::itemSelectionChanged, this,
            [this] { FileListBox1Change(FileListBox1->currentItem()); });
    connect(FileListBox1, &QListWidget::itemDoubleClicked, this, [this] { FileListBox1DblClick(); });
    connect(Button1, &QPushButton::clicked, this, &TImportDialog::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TImportDialog::Button2Click);
    connect(CaptionButton2, &controls::TCaptionButton::OnClick, this, &TImportDialog::CaptionButton2Click);
    HelpBook1 = CreateDialogHelp(this, ImportHelpTexts());
    setUpAccessibility();

    ImportDialog = this;
}

TImportDialog::~TImportDialog()
{
    if (ImportDialog == this)
        ImportDialog = nullptr;
}

void TImportDialog::UpdateFileList()
{
    FileListBox1->clear();
    Label2->clear();
    if (!fs::isDir(m_folder))
        throw EInOutError(QStringLiteral("Složka pro import %1 neexistuje").arg(m_folder));
    for (const QString& name : fs::listFiles(m_folder, QStringLiteral(".dbf"))) {
        auto* item = new QListWidgetItem(tableFileIcon(), name, FileListBox1);
        item->setSizeHint(QSize(0, 16));
    }
    // Nothing is chosen until the user picks a file.
    FileListBox1->setCurrentRow(-1);
    FileListBox1->clearSelection();
    Label2->clear();
}

void TImportDialog::FormShow()
{
    guarded([this] {
        if (m_main)
            m_main->PlaySoundCue(QStringLiteral("Dialog.wav"));
        m_folder = fs::locate(TAppPath::Path(), QStringLiteral("Testy/Import"));
        Button1->setFocus();
        UpdateFileList();
    });
}

void TImportDialog::FormClose() {}

void TImportDialog::FileListBox1Change(QListWidgetItem* current)
{
    Label2->setText(current && current->isSelected() ? current->text() : QString());
}

void TImportDialog::showError(const QString& text)
{
    if (m_main)
        m_main->UserMessage(text, mtError, mbOK);
    else
        ShowErrorReport(text);
}

void TImportDialog::Button1Click()
{
    guarded([this] { importSelected(); });
}

// A double click without a selection is answered like the button.
void TImportDialog::FileListBox1DblClick()
{
    guarded([this] { importSelected(); });
}

void TImportDialog::importSelected()
{
    // The selection may have changed without a current-item change (e.g. a
    // deselect), so read it once more.
    FileListBox1Change(FileListBox1->currentItem());
    const QString name = Label2->text();
    if (name.isEmpty()) {
        showError(importing::noSelectionMessage());
        return;
    }
    // The catalogue keeps the file name in 50 characters of Windows-1250: a
    // name it cannot hold exactly is refused before anything happens.
    if (const QString problem = importing::catalogueNameProblem(name); !problem.isEmpty()) {
        showError(problem);
        return;
    }
    const QString testsFolder = fs::locate(TAppPath::Path(), QStringLiteral("Testy"));
    if (importing::nameTakenByAnother(testsFolder, m_folder, name)) {
        showError(importing::nameTakenMessage());
        return;
    }
    if (!IdentifikaceDialog)
        throw EVedomecError(QStringLiteral("Identifikace importovaného testu není k dispozici"));
    // Opens the file with the test-wide fields; a file that cannot be read
    // ends the import here and this dialog stays open.
    IdentifikaceDialog->Prepare(m_folder, name);
    close();
    IdentifikaceDialog->show();
}

void TImportDialog::Button2Click()
{
    close();
}

bool TImportDialog::HelpMode() const
{
    return HelpBook1->HelpMode();
}

void TImportDialog::CaptionButton2Click()
{
    HelpBook1->setHelpMode(!HelpBook1->HelpMode());
}

} // namespace vedomec
