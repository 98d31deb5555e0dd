#include "assistant/HelpBook.h"

#include "controls/Accessible.h"

#include "assistant/HelpMath.h"
#include "assistant/RichText.h"
#include "platform/Errors.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QCursor>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QTextEdit>
#include <QToolTip>
#include <QWindow>

namespace vedomec {

namespace {

QPointer<THelpWin> s_current;

QRect screenRect(const QWidget* w)
{
    QScreen* s = w ? w->screen() : nullptr;
    if (!s)
        s = QGuiApplication::primaryScreen();
    return s ? s->geometry() : QRect(0, 0, 800, 600);
}

bool sameName(const QWidget* a, const QWidget* b)
{
    if (a == b)
        return true;
    return !a->objectName().isEmpty() && a->objectName() == b->objectName();
}

bool isF1(const QKeyEvent* e)
{
    return e->key() == Qt::Key_F1 && (e->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

} // namespace

// ---- THelpItem ----

THelpItem::THelpItem(THelpCol* collection)
    : QObject(collection)
    , m_collection(collection)
    , m_backColor(QToolTip::palette().color(QPalette::Inactive, QPalette::ToolTipBase))
{
    const QRect s = screenRect(nullptr);
    m_width = qMax(1, s.width() / 3);
    m_height = qMax(1, s.height() / 3);
}

THelpItem::~THelpItem()
{
    unhookControl();
}

THelpBook* THelpItem::Book() const
{
    return m_collection ? m_collection->Owner() : nullptr;
}

void THelpItem::setControl(QWidget* control)
{
    if (!control) {
        unhookControl();
        return;
    }
    for (int i = 0; i < m_collection->Count(); ++i) {
        const THelpItem* other = m_collection->Items(i);
        if (other->m_control && sameName(other->m_control, control)) {
            // Left without a control, and the one it had gets its events back.
            unhookControl();
            throw EVedomecError(QStringLiteral("Control already linked!"));
        }
    }
    unhookControl();
    m_control = control;
    hook(control);
    for (QWidget* child : control->findChildren<QWidget*>())
        hook(child);
}

// The control and everything inside it: a click on a list's viewport or a
// tree's scroll bar is a click on the control.
void THelpItem::hook(QWidget* w)
{
    w->installEventFilter(this);
}

void THelpItem::unhookControl()
{
    if (m_control) {
        m_control->removeEventFilter(this);
        for (QWidget* child : m_control->findChildren<QWidget*>())
            child->removeEventFilter(this);
    }
    m_control = nullptr;
}

bool THelpItem::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_control)
        return false;
    THelpBook* book = Book();
    bool show = false;
    switch (event->type()) {
    case QEvent::ChildAdded: {
        QObject* child = static_cast<QChildEvent*>(event)->child();
        if (child->isWidgetType())
            hook(static_cast<QWidget*>(child));
        return false;
    }
    case QEvent::MouseButtonPress:
        show = book && book->HelpMode() && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
        break;
    case QEvent::ShortcutOverride:
        // F1 is the control's help request, whatever shortcut the window has on it.
        if (isF1(static_cast<QKeyEvent*>(event))) {
            event->accept();
            return true;
        }
        return false;
    case QEvent::KeyPress:
        show = isF1(static_cast<QKeyEvent*>(event));
        break;
    default:
        return false;
    }
    if (!show)
        return false;
    if (book) {
        if (event->type() == QEvent::MouseButtonPress)
            book->giveFocusBack();
        book->setHelpMode(false);
    }
    ShowHelp();
    return true;
}

void THelpItem::setPaste(bool on)
{
    if (!on)
        return;
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data)
        return;
    // The registered clipboard format "Rich Text Format" under its names on
    // the platforms Qt runs on.
    static const char* const formats[] = {
        "application/x-qt-windows-mime;value=\"Rich Text Format\"",
        "text/rtf",
        "application/rtf",
        "text/richtext",
    };
    for (const char* f : formats) {
        const QString mime = QString::fromLatin1(f);
        if (data->hasFormat(mime)) {
            m_rtf = data->data(mime);
            return;
        }
    }
}

void THelpItem::setTest(bool on)
{
    if (on)
        ShowHelp();
}

void THelpItem::ShowHelp()
{
    if (THelpWin* open = THelpWin::Current())
        open->close();
    THelpBook* book = Book();
    if (!book || !book->Enabled())
        return;

    auto* win = new THelpWin(m_control, book);
    win->setFrame(m_borderColor, m_borderWidth);
    win->resize(m_width, m_height);
    win->setBackColor(m_backColor);
    win->loadRTF(m_rtf);

    const QSize size(m_width, m_height);
    if (m_control) {
        win->move(PlaceHelpWindow(m_control->mapToGlobal(QPoint(0, 0)), m_control->height(), size,
                                  screenRect(m_control)));
    } else {
        const QRect s = screenRect(nullptr);
        win->move(s.left() + (s.width() - size.width()) / 2, s.top() + (s.height() - size.height()) / 2);
    }
    win->popup();
}

// ---- THelpCol ----

THelpCol::THelpCol(THelpBook* owner)
    : QObject(owner)
    , m_owner(owner)
{
}

THelpCol::~THelpCol()
{
    Clear();
}

THelpItem* THelpCol::Add()
{
    auto* item = new THelpItem(this);
    m_items.append(item);
    return item;
}

void THelpCol::Delete(int i)
{
    if (i < 0 || i >= m_items.size())
        return;
    delete m_items.takeAt(i);
}

void THelpCol::Clear()
{
    while (!m_items.isEmpty())
        delete m_items.takeLast();
}

// ---- THelpBook ----

THelpBook::THelpBook(QObject* owner)
    : QObject(owner)
    , m_items(new THelpCol(this))
{
    if (owner && owner->isWidgetType())
        owner->installEventFilter(this);
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
        connect(app, &QApplication::focusChanged, this, &THelpBook::focusChanged);
}

THelpBook::~THelpBook()
{
    setHelpMode(false);
    if (THelpWin* open = THelpWin::Current(); open && open->Book() == this)
        open->close();
    delete m_items;
    m_items = nullptr;
}

bool THelpBook::isLinked(const QWidget* w) const
{
    for (int i = 0; m_items && i < m_items->Count(); ++i) {
        const QWidget* c = m_items->Items(i)->Control();
        if (c && (c == w || c->isAncestorOf(w)))
            return true;
    }
    return false;
}

// The window system hands the focus to a clicked control before the control
// (or any hook of it) hears of the press; a press that help takes should not
// move it.
void THelpBook::focusChanged(QWidget* old, QWidget* now)
{
    if (!m_helpMode || !now || !(QGuiApplication::mouseButtons() & Qt::LeftButton) || !isLinked(now))
        return;
    m_focusTaken = true;
    m_focusBefore = old;
}

void THelpBook::giveFocusBack()
{
    if (!m_focusTaken)
        return;
    m_focusTaken = false;
    if (m_focusBefore)
        m_focusBefore->setFocus(Qt::OtherFocusReason);
    else if (QWidget* f = QApplication::focusWidget())
        f->clearFocus();
    m_focusBefore = nullptr;
}

void THelpBook::setHelpMode(bool on)
{
    m_focusTaken = false;
    m_helpMode = on && m_items && m_items->Count() > 0;
    if (m_helpMode && !m_cursorSet) {
        QGuiApplication::setOverrideCursor(QCursor(Qt::WhatsThisCursor));
        m_cursorSet = true;
    } else if (!m_helpMode && m_cursorSet) {
        QGuiApplication::restoreOverrideCursor();
        m_cursorSet = false;
    }
}

bool THelpBook::eventFilter(QObject* watched, QEvent* event)
{
    // A dialog that goes away takes its help mode and its popup with it, so
    // the help cursor never stays over the main window.
    if (watched == parent() && event->type() == QEvent::Hide) {
        setHelpMode(false);
        if (THelpWin* open = THelpWin::Current(); open && open->Book() == this)
            open->close();
    }
    return false;
}

// ---- THelpWin ----

THelpWin::THelpWin(QWidget* control, THelpBook* book)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , m_control(control)
    , m_book(book)
{
    setObjectName(QStringLiteral("HelpWin"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFocusPolicy(Qt::StrongFocus);

    RichEdit = new QTextEdit(this);
    RichEdit->setObjectName(QStringLiteral("RichEdit"));
    RichEdit->setReadOnly(true);
    RichEdit->setTextInteractionFlags(Qt::NoTextInteraction);
    RichEdit->setFocusPolicy(Qt::NoFocus);
    RichEdit->setFrameShape(QFrame::NoFrame);
    RichEdit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    RichEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    RichEdit->setContextMenuPolicy(Qt::NoContextMenu);
    // Presses go to the window: the whole popup is its caption.
    RichEdit->setAttribute(Qt::WA_TransparentForMouseEvents);
    RichEdit->document()->setDocumentMargin(5);
    RichEdit->document()->setUndoRedoEnabled(false);

    if (book) {
        connect(this, &THelpWin::opened, book, &THelpBook::OnHelpOpen);
        connect(this, &THelpWin::closedFor, book, &THelpBook::OnHelpClose);
    }
}

THelpWin::~THelpWin()
{
    if (s_current == this)
        s_current = nullptr;
}

THelpWin* THelpWin::Current()
{
    return s_current;
}

void THelpWin::setFrame(const QColor& color, int width)
{
    m_frameColor = color;
    m_frameWidth = qMax(0, width);
    RichEdit->setGeometry(rect().adjusted(m_frameWidth, m_frameWidth, -m_frameWidth, -m_frameWidth));
    update();
}

void THelpWin::setBackColor(const QColor& c)
{
    QPalette pal = RichEdit->palette();
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(g, QPalette::Base, c);
        pal.setColor(g, QPalette::Window, c);
        pal.setColor(g, QPalette::Text, Qt::black);
    }
    RichEdit->setPalette(pal);
}

void THelpWin::loadRTF(const QByteArray& rtf)
{
    LoadRichText(RichEdit->document(), QByteArrayView(rtf));
}

void THelpWin::popup()
{
    s_current = this;
    describeForReaders();
    show();
    raise();
    activateWindow();
    controls::Announce(this);
    emit opened(m_control);
}

bool THelpWin::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::WindowActivate:
        m_wasActive = true;
        break;
    case QEvent::WindowDeactivate:
        // Another window took the keyboard: the popup has done its job.
        if (m_wasActive && !m_closed)
            close();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void THelpWin::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), m_frameColor);
}

void THelpWin::resizeEvent(QResizeEvent* event)
{
    RichEdit->setGeometry(rect().adjusted(m_frameWidth, m_frameWidth, -m_frameWidth, -m_frameWidth));
    QWidget::resizeEvent(event);
}

void THelpWin::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        dismiss();
        return;
    }
    QWidget::keyPressEvent(event);
}

void THelpWin::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    m_grab = event->globalPosition().toPoint() - pos();
    QWindow* w = windowHandle();
    m_dragging = !(w && w->startSystemMove());
    event->accept();
}

void THelpWin::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - m_grab);
}

void THelpWin::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        dismiss();
        return;
    }
    if (event->button() == Qt::LeftButton)
        m_dragging = false;
}

void THelpWin::dismiss()
{
    QPointer<QWidget> back = m_control ? m_control->window() : nullptr;
    close();
    // Without a window manager nobody else hands the keyboard back.
    if (back && back->isVisible())
        back->activateWindow();
}

void THelpWin::closeEvent(QCloseEvent* event)
{
    event->accept();
    if (m_closed)
        return;
    m_closed = true;
    if (s_current == this)
        s_current = nullptr;
    emit closedFor(m_control);
}

} // namespace vedomec
