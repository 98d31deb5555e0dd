#pragma once
// A panel that paints its background as a colour gradient, a flat colour or
// a stretched or tiled picture, with an optional relief caption; the
// moveable kind can be dragged and resized with the mouse.
#include "controls/GradMath.h"

#include <QColor>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QWidget>

namespace vedomec::controls {

QColor toQColor(TColor c);
TColor fromQColor(const QColor& c);

class TGradPan : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QPixmap Bitmap READ Bitmap WRITE setBitmap)
    Q_PROPERTY(vedomec::controls::TDirection BackGroundEffect READ BackGroundEffect WRITE setBackGroundEffect)
    Q_PROPERTY(QColor ColorStart READ ColorStart WRITE setColorStart)
    Q_PROPERTY(QColor ColorEnd READ ColorEnd WRITE setColorEnd)
    Q_PROPERTY(QColor ColorShadow READ ColorShadow WRITE setColorShadow)
    Q_PROPERTY(bool Ctl3D READ Ctl3D WRITE setCtl3D)
    Q_PROPERTY(vedomec::controls::TTextEffect TextEffect READ TextEffect WRITE setTextEffect)
    Q_PROPERTY(vedomec::controls::TTextRotation TextRotation READ TextRotation WRITE setTextRotation)
    Q_PROPERTY(vedomec::controls::TVertAlign VertAlign READ VertAlign WRITE setVertAlign)
    Q_PROPERTY(int Marge READ Marge WRITE setMarge)
    Q_PROPERTY(bool Moveable READ Moveable WRITE setMoveable)
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(vedomec::controls::TAlignment Alignment READ Alignment WRITE setAlignment)
    Q_PROPERTY(vedomec::controls::TBevelCut BevelInner READ BevelInner WRITE setBevelInner)
    Q_PROPERTY(vedomec::controls::TBevelCut BevelOuter READ BevelOuter WRITE setBevelOuter)
    Q_PROPERTY(int BevelWidth READ BevelWidth WRITE setBevelWidth)
    Q_PROPERTY(int BorderWidth READ BorderWidth WRITE setBorderWidth)
    Q_PROPERTY(QColor Color READ Color WRITE setColor)
    Q_PROPERTY(QColor FontColor READ FontColor WRITE setFontColor)

public:
    explicit TGradPan(QWidget* parent = nullptr);
    ~TGradPan() override;

    // The picture of the two image modes; assigning copies it.
    QPixmap Bitmap() const { return m_bitmap; }
    void setBitmap(const QPixmap& bitmap);

    TDirection BackGroundEffect() const { return m_effect; }
    void setBackGroundEffect(TDirection d);
    QColor ColorStart() const { return m_colorStart; }
    void setColorStart(const QColor& c);
    QColor ColorEnd() const { return m_colorEnd; }
    void setColorEnd(const QColor& c);
    QColor ColorShadow() const { return m_colorShadow; }
    void setColorShadow(const QColor& c);
    bool Ctl3D() const { return m_ctl3d; }
    void setCtl3D(bool on);
    TTextEffect TextEffect() const { return m_textEffect; }
    void setTextEffect(TTextEffect e);
    TTextRotation TextRotation() const { return m_rotation; }
    void setTextRotation(TTextRotation r);
    TVertAlign VertAlign() const { return m_vertAlign; }
    void setVertAlign(TVertAlign v);
    int Marge() const { return m_marge; }
    void setMarge(int m);
    bool Moveable() const { return m_moveable; }
    void setMoveable(bool on);

    // What the panel keeps of the plain panel.
    QString Caption() const { return m_caption; }
    void setCaption(const QString& text);
    TAlignment Alignment() const { return m_alignment; }
    void setAlignment(TAlignment a);
    TBevelCut BevelInner() const { return m_bevelInner; }
    void setBevelInner(TBevelCut b);
    TBevelCut BevelOuter() const { return m_bevelOuter; }
    void setBevelOuter(TBevelCut b);
    int BevelWidth() const { return m_bevelWidth; }
    void setBevelWidth(int w);
    int BorderWidth() const { return m_borderWidth; }
    void setBorderWidth(int w);
    QColor Color() const { return m_color; }
    void setColor(const QColor& c);
    // The caption's own colour (the font colour of the form files).
    QColor FontColor() const { return m_fontColor; }
    void setFontColor(const QColor& c);

    // The ramp of the last gradient fill (recomputed before each fill).
    const Ramp& LastRamp() const { return m_ramp; }
    // Hit code of a point in client coordinates.
    HitCode HitTest(const QPoint& clientPos) const;

signals:
    // Raised on every move of the panel, before the move is handled.
    void OnPanelMove(QObject* sender);

protected:
    void paintEvent(QPaintEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void paintBackground(class QPainter& p);
    void paintCaption(class QPainter& p);
    void paintBevels(class QPainter& p);
    void fillFlat(class QPainter& p);

    QPixmap m_bitmap;
    TDirection m_effect = bdVertIn;
    QColor m_colorStart = toQColor(clTeal);
    QColor m_colorEnd = toQColor(clWhite);
    QColor m_colorShadow = toQColor(clGray);
    bool m_ctl3d = false;
    TTextEffect m_textEffect = teShadow;
    TTextRotation m_rotation = trNone;
    TVertAlign m_vertAlign = vlCenter;
    int m_marge = 6;
    bool m_moveable = false;

    QString m_caption;
    TAlignment m_alignment = taCenter;
    TBevelCut m_bevelInner = bvNone;
    TBevelCut m_bevelOuter = bvRaised;
    int m_bevelWidth = 1;
    int m_borderWidth = 0;
    QColor m_color = toQColor(clBtnFaceRGB);
    QColor m_fontColor = Qt::black;

    Ramp m_ramp{};

    // Mouse drag of a moveable panel.
    HitCode m_dragCode = HTNOWHERE;
    QPoint m_dragStart;
    QRect m_dragGeometry;
};

} // namespace vedomec::controls
