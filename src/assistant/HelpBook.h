#pragma once
// Context help for the controls of a dialog.  A help book holds one item
// per control; in help mode (the "?" of the dialog's title bar) a left click
// on a linked control, and F1 on it at any time, shows the item's short rich
// text in a small borderless popup next to the control instead of letting
// the control act.
#include <QByteArray>
#include <QColor>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

class QTextEdit;

namespace vedomec {

class THelpBook;
class THelpCol;

class THelpItem : public QObject {
    Q_OBJECT
    Q_PROPERTY(QWidget* Control READ Control WRITE setControl)
    Q_PROPERTY(QColor BackColor READ BackColor WRITE setBackColor)
    Q_PROPERTY(QColor BorderColor READ BorderColor WRITE setBorderColor)
    Q_PROPERTY(int BorderWidth READ BorderWidth WRITE setBorderWidth)
    Q_PROPERTY(QByteArray RTF READ RTF WRITE setRTF)
    Q_PROPERTY(int Width READ Width WRITE setWidth)
    Q_PROPERTY(int Height READ Height WRITE setHeight)
    Q_PROPERTY(bool Paste READ Paste WRITE setPaste STORED false)
    Q_PROPERTY(bool Test READ Test WRITE setTest STORED false)

public:
    THelpCol* Collection() const { return m_collection; }
    THelpBook* Book() const;

    // The control this item explains.  Linking a control whose name is
    // already linked in the same collection (this item included) leaves the
    // item without a control and throws "Control already linked!".
    QWidget* Control() const { return m_control; }
    void setControl(QWidget* control);

    // Background of the text (the tooltip background by default).
    QColor BackColor() const { return m_backColor; }
    void setBackColor(const QColor& c) { m_backColor = c; }
    // The frame round the text.
    QColor BorderColor() const { return m_borderColor; }
    void setBorderColor(const QColor& c) { m_borderColor = c; }
    int BorderWidth() const { return m_borderWidth; }
    void setBorderWidth(int w) { m_borderWidth = qMax(0, w); }
    // The help text, a rich text (RTF) document.
    QByteArray RTF() const { return m_rtf; }
    void setRTF(const QByteArray& rtf) { m_rtf = rtf; }
    // The popup's size (a third of the screen each way by default).
    int Width() const { return m_width; }
    void setWidth(int w) { m_width = qMax(1, w); }
    int Height() const { return m_height; }
    void setHeight(int h) { m_height = qMax(1, h); }

    // Authoring aids, never stored: setting Paste takes the clipboard's rich
    // text as RTF (nothing changes when the clipboard holds none); setting
    // Test shows the popup at once.
    bool Paste() const { return false; }
    void setPaste(bool on);
    bool Test() const { return false; }
    void setTest(bool on);

    // Shows this item's popup next to its control, closing any popup that is
    // open; nothing is shown while the book is not Enabled.
    void ShowHelp();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class THelpCol;
    explicit THelpItem(THelpCol* collection);
    ~THelpItem() override;
    void hook(QWidget* w);
    void unhookControl();

    THelpCol* m_collection;
    QPointer<QWidget> m_control;
    QColor m_backColor;
    QColor m_borderColor = Qt::black;
    int m_borderWidth = 2;
    QByteArray m_rtf;
    int m_width = 1;
    int m_height = 1;
};

// The items of one help book, in order.
class THelpCol : public QObject {
    Q_OBJECT
public:
    explicit THelpCol(THelpBook* owner);
    ~THelpCol() override;

    THelpBook* Owner() const { return m_owner; }
    THelpItem* Add();
    int Count() const { return int(m_items.size()); }
    THelpItem* Items(int i) const { return m_items.value(i); }
    // Destroying an item gives its control back.
    void Delete(int i);
    void Clear();

private:
    THelpBook* m_owner;
    QList<THelpItem*> m_items;
};

class THelpBook : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool HelpMode READ HelpMode WRITE setHelpMode STORED false)
    Q_PROPERTY(bool Enabled READ Enabled WRITE setEnabled)

public:
    // owner: the dialog; when it hides, its help mode ends.
    explicit THelpBook(QObject* owner);
    ~THelpBook() override;

    THelpCol* HelpWindows() const { return m_items; }

    // On only with at least one item: the help cursor then shows.
    bool HelpMode() const { return m_helpMode; }
    void setHelpMode(bool on);
    bool Enabled() const { return m_enabled; }
    void setEnabled(bool on) { m_enabled = on; }

signals:
    void OnHelpOpen(QWidget* control);
    void OnHelpClose(QWidget* control);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class THelpItem;
    bool isLinked(const QWidget* w) const;
    void focusChanged(QWidget* old, QWidget* now);
    // A press that help takes leaves the keyboard focus where it was.
    void giveFocusBack();

    THelpCol* m_items;
    bool m_helpMode = false;
    bool m_enabled = true;
    bool m_cursorSet = false;
    bool m_focusTaken = false;
    QPointer<QWidget> m_focusBefore;
};

// The popup: borderless, above other windows, a read-only rich text view
// filling it inside a frame.  There is at most one in the whole program.
// Esc, a right-button release on it or losing activation closes it;
// dragging anywhere on it moves it.
class THelpWin : public QWidget {
    Q_OBJECT
public:
    THelpWin(QWidget* control, THelpBook* book);
    ~THelpWin() override;

    // The popup that is open, if any.
    static THelpWin* Current();

    QTextEdit* RichEdit = nullptr;
    QWidget* Control() const { return m_control; }
    THelpBook* Book() const { return m_book; }

    void setFrame(const QColor& color, int width);
    void setBackColor(const QColor& c);
    // Parses and lays out the rich text.
    void loadRTF(const QByteArray& rtf);
    // Shows it without a modal loop and marks it as the open one.
    void popup();

signals:
    void opened(QWidget* control);
    void closedFor(QWidget* control);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Names the popup by the heading of its text for a screen reader
    // (BalloonAccessible.cpp).
    void describeForReaders();

    // Closed by the user's own hand: the dialog gets the keyboard back.
    void dismiss();

    QPointer<QWidget> m_control;
    QPointer<THelpBook> m_book;
    QColor m_frameColor = Qt::black;
    int m_frameWidth = 2;
    bool m_wasActive = false;
    bool m_closed = false;
    bool m_dragging = false;
    QPoint m_grab;
};

} // namespace vedomec
