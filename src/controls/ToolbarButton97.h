#pragma once
// Flat toolbar button: flat until the mouse is over it, then raised; sunken
// while pressed; a disabled button greys its caption and glyph.
#include <QAbstractButton>
#include <QPixmap>

namespace vedomec {

enum class NavGlyph { First, Prior, Next, Last };

// Our own 16 x 16 pictures for the four navigation buttons.
QPixmap NavigationGlyph(NavGlyph kind);

class TToolbarButton97 : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(QString Hint READ Hint WRITE setHint)
    Q_PROPERTY(QPixmap Glyph READ Glyph WRITE setGlyph)

public:
    // The navigation pictures, by name.
    enum StandardGlyph { GlyphFirst, GlyphPrior, GlyphNext, GlyphLast };

    explicit TToolbarButton97(QWidget* parent = nullptr);

    QString Caption() const { return text(); }
    void setCaption(const QString& caption);
    // Shown as the tooltip.
    QString Hint() const { return toolTip(); }
    void setHint(const QString& hint) { setToolTip(hint); }
    QPixmap Glyph() const { return m_glyph; }
    void setGlyph(const QPixmap& glyph);
    void setGlyph(StandardGlyph kind) { setGlyph(NavigationGlyph(NavGlyph(int(kind)))); }
    bool Enabled() const { return isEnabled(); }
    void setEnabledState(bool on) { setEnabled(on); }

    // True while the mouse is over an enabled button (it is drawn raised).
    bool IsHot() const { return m_hot; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QPixmap m_glyph;
    bool m_hot = false;
};

} // namespace vedomec

// Also reachable with the rest of the kit.
namespace vedomec::controls {
using vedomec::TToolbarButton97;
using vedomec::NavGlyph;
using vedomec::NavigationGlyph;
} // namespace vedomec::controls
