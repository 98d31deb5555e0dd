#pragma once
// The assistant's balloon: a borderless, shaped window that shows messages
// (and, later, tips, the guide and free text), with its option objects.
#include "assistant/BalloonMath.h"

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QRegion>
#include <QTimer>
#include <QWidget>

#include <array>

class QLabel;
class QPushButton;
class QFrame;

namespace vedomec {

// A Windows colour value $00BBGGRR as stored with the forms.
QColor colorFromTColor(quint32 tcolor);
quint32 tcolorFromColor(const QColor& color);

// Colours and font of every balloon.  Each change lays an open balloon out
// again (signal changed()).
class TBalloonOptions : public QObject {
    Q_OBJECT
    Q_PROPERTY(QColor Color READ Color WRITE setColor NOTIFY changed)
    Q_PROPERTY(QColor BorderColor READ BorderColor WRITE setBorderColor NOTIFY changed)
    Q_PROPERTY(QFont Font READ Font WRITE setFont NOTIFY changed)

public:
    static constexpr quint32 kDefaultColor = 12648447; // light yellow
    static constexpr quint32 kDefaultBorderColor = 0;   // black

    explicit TBalloonOptions(QObject* parent = nullptr);

    QColor Color() const { return m_color; }
    void setColor(const QColor& c);
    QColor BorderColor() const { return m_borderColor; }
    void setBorderColor(const QColor& c);
    // The balloon's own font; setting copies the given font's attributes.
    QFont Font() const { return m_font; }
    void setFont(const QFont& f);
    bool fontChanged() const { return m_fontChanged; }

signals:
    void changed();

private:
    QColor m_color;
    QColor m_borderColor;
    QFont m_font;
    bool m_fontChanged = false;
};

// Options of the message balloon.
class TMsgDlgOptions : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Title READ Title WRITE setTitle NOTIFY changed)
    Q_PROPERTY(QIcon CustomIcon READ CustomIcon WRITE setCustomIcon NOTIFY changed)

public:
    explicit TMsgDlgOptions(QObject* parent = nullptr) : QObject(parent) {}

    // Shown in bold above the message; stays until the next caller sets it.
    QString Title() const { return m_title; }
    void setTitle(const QString& t);
    // The icon of messages of the custom type.
    QIcon CustomIcon() const { return m_customIcon; }
    void setCustomIcon(const QIcon& icon);

signals:
    void changed();

private:
    QString m_title;
    QIcon m_customIcon;
};

// The balloon window.  Owned by TAssistant; it knows nothing of the program's
// forms.  Object name "AssistantBalloon"; its parts are "BalloonIcon",
// "BalloonTitle", "BalloonText", "BalloonDivider" and the buttons
// "BalloonButtonYes", "BalloonButtonNo", "BalloonButtonOK",
// "BalloonButtonCancel", "BalloonButtonAbort", "BalloonButtonRetry",
// "BalloonButtonIgnore", "BalloonButtonAll", "BalloonButtonNoToAll",
// "BalloonButtonYesToAll", "BalloonButtonHelp" (only those of the current
// message are visible).
class TAssistantBalloon : public QWidget {
    Q_OBJECT

public:
    struct Content {
        int mode = bmMessage;
        balloon::Kind kind = balloon::Kind::Speech;
        QString title;
        QIcon icon;
        QString text;
        MsgDlgButtons buttons = 0;
        bool helpEnabled = false;
    };

    explicit TAssistantBalloon(TBalloonOptions* options, QWidget* parent = nullptr);
    ~TAssistantBalloon() override;

    // Sets what the balloon shows and lays it out (does not show it).
    void setContent(const Content& content);
    const Content& content() const { return m_content; }

    // Shows the balloon with the zoom-in.  With buttons the balloon takes
    // the keyboard once it is shown; otherwise it never takes activation.
    void popup();
    // Hides the balloon at once (no close rules).
    void hideBalloon();

    // Lays the balloon out and places it again (options changed, anchor moved).
    void relayout();

    void setAnchor(QWidget* anchor);
    QWidget* anchor() const { return m_anchor; }
    // Overrides the desktop rectangle used for placement (tests, demos).
    void setDesktopRect(const QRect& r) { m_desktopOverride = r; }

    // A message that someone waits for: closing gives the cancel button's
    // result, or is refused when that button is not shown.
    void setAwaitingResult(bool on) { m_awaiting = on; }

    int position() const { return isVisible() ? m_placement.position : 0; }
    const balloon::Placement& placement() const { return m_placement; }
    const balloon::Layout& layoutResult() const { return m_layout; }
    QRegion shapeRegion() const { return m_shape; }
    // 1 and 2 while zooming in, 3 when the full shape is shown, 0 hidden.
    int zoomStage() const { return m_zoomStage; }
    int buttonWidth() const { return m_buttonWidth; }
    QPushButton* button(MsgDlgBtn b) const;

    // Keeps the balloon above all windows (the default).
    void setStayOnTop(bool on);

signals:
    // A button with a modal result was pressed, or the balloon was closed
    // and took its cancel button's result.
    void resultChosen(int result);
    void helpRequested();
    void balloonShown();
    void balloonHidden();

protected:
    void paintEvent(QPaintEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void closeEvent(QCloseEvent*) override;
    void hideEvent(QHideEvent*) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildShape();
    void zoomStep();
    QRect desktopRect() const;
    void applyMask(const QRegion& r);

    TBalloonOptions* m_options;
    Content m_content;
    QPointer<QWidget> m_anchor;
    std::optional<QRect> m_desktopOverride;
    QLabel* m_icon;
    QLabel* m_title;
    QLabel* m_text;
    QFrame* m_divider;
    QWidget* m_zoomPanel;
    std::array<QPushButton*, 11> m_buttons {};
    balloon::Layout m_layout;
    balloon::Placement m_placement;
    QRegion m_shape;
    QRegion m_border;
    QTimer m_zoomTimer;
    int m_zoomStage = 0;
    int m_buttonWidth = 0;
    bool m_awaiting = false;
    bool m_stayOnTop = true;
};

} // namespace vedomec
