#pragma once
// The assistant's balloon: a borderless, shaped window that shows messages,
// tips, the guide and free text (speech or thought), with its option
// objects.
#include "assistant/BalloonMath.h"

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QRegion>
#include <QTimer>
#include <QWidget>

#include <array>

class QLabel;
class QPushButton;
class QFrame;
class QPlainTextEdit;
class QAbstractButton;

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

// Buttons of the tips balloon (a set: one bit each).
enum TTipsDlgBtn : int {
    tbClose = 1 << 0,
    tbNext = 1 << 1,
    tbBack = 1 << 2,
};
using TTipsDlgBtns = int;

// Options of the tips balloon.  TipIndex always names a tip, or is -1
// while there are none.
class TTipsDlgOptions : public QObject {
    Q_OBJECT
    Q_PROPERTY(int VisibleButtons READ VisibleButtons WRITE setVisibleButtons NOTIFY changed)
    Q_PROPERTY(QStringList Tips READ Tips WRITE setTips NOTIFY changed)
    Q_PROPERTY(int TipIndex READ TipIndex WRITE setTipIndex NOTIFY changed)

public:
    static constexpr TTipsDlgBtns AllButtons = tbClose | tbNext | tbBack;

    explicit TTipsDlgOptions(QObject* parent = nullptr) : QObject(parent) {}

    TTipsDlgBtns VisibleButtons() const { return m_buttons; }
    void setVisibleButtons(TTipsDlgBtns buttons);
    QStringList Tips() const { return m_tips; }
    // An index past the new end becomes the last one; -1 becomes 0 when
    // there are tips.
    void setTips(const QStringList& tips);
    int TipIndex() const { return m_tipIndex; }
    // Clamped into the tips.
    void setTipIndex(int index);

signals:
    void changed();
    // The tips balloon shows a tip (it was laid out).
    void OnTipsTipChange(vedomec::TTipsDlgOptions* sender);

private:
    TTipsDlgBtns m_buttons = AllButtons;
    QStringList m_tips;
    int m_tipIndex = -1;
};

// Buttons of the guide balloon; VisibleButtons holds the first four.
enum TGuideDlgBtn : int {
    gbClose = 1 << 0,
    gbOptions = 1 << 1,
    gbTips = 1 << 2,
    gbSearch = 1 << 3,
    gbBackPage = 1 << 4,
    gbNextPage = 1 << 5,
};
using TGuideDlgCmdBtns = int;

// Options of the guide balloon.  Every change lays an open guide balloon
// out again, except a change of Request typed into its request box.
class TGuideDlgOptions : public QObject {
    Q_OBJECT
    Q_PROPERTY(int VisibleButtons READ VisibleButtons WRITE setVisibleButtons NOTIFY changed)
    Q_PROPERTY(bool RequestBox READ RequestBox WRITE setRequestBox NOTIFY changed)
    Q_PROPERTY(QStringList Topics READ Topics WRITE setTopics NOTIFY changed)
    Q_PROPERTY(QString Title READ Title WRITE setTitle NOTIFY changed)
    Q_PROPERTY(QString Request READ Request WRITE setRequest NOTIFY changed)
    Q_PROPERTY(QString Description READ Description WRITE setDescription NOTIFY changed)

public:
    static constexpr TGuideDlgCmdBtns CommandButtons = gbClose | gbOptions | gbTips | gbSearch;

    explicit TGuideDlgOptions(QObject* parent = nullptr) : QObject(parent) {}

    TGuideDlgCmdBtns VisibleButtons() const { return m_buttons; }
    void setVisibleButtons(TGuideDlgCmdBtns buttons);
    bool RequestBox() const { return m_requestBox; }
    void setRequestBox(bool on);
    QStringList Topics() const { return m_topics; }
    void setTopics(const QStringList& topics);
    void clearTopics();
    void addTopic(const QString& topic);
    // While the topics are updated, their changes are laid out once, at
    // the end.
    void beginUpdate();
    void endUpdate();
    QString Title() const { return m_title; }
    void setTitle(const QString& t);
    QString Request() const { return m_request; }
    void setRequest(const QString& r);
    // What the user typed: stored without laying the balloon out.
    void setRequestFromBox(const QString& r) { m_request = r; }
    QString Description() const { return m_description; }
    void setDescription(const QString& d);

signals:
    void changed();
    void OnGuideRequestChange(vedomec::TGuideDlgOptions* sender);
    void OnGuideTopicClick(vedomec::TGuideDlgOptions* sender, int topicIndex);
    void OnGuideOptionsClick(vedomec::TGuideDlgOptions* sender);
    void OnGuideSearchClick(vedomec::TGuideDlgOptions* sender);
    // Which of "&Nastavení" and "&Vyhledat" are enabled; both start true.
    void OnGuideGetBtnStates(vedomec::TGuideDlgOptions* sender, bool* optionsBtn, bool* searchBtn);

private:
    void topicsChanged();

    TGuideDlgCmdBtns m_buttons = CommandButtons;
    bool m_requestBox = true;
    QStringList m_topics;
    QString m_title;
    QString m_request;
    QString m_description;
    int m_updating = 0;
    bool m_topicsDirty = false;
};

// The balloon window.  Owned by TAssistant; it knows nothing of the program's
// forms.  Object name "AssistantBalloon"; its parts are "BalloonIcon",
// "BalloonTitle", "BalloonText", "BalloonDivider" and the buttons
// "BalloonButtonYes", "BalloonButtonNo", "BalloonButtonOK",
// "BalloonButtonCancel", "BalloonButtonAbort", "BalloonButtonRetry",
// "BalloonButtonIgnore", "BalloonButtonAll", "BalloonButtonNoToAll",
// "BalloonButtonYesToAll", "BalloonButtonHelp" (only those of the current
// message are visible).  The tips balloon shows "BalloonIcon" (the tip
// icon), "BalloonText" and "TipsBack", "TipsNext", "TipsClose"; the guide
// "BalloonTitle", "BalloonText", the topics "GuideTopic0"... (named by their
// index in the topics), "GuideBackPage", "GuideNextPage", "BalloonDivider",
// the request box "GuideRequest", "GuideSearch", "GuideDivider" and
// "GuideTips", "GuideOptions", "GuideClose".
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
        // Speech and thought: closes itself this long after it is shown
        // (0: stays).
        int timeoutMs = 0;
        // Tips (the text is the tip; the icon is the balloon's own; the
        // whole set gives the balloon its width).
        QStringList tipSet;
        TTipsDlgBtns tipsButtons = 0;
        bool nextEnabled = false;
        bool backEnabled = false;
        // Guide (title, text as the description).
        QStringList topics;
        bool requestBox = false;
        QString request;
        TGuideDlgCmdBtns guideButtons = 0;
        bool optionsEnabled = false;
        bool searchEnabled = false;
        bool tipsEnabled = false;
    };

    explicit TAssistantBalloon(TBalloonOptions* options, QWidget* parent = nullptr);
    ~TAssistantBalloon() override;

    // Sets what the balloon shows and lays it out (does not show it).
    void setContent(const Content& content);
    const Content& content() const { return m_content; }

    // Shows the balloon with the zoom-in.  Messages with buttons, the tips
    // and the guide take the keyboard once they are shown (the guide in its
    // request box); speech and thought never take activation.
    void popup();
    // Hides the balloon at once (no close rules).
    void hideBalloon();
    // Out of the way while the character is dragged: no hide notice, and a
    // message keeps waiting; showAfterDrag() puts it back beside the anchor.
    void hideForDrag();
    void showAfterDrag();
    bool isDragHidden() const { return m_dragHidden; }
    // The guide starts again at its first page of topics.
    void resetGuidePage();
    // The first topic on the guide's page.
    int guidePageStart() const { return m_pageStarts.empty() ? 0 : m_pageStarts.back(); }
    // A laid-out balloon this low has nothing to show and is not shown.
    bool hasSomethingToShow() const;

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
    const balloon::TipsLayout& tipsLayout() const { return m_tipsLayout; }
    const balloon::GuideLayout& guideLayout() const { return m_guideLayout; }
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
    // Tips: "&Další" (+1) or "&Předchozí" (-1).
    void tipsStep(int delta);
    // Guide actions.
    void guideTopicClicked(int index);
    void guideSearchClicked();
    void guideTipsClicked();
    void guideOptionsClicked();
    void guideRequestEdited(const QString& text);

protected:
    void paintEvent(QPaintEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void closeEvent(QCloseEvent*) override;
    void hideEvent(QHideEvent*) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildShape();
    void zoomStep();
    void takeKeyboard();
    QSize layoutMessageMode(const QFont& font);
    QSize layoutTipsMode(const QFont& font);
    QSize layoutGuideMode(const QFont& font);
    void placeChildren(QPoint offset);
    QPushButton* makeButton(const QString& caption, const char* name);
    QAbstractButton* topicButton(int index);
    QRect desktopRect() const;
    void applyMask(const QRegion& r);
    // What a screen reader is told (BalloonAccessible.cpp): the balloon's
    // role, name and description follow what it shows, and it is read out
    // as it appears, and again when its text changes while it is shown.
    void updateAccessibility();
    void announce();

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
    QTimer m_autoClose;
    // Tips.
    QIcon m_tipIcon;
    QPushButton* m_tipsClose;
    QPushButton* m_tipsNext;
    QPushButton* m_tipsBack;
    balloon::TipsLayout m_tipsLayout;
    // Guide.
    std::vector<QAbstractButton*> m_topics;
    QAbstractButton* m_backPage;
    QAbstractButton* m_nextPage;
    QPlainTextEdit* m_request;
    QPushButton* m_search;
    QFrame* m_divider2;
    QPushButton* m_guideTips;
    QPushButton* m_guideOptions;
    QPushButton* m_guideClose;
    balloon::GuideLayout m_guideLayout;
    std::vector<int> m_pageStarts {0};
    bool m_settingRequest = false;
    // The window that was active before the balloon showed; it gets the
    // activation back when the balloon closes (or, for free text, at once).
    QPointer<QWidget> m_previousActive;
    bool m_dragHidden = false;
    int m_zoomStage = 0;
    int m_buttonWidth = 0;
    bool m_awaiting = false;
    bool m_stayOnTop = true;
    QString m_announced;
};

} // namespace vedomec
