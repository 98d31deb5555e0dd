#pragma once
// Widget-free rules of the assistant's balloon: message buttons, text layout,
// placement next to the anchor, the zoom-in outline.  Everything here is
// plain arithmetic on rectangles so it can be tested without a display.
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <array>
#include <functional>
#include <optional>
#include <vector>

namespace vedomec {

// Message types of MessageDlg.
enum MsgDlgType : int {
    mtWarning = 0,
    mtError = 1,
    mtInformation = 2,
    mtConfirmation = 3,
    mtCustom = 4,
};

// Button set of MessageDlg: one bit per button.
enum MsgDlgBtn : quint16 {
    mbYes = 1u << 0,
    mbNo = 1u << 1,
    mbOK = 1u << 2,
    mbCancel = 1u << 3,
    mbAbort = 1u << 4,
    mbRetry = 1u << 5,
    mbIgnore = 1u << 6,
    mbAll = 1u << 7,
    mbNoToAll = 1u << 8,
    mbYesToAll = 1u << 9,
    mbHelp = 1u << 10,
};
using MsgDlgButtons = quint16;

// Modal results.
enum ModalResult : int {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrAbort = 3,
    mrRetry = 4,
    mrIgnore = 5,
    mrYes = 6,
    mrNo = 7,
    mrAll = 8,
    mrNoToAll = 9,
    mrYesToAll = 10,
};

// Balloon modes (BalloonMode).
enum BalloonModeValue : int {
    bmNoBalloon = 0,
    bmMessage = 1,
    bmTips = 2,
    bmGuide = 3,
    bmSpeech = 4,
    bmThought = 5,
};

namespace balloon {

constexpr int kMargin = 7;
constexpr int kWrapWidth = 246;
constexpr int kMinContentWidth = 126;
constexpr int kButtonGap = 7;
constexpr int kMinButtonWidth = 67;
constexpr int kButtonExtra = 26;
constexpr int kDividerHeight = 2;
constexpr int kSpeechTail = 17;
constexpr int kThoughtTail = 60;
constexpr int kAnchorOverlap = 12;
constexpr int kCornerDiameter = 15;
constexpr int kTailBase = 10;
constexpr int kSideTailTop = 40;
constexpr int kZoomStepMs = 30;
// Tips and guide.
constexpr int kTipsWrapWidth = 466;
constexpr int kTipsMaxWrapWidth = 640;
constexpr int kTipIconInset = 14;
constexpr int kGuideWrapWidth = 300; // the shortcut table fits in its columns
constexpr int kTopicsAreaHeight = 133;
constexpr int kTopicGap = 7;
constexpr int kSearchGap = 5;

struct ButtonSpec {
    MsgDlgBtn flag;
    QString caption;    // with '&' before the mnemonic letter
    int result;         // modal result; the help button has none
    QString objectName; // "BalloonButtonYes"...
};

// The buttons in the order they stand in the row.
const std::array<ButtonSpec, 11>& messageButtons();
// The buttons of a set, in row order.
std::vector<ButtonSpec> buttonsOf(MsgDlgButtons set);
// The button that takes the focus: OK, else Yes, else Retry (0 if none of them).
MsgDlgBtn focusedButton(MsgDlgButtons set);
// The button whose result Esc and closing give: Cancel, else No, else OK.
// The result may name a button that is not in the set; such a balloon
// refuses to close.
MsgDlgBtn cancelButton(MsgDlgButtons set);
int resultOf(MsgDlgBtn button);
// One width for all buttons: the widest caption plus 26, at least 67.
int buttonWidth(const std::vector<int>& captionWidths);
// Height of "H" in the balloon font plus 10, or 20 for tiny fonts.
int buttonHeight(int textHeight);
// A caption as it reads on screen: "&Ano" -> "Ano", "&&" -> "&".
QString stripMnemonic(const QString& caption);

// --- Layout of a message balloon (coordinates inside the balloon body) ---

struct LayoutInput {
    QSize icon;  // empty: no icon
    QSize title; // size of the bold title; empty: no title
    int buttonCount = 0;
    int buttonWidth = 0;
    int buttonHeight = 0;
    bool rtl = false;
    // Size of the text word-wrapped at the given width.
    std::function<QSize(int wrapWidth)> measureText;
};

struct Layout {
    QSize size; // the body
    int wrapWidth = 0;
    int contentWidth = 0;
    QRect icon;
    QRect title;
    QRect text;    // full content width; the widget aligns the text inside
    QRect divider; // empty without buttons
    std::vector<QRect> buttons; // in row order of the button set (reversed on screen for RTL)
};

Layout layoutMessage(const LayoutInput& in);

// --- Placement ---

enum class Kind { Speech, Thought, Tips };
enum class TailSide { None, Top, Bottom, Left, Right }; // edge of the body the tail leaves from

struct PlacementInput {
    std::optional<QRect> anchor; // nullopt: no anchor, or the anchor is hidden
    QRect desktop;
    QSize size; // the body, without the tail
    Kind kind = Kind::Speech;
    bool rtl = false;
};

struct Circle {
    QPoint centre;
    int radius;
};

struct Placement {
    QRect window;  // on the desktop, tail included
    QRect body;    // inside the window
    int position = 0;
    TailSide side = TailSide::None;
    std::array<QPoint, 3> triangle {}; // inside the window: base, base, tip (speech with a tail)
    std::vector<Circle> circles;       // inside the window, largest first (thought with a tail)
};

Placement place(const PlacementInput& in);

// --- Tips balloon ---

struct TipsLayoutInput {
    QSize icon;
    // How far every line of the tip stands in from the edge of the text:
    // the width of the spaces that cover the icon and its inset.
    int indent = 0;
    // The widest tip of the set on one line, its indent included: all tips
    // share one width, wide enough for that tip where the screen allows,
    // so that paging does not resize the balloon and a tip wraps only when
    // it has to.
    int widestTip = 0;
    int buttonCount = 0; // the visible ones, in the order close, next, back
    int buttonWidth = 0;
    int buttonHeight = 0;
    bool rtl = false;
    // The tip wrapped at the given width.
    std::function<QSize(int wrapWidth)> measureText;
};

struct TipsLayout {
    QSize size;
    int contentWidth = 0;
    QRect icon;
    QRect text;
    std::vector<QRect> buttons; // close, next, back (of those shown)
};

// The icon at the top corner, the tip beside it with every line indented
// clear of the icon, the buttons below at the far edge: close outermost,
// then next, then back.
TipsLayout layoutTips(const TipsLayoutInput& in);

// --- Guide balloon ---

// One page of topics inside the topics area, which starts at 0: a topic
// goes in while its bottom plus the gap stays within the area's height;
// the first topic of a page always goes in.
struct TopicPage {
    bool backLink = false;          // the page does not start with the first topic
    bool moreLink = false;          // topics follow the page
    int next = 0;                   // the first topic of the next page
    std::vector<std::pair<int, QRect>> topics; // index, rectangle (x 0, width 0)
    int backTop = 0;
    int moreTop = 0;
    int height = 0;                 // of everything placed, links included
};

TopicPage pageTopics(const std::vector<int>& heights, int first, int linkHeight);

struct GuideLayoutInput {
    QSize title;                                 // bold; empty: no title
    std::function<QSize(int wrapWidth)> measureText; // the description
    int topicCount = 0;
    int pageStart = 0;
    // Height of topic i as a button of the given width.
    std::function<int(int index, int width)> topicHeight;
    QSize link;                                  // the wider of the two page links
    bool requestBox = false;
    int requestHeight = 0;
    bool search = false;
    int searchWidth = 0;
    int commandCount = 0;                        // tips, options, close (of those shown)
    int buttonWidth = 0;
    int buttonHeight = 0;
    bool rtl = false;
};

struct GuideLayout {
    QSize size;
    int contentWidth = 0;
    QRect title;
    QRect text;
    TopicPage page;       // rectangles in balloon coordinates
    QRect backLink;
    QRect moreLink;
    QRect divider1;       // above the request box; empty when not drawn
    QRect request;
    QRect search;
    QRect divider2;       // above the command row
    std::vector<QRect> commands; // in the order tips, options, close (of those shown)
};

GuideLayout layoutGuide(const GuideLayoutInput& in);

// The outline shown while the balloon zooms in: a rectangle centred on the
// body covering the given percentage of its width and height.
QRect zoomOutline(const QRect& body, int percent);

} // namespace balloon
} // namespace vedomec
