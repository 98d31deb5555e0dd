#pragma once
// TAssistantStage: the borderless, stay-on-top window the character stands
// on.  It paints itself from the current frame picture (fill with `Color`,
// the background picture when not `Transparent`, the frame fitted and
// centred) and, when `Transparent`, takes the shape of every pixel that is
// not `Color`.  Dragging anywhere on it moves it.  It reports the user's
// doings as signals and decides nothing itself: `TAssistant` listens.
//
// Object name "AssistantStage".  Created disabled (a disabled stage lets no
// click through to its owner).
#include <QColor>
#include <QImage>
#include <QPointer>
#include <QRegion>
#include <QWidget>

#include <QMenu>

namespace vedomec {

enum TBgMode { bmNone, bmTiled, bmCentered, bmStretched };

class TAssistantStage : public QWidget {
    Q_OBJECT

public:
    explicit TAssistantStage(QWidget* parent = nullptr);
    ~TAssistantStage() override;

    QColor Color() const { return m_color; }
    void setColor(const QColor& color);
    bool Transparent() const { return m_transparent; }
    // Off: a sizeable tool-window border and no shape; on: no border.  The
    // client size is kept and a visible stage stays visible.
    void setTransparent(bool on);
    TBgMode BgMode() const { return m_bgMode; }
    void setBgMode(TBgMode mode);
    QImage BgPicture() const { return m_bgPicture; }
    void setBgPicture(const QImage& picture);
    bool Stretch() const { return m_stretch; }
    void setStretch(bool on);
    bool StayOnTop() const { return m_stayOnTop; }
    void setStayOnTop(bool on);
    // With AutoSize the client area is the actor's frame size and the user
    // cannot change it; without, stageCanResize decides.
    bool AutoSize() const { return m_autoSize; }
    void setAutoSize(bool on);
    void setActorFrameSize(QSize size);
    QMenu* PopupMenu() const { return m_popup; }
    void setPopupMenu(QMenu* menu);

    // The current frame: transparent where the stage's colour shows through.
    // A null image shows no character.
    void setFramePicture(const QImage& frame);
    const QImage& framePicture() const { return m_frame; }

    // The picture last painted (the off-screen bitmap) and, when
    // Transparent, the outline made from it; empty when nothing differs
    // from Color.
    const QImage& composed() const { return m_composed; }
    QRegion shapeRegion() const { return m_shape; }

    // Paints the off-screen picture anew and reshapes the window.
    void refresh();

signals:
    void stageClick();
    void stageDblClick();
    void stageMouseUp(Qt::MouseButton button, QPoint position);
    // canClose starts true; a handler that clears it keeps the stage open.
    void stageCloseQuery(bool* canClose);
    // A resize to (*width, *height) without AutoSize; clear *resize to refuse
    // it or change the size.
    void stageCanResize(int* width, int* height, bool* resize);
    void stageKeyPress(int key, const QString& text);
    void stageActivate();
    void stageShow();
    void stageHide();
    // The user moves the stage: the first move of a drag, the moves after
    // it, and the release that ends it.
    void stageDragStart();
    void stageDragging();
    void stageDragStop();
    // The border came or went with Transparent.
    void stageBorderChanged();

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void mouseDoubleClickEvent(QMouseEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void closeEvent(QCloseEvent*) override;
    void showEvent(QShowEvent*) override;
    void hideEvent(QHideEvent*) override;
    void changeEvent(QEvent*) override;

private:
    void applyWindowFlags();
    void applySizePolicy();

    QColor m_color;
    bool m_transparent = true;
    TBgMode m_bgMode = bmTiled;
    QImage m_bgPicture;
    bool m_stretch = false;
    bool m_stayOnTop = true;
    bool m_autoSize = true;
    QSize m_actorFrameSize;
    QPointer<QMenu> m_popup;
    QImage m_frame;
    QImage m_composed;
    QRegion m_shape;

    bool m_pressed = false;
    bool m_dragged = false;
    QPoint m_pressGlobal;
    QPoint m_pressWindow;
    bool m_inResize = false;
};

// The stage's picture for a client area: what the stage paints.
QImage composeStage(QSize area, const QColor& color, bool transparent, TBgMode bgMode, const QImage& bgPicture,
                    const QImage& frame, bool stretch);
// The union of the pixels of `picture` whose colour is not `color`.
QRegion outlineRegion(const QImage& picture, const QColor& color);

} // namespace vedomec
