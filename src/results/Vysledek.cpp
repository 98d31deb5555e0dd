#include "results/Vysledek.h"
#include "controls/Fonts.h"

#include "assistant/oaAssist.h"
#include "controls/ElidedLabel.h"
#include "controls/Gradpan.h"
#include "data/Data.h"
#include "data/Table.h"
#include "platform/ErrorReport.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>

namespace vedomec {

TVysledekDialog* VysledekDialog = nullptr;

namespace {

QFont serif(int pixels, bool bold = false)
{
    return TimesFont(pixels, bold);
}

QFont sans(int pixels)
{
    QFont f(QStringLiteral("Liberation Sans"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(pixels);
    return f;
}

void paint(QWidget* w, const QColor& colour)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, colour);
    w->setPalette(pal);
}

// A label that sizes itself to its caption.
QLabel* label(QWidget* parent, const char* name, const QString& text, int x, int y, const QFont& font)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setFont(font);
    l->move(x, y);
    l->adjustSize();
    return l;
}

// A label of fixed size, as the figures that change have.
QLabel* field(QWidget* parent, const char* name, const QRect& r, const QFont& font, Qt::Alignment align)
{
    auto* l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setFont(font);
    l->setGeometry(r);
    l->setAlignment(align);
    return l;
}

// A list of question numbers that may be longer than its rectangle: the
// label wraps inside a scroll area of that rectangle, which scrolls it
// vertically when it overflows.  Hiding or showing the label hides or
// shows the area with it.
class ListVisibility : public QObject {
public:
    ListVisibility(QLabel* list, QScrollArea* area) : QObject(list), m_area(area) {}

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::ShowToParent)
            m_area->show();
        else if (e->type() == QEvent::HideToParent)
            m_area->hide();
        return false;
    }

private:
    QScrollArea* m_area;
};

QLabel* scrollingList(QWidget* parent, const char* name, const QRect& r, const QFont& font)
{
    auto* area = new QScrollArea(parent);
    area->setObjectName(QLatin1String(name) + QStringLiteral("Box"));
    area->setGeometry(r);
    area->setFrameShape(QFrame::NoFrame);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    area->setWidgetResizable(true);
    // The box or the panel behind shows through, as behind a plain label.
    area->setAutoFillBackground(false);
    area->viewport()->setAutoFillBackground(false);

    auto* l = new QLabel;
    l->setObjectName(QLatin1String(name));
    l->setFont(font);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    l->setWordWrap(true);
    l->setTextFormat(Qt::PlainText);
    area->setWidget(l);
    l->setAutoFillBackground(false);
    l->installEventFilter(new ListVisibility(l, area));
    return l;
}

QFrame* topLine(QWidget* parent, const char* name, int x, int y, int w)
{
    auto* f = new QFrame(parent);
    f->setObjectName(QLatin1String(name));
    f->setFrameShape(QFrame::HLine);
    f->setFrameShadow(QFrame::Sunken);
    f->setGeometry(x, y, w, 2);
    return f;
}

QFrame* box(QWidget* parent, const char* name, const QRect& r)
{
    auto* f = new QFrame(parent);
    f->setObjectName(QLatin1String(name));
    f->setFrameShape(QFrame::Box);
    f->setFrameShadow(QFrame::Sunken);
    f->setGeometry(r);
    return f;
}

TShape* shape(QWidget* parent, const char* name, const QRect& r, const QColor& fill, const QColor& pen)
{
    auto* s = new TShape(parent);
    s->setObjectName(QLatin1String(name));
    s->setGeometry(r);
    s->setBrush(fill);
    s->setPen(QPen(pen));
    return s;
}

const QString kRating = QStringLiteral("Hodnocení :");
const QString kTotal = QStringLiteral("Celkový počet otázek :");
const QString kRight = QStringLiteral("Počet správně zodpovězených otázek :");
const QString kWrong = QStringLiteral("Počet chybně zodpovězených otázek  :");
const QString kPercent = QStringLiteral("Zaokrouhlené procento úspěšnosti :");
const QString kCorrectAnswers = QStringLiteral("Správné odpovědi");

} // namespace

// --- TShape ---------------------------------------------------------------------

TShape::TShape(QWidget* parent) : QWidget(parent) {}

void TShape::setBrush(const QBrush& b)
{
    m_brush = b;
    update();
}

void TShape::setPen(const QPen& p)
{
    m_pen = p;
    update();
}

void TShape::paintEvent(QPaintEvent*)
{
    if (width() <= 0 || height() <= 0)
        return;
    QPainter p(this);
    p.fillRect(rect(), m_brush);
    QPen pen = m_pen;
    pen.setWidth(1);
    pen.setCosmetic(true);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawRect(0, 0, width() - 1, height() - 1);
}

// --- The dialog -----------------------------------------------------------------

TVysledekDialog::TVysledekDialog(IResultsHost* host, data::TDataModule1* dm)
    : controls::TToolDialog(host ? host->HostWindow() : nullptr), m_host(host), m_dm(dm)
{
    VysledekDialog = this;
    setObjectName(QStringLiteral("VysledekDialog"));
    setCaption(QStringLiteral("Výsledek testu"));
    setClientSize(kClientWidth, kClientHeight);
    setFont(sans(11));

    QWidget* c = clientArea();
    GradPan1 = controls::CreateLeftStrip(c, controls::DialogIcon::Chart, QRect(6, 8, 46, 425));

    const QFont plain = serif(13);
    const QFont bold = serif(13, true);

    Nazev = new TElidedLabel(c);
    Nazev->setObjectName(QStringLiteral("Nazev"));
    Nazev->setFont(serif(19, true));
    Nazev->setGeometry(64, 16, 393, 22);
    Nazev->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label10 = label(c, "Label10", kRating, 225, 48, serif(16, true));
    L6 = field(c, "L6", QRect(64, 72, 393, 19), serif(16, true), Qt::AlignHCenter | Qt::AlignTop);
    paint(L6, Qt::red);
    Bevel2 = topLine(c, "Bevel2", 63, 96, 401);

    Label1 = label(c, "Label1", kTotal, 64, 104, plain);
    L1 = field(c, "L1", QRect(192, 104, 60, 16), bold, Qt::AlignLeft | Qt::AlignTop);
    Label2 = label(c, "Label2", kRight, 64, 120, plain);
    L2 = field(c, "L2", QRect(275, 120, 60, 16), bold, Qt::AlignLeft | Qt::AlignTop);
    Label3 = label(c, "Label3", kWrong, 64, 136, plain);
    L3 = field(c, "L3", QRect(275, 136, 60, 16), bold, Qt::AlignLeft | Qt::AlignTop);
    Bevel1 = topLine(c, "Bevel1", 64, 160, 401);

    Label9 = label(c, "Label9", QStringLiteral("Chybně zodpovězené otázky"), 88, 165, plain);
    Label11 = label(c, "Label11", kCorrectAnswers, 316, 165, plain);
    Bevel4 = box(c, "Bevel4", QRect(62, 184, 200, 121));
    L5 = scrollingList(c, "L5", QRect(64, 186, 195, 115), bold);
    Bevel5 = box(c, "Bevel5", QRect(265, 184, 200, 121));
    L7 = scrollingList(c, "L7", QRect(267, 186, 195, 115), bold);
    Tl1 = new QPushButton(QStringLiteral("Ukázat"), c);
    Tl1->setObjectName(QStringLiteral("Tl1"));
    Tl1->setFont(sans(11));
    Tl1->setGeometry(328, 230, 75, 25);
    Tl1->setAutoDefault(false);

    Bevel3 = topLine(c, "Bevel3", 63, 312, 401);
    Label4 = label(c, "Label4", kPercent, 64, 320, plain);
    L4 = field(c, "L4", QRect(259, 320, 25, 15), bold, Qt::AlignRight | Qt::AlignTop);
    Label5 = label(c, "Label5", QStringLiteral("%"), 288, 320, plain);

    Shape2 = shape(c, "Shape2", QRect(64, 344, 402, 25), QColor(255, 0, 0), Qt::black);
    Shape3 = shape(c, "Shape3", QRect(65, 345, 400, 23), QColor(0, 255, 0), QColor(0, 255, 0));
    Shape5 = shape(c, "Shape5", QRect(64, 370, 1, 10), Qt::white, Qt::black);
    Shape4 = shape(c, "Shape4", QRect(264, 370, 1, 10), Qt::white, Qt::black);
    Shape6 = shape(c, "Shape6", QRect(465, 370, 1, 10), Qt::white, Qt::black);
    Label7 = label(c, "Label7", QStringLiteral("0 %"), 64, 384, plain);
    Label6 = label(c, "Label6", QStringLiteral("50 %"), 252, 384, plain);
    Label8 = label(c, "Label8", QStringLiteral("100 %"), 433, 384, plain);

    Button1 = new QPushButton(QStringLiteral("Ok"), c);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setFont(plain);
    Button1->setGeometry(227, 409, 75, 25);
    Button1->setDefault(true);

    connect(Button1, &QPushButton::clicked, this, [this] { guarded([this] { Button1Click(); }); });
    connect(Tl1, &QPushButton::clicked, this, [this] { guarded([this] { Tl1Click(); }); });
    // Esc closes the form from everywhere but "Ukázat".
    Tl1->installEventFilter(this);
    setUpAccessibility();

    if (m_host)
        BuildResultsPanel(m_host->ResultsPanel());
}

TVysledekDialog::~TVysledekDialog()
{
    if (VysledekDialog == this)
        VysledekDialog = nullptr;
}

bool TVysledekDialog::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == Tl1 && (e->type() == QEvent::KeyPress || e->type() == QEvent::ShortcutOverride)) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Escape) {
            e->accept();
            return true;
        }
    }
    return controls::TToolDialog::eventFilter(watched, e);
}

void TVysledekDialog::FormShow()
{
    guarded([this] {
        L7->hide();
        Tl1->show();
        Button1->setFocus();

        if (m_host) {
            m_host->EndSessionState();
            m_host->PlaySoundCue(QStringLiteral("Dialog.wav"));
            m_host->HostWindow()->setEnabled(false);
        }

        if (L2->text() == L3->text()) {
            L4->setText(QStringLiteral("50"));
            Shape3->resize(200, Shape3->height());
        }
    });
}

void TVysledekDialog::Button1Click()
{
    close();
}

void TVysledekDialog::ShowOutcome(const results::Outcome& o)
{
    L7->setText(o.correctList);
    L5->setText(o.wrongList);
    L2->setText(QString::number(o.r));
    L3->setText(QString::number(o.wrong));
    L4->setText(o.percentText);
    Shape3->resize(o.barWidth, Shape3->height());
    if (!o.grade.isEmpty())
        L6->setText(o.grade);
}

void TVysledekDialog::Tl1Click()
{
    if (!m_host)
        return;
    if (m_host->UserMessage(QStringLiteral("Opravdu chcete vidět všechny správné odpovědi?"), mtConfirmation,
                            mbYes | mbNo)
        == mrYes) {
        L7->show();
        Tl1->hide();
    }
}

void TVysledekDialog::FormClose()
{
    guarded([this] { closeSteps(); });
    // However the closing went, the main window is handed back: a failed
    // table operation must not leave the program without a usable window.
    if (m_host)
        m_host->HostWindow()->setEnabled(true);
}

void TVysledekDialog::closeSteps()
{
    if (!m_host)
        return;
    m_host->EndTestAfterResults();

    if (m_dm) {
        for (data::TTable* t : {m_dm->Table1, m_dm->Table2, m_dm->Table3, m_dm->Table4, m_dm->Table5})
            t->Close();
    }

    m_host->HostWindow()->setEnabled(true);

    QWidget* panel = m_host->ResultsPanel();
    BuildResultsPanel(panel);
    const std::pair<const char*, QLabel*> figures[] = {{"L1", L1}, {"L2", L2}, {"L3", L3}, {"L4", L4},
                                                       {"L5", L5}, {"L6", L6}, {"L7", L7}};
    for (const auto& [name, source] : figures) {
        if (auto* target = panel->findChild<QLabel*>(QLatin1String(name)))
            target->setText(source->text());
    }
    if (auto* l7 = panel->findChild<QLabel*>(QStringLiteral("L7")))
        l7->setVisible(!L7->isHidden());
    panel->show();
}

// --- The main window's results panel ----------------------------------------------

void BuildResultsPanel(QWidget* p)
{
    if (!p || p->findChild<QLabel*>(QStringLiteral("L1")))
        return;
    p->setAutoFillBackground(true);
    QPalette pal = p->palette();
    pal.setColor(QPalette::Window, Qt::white);
    p->setPalette(pal);

    const QFont plain = serif(13);
    const QFont bold = serif(13, true);

    label(p, "Label19", kRating, 161, 2, serif(16, true));
    QLabel* l6 = field(p, "L6", QRect(0, 22, 401, 19), serif(16, true), Qt::AlignHCenter | Qt::AlignTop);
    paint(l6, Qt::red);

    label(p, "Label14", kTotal, 4, 48, plain);
    field(p, "L1", QRect(132, 48, 60, 16), bold, Qt::AlignLeft | Qt::AlignTop);
    label(p, "Label15", kRight, 4, 64, plain);
    field(p, "L2", QRect(215, 64, 60, 16), bold, Qt::AlignLeft | Qt::AlignTop);
    label(p, "Label16", kWrong, 4, 80, plain);
    field(p, "L3", QRect(215, 80, 60, 16), bold, Qt::AlignLeft | Qt::AlignTop);

    label(p, "Label13", QStringLiteral("Cybně zodpovězené otázky"), 28, 102, plain);
    label(p, "Label20", kCorrectAnswers, 256, 102, plain);
    shape(p, "Shape2", QRect(2, 120, 197, 100), Qt::white, Qt::black);
    scrollingList(p, "L5", QRect(5, 123, 191, 94), bold);
    shape(p, "Shape1", QRect(202, 120, 197, 100), Qt::white, Qt::black);
    scrollingList(p, "L7", QRect(205, 123, 191, 94), bold)->hide();

    label(p, "Label17", kPercent, 4, 228, plain);
    field(p, "L4", QRect(199, 228, 25, 15), bold, Qt::AlignRight | Qt::AlignTop);
    label(p, "Label18", QStringLiteral("%"), 228, 228, plain);
}

} // namespace vedomec
