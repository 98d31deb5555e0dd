#pragma once
// An extra button in the title bar of its owner window (our dialogs draw
// their own title bar, so the button is a small child placed over it,
// measured from the owner's right edge).
#include "controls/GradMath.h"

#include <QFont>
#include <QPixmap>
#include <QRect>
#include <QWidget>

namespace vedomec::controls {

enum TStandardButton { tsbNone, tsbClose, tsbHelp, tsbMax, tsbMin, tsbRestore };

// Title bar metrics of our own compact frame, read by the caption button's
// defaults and by the dialogs' frame.
struct TitleMetrics {
    static constexpr int SizingFrame = 3;
    static constexpr int CaptionButtonWidth = 13;
    static constexpr int CaptionHeight = 15;
    static constexpr int TitleBarHeight = SizingFrame + CaptionHeight + 2; // 20
};

class TCaptionButton : public QWidget {
    Q_OBJECT
    Q_PROPERTY(vedomec::controls::TAlignment Alignment READ Alignment WRITE setAlignment)
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(QPixmap Glyph READ Glyph WRITE setGlyph)
    Q_PROPERTY(int ButtonLeft READ ButtonLeft WRITE setButtonLeft)
    Q_PROPERTY(int ButtonTop READ ButtonTop WRITE setButtonTop)
    Q_PROPERTY(int ButtonWidth READ ButtonWidth WRITE setButtonWidth)
    Q_PROPERTY(int ButtonHeight READ ButtonHeight WRITE setButtonHeight)
    Q_PROPERTY(bool Toggle READ Toggle WRITE setToggle)
    Q_PROPERTY(bool Down READ Down)
    Q_PROPERTY(int Standard READ standardInt WRITE setStandardInt)

public:
    // owner: the window whose title bar carries the button.
    explicit TCaptionButton(QWidget* owner);
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

    // The button's rectangle in the owner's window coordinates.
    QRect ButtonRect() const;

signals:
    void OnClick(QObject* sender);
    void OnMouseDown(QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void OnMouseUp(QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int standardInt() const { return m_standard; }
    void setStandardInt(int s) { setStandard(TStandardButton(s)); }
    void place();
    void setDownState(bool down);

    QWidget* m_owner = nullptr;
    TAlignment m_alignment = taLeftJustify;
    QString m_caption;
    QPixmap m_glyph;
    QFont m_font;
    int m_left = 4 * TitleMetrics::CaptionButtonWidth + 4;
    int m_top = TitleMetrics::SizingFrame + 2;
    int m_width = TitleMetrics::CaptionButtonWidth;
    int m_height = TitleMetrics::CaptionHeight - 4;
    bool m_toggle = false;
    bool m_down = false;
    TStandardButton m_standard = tsbNone;
};

// Draws a title-bar glyph of a standard kind into r (shared with the
// flat buttons).
void DrawCaptionGlyph(class QPainter& p, const QRect& r, TStandardButton kind, bool down, bool enabled = true);

} // namespace vedomec::controls
