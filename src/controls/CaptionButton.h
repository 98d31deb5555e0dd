#pragma once
// An extra button in the title bar of its owner window.  It is no widget of
// its own: it watches the owner's events through an event filter (the owner
// handles each event first), draws itself over the owner's title bar after
// the bar has painted, and takes the presses that land on it.  Our dialogs
// draw their own title bar (a child named "TitleBar"); on a window without
// one the button is drawn on the window itself.
#include "controls/GradMath.h"

#include <QFont>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QRect>

class QPainter;
class QWidget;

namespace vedomec::controls {

enum TStandardButton { tsbNone, tsbClose, tsbHelp, tsbMax, tsbMin, tsbRestore };

// The compact title bar of our dialogs, a tool window's small caption.
struct TitleMetrics {
    static constexpr int SizingFrame = 3;
    static constexpr int CaptionButtonWidth = 13;
    static constexpr int CaptionHeight = 15;
    static constexpr int TitleBarHeight = SizingFrame + CaptionHeight + 2; // 20
};

// The style's title-bar metrics a caption button takes its defaults from:
// caption-button width, caption height and sizing-frame width.
struct StyleTitleMetrics {
    int captionButtonWidth = 0;
    int captionHeight = 0;
    int sizingFrame = 0;
    static StyleTitleMetrics of(const QWidget* owner);
};

class TCaptionButton : public QObject {
    Q_OBJECT
    Q_PROPERTY(vedomec::controls::TAlignment Alignment READ Alignment WRITE setAlignment)
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(QPixmap Glyph READ Glyph WRITE setGlyph)
    Q_PROPERTY(QFont Font READ Font WRITE setFont)
    Q_PROPERTY(int ButtonLeft READ ButtonLeft WRITE setButtonLeft)
    Q_PROPERTY(int ButtonTop READ ButtonTop WRITE setButtonTop)
    Q_PROPERTY(int ButtonWidth READ ButtonWidth WRITE setButtonWidth)
    Q_PROPERTY(int ButtonHeight READ ButtonHeight WRITE setButtonHeight)
    Q_PROPERTY(bool Toggle READ Toggle WRITE setToggle)
    Q_PROPERTY(bool Down READ Down)
    Q_PROPERTY(int Standard READ standardInt WRITE setStandardInt)

public:
    // owner: the window whose title bar carries the button.  Its defaults
    // come from the owner's style, read once here.
    explicit TCaptionButton(QWidget* owner);
    // Lets go of the owner and takes the button off its title bar.
    ~TCaptionButton() override;

    TAlignment Alignment() const { return m_alignment; }
    void setAlignment(TAlignment a);
    QString Caption() const { return m_caption; }
    void setCaption(const QString& c);
    QPixmap Glyph() const { return m_glyph; }
    void setGlyph(const QPixmap& g);
    // Only the height of this font is used.
    QFont Font() const { return m_font; }
    void setFont(const QFont& f);
    // Distance of the button's left edge from the owner's right edge.
    int ButtonLeft() const { return m_left; }
    void setButtonLeft(int v);
    int ButtonTop() const { return m_top; }
    void setButtonTop(int v);
    int ButtonWidth() const { return m_width; }
    void setButtonWidth(int v);
    int ButtonHeight() const { return m_height; }
    void setButtonHeight(int v);
    bool Toggle() const { return m_toggle; }
    void setToggle(bool on);
    bool Down() const { return m_down; }
    TStandardButton Standard() const { return m_standard; }
    void setStandard(TStandardButton s);

    // A click that comes from elsewhere than the mouse (a screen reader
    // pressing the button): as a press and a release on it.
    void Click();

    QWidget* Owner() const { return m_owner; }
    // The button's rectangle in the owner's window coordinates.
    QRect ButtonRect() const;
    // The widget the button is drawn on, and the button's rectangle there.
    QWidget* Surface() const;
    QRect SurfaceRect() const;

signals:
    // A completed click: pressed on the button and released over it (for a
    // toggle, only the click that leaves it down).
    void OnClick(QObject* sender);
    void OnMouseDown(QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void OnMouseUp(QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int standardInt() const { return m_standard; }
    void setStandardInt(int s) { setStandard(TStandardButton(s)); }
    void hook();
    void unhook();
    // Redraws the button; after a change of its place, the old place too.
    void redraw();
    void moved(const QRect& before);
    void draw(QPainter& p, const QRect& r) const;
    bool mouse(QWidget* watched, QEvent* event);

    QPointer<QWidget> m_owner;
    QPointer<QWidget> m_titleBar;
    TAlignment m_alignment = taLeftJustify;
    QString m_caption;
    QPixmap m_glyph;
    QFont m_font;
    int m_left = 0;
    int m_top = 0;
    int m_width = 0;
    int m_height = 0;
    bool m_toggle = false;
    bool m_down = false;
    TStandardButton m_standard = tsbNone;
    bool m_pressed = false;  // the left button went down on us and is still held
    bool m_painting = false; // the surface is drawing itself under our hook
};

// The "?" button of a dialog's title bar: 12 x 11 pixels, 30 pixels left of
// the right edge, 5 from the top, not a toggle.  Named CaptionButton2.
TCaptionButton* CreateHelpCaptionButton(QWidget* owner);

// Draws a title-bar glyph of a standard kind into r (shared with the
// flat buttons).
void DrawCaptionGlyph(QPainter& p, const QRect& r, TStandardButton kind, bool down, bool enabled = true);

} // namespace vedomec::controls
