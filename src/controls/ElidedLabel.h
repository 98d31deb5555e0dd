#pragma once
// A one-line label that never cuts a text silently: a text wider than the
// label is drawn shortened at its end with "…", and shows in full as the
// label's tooltip.  Word-wrapped labels draw as any label.  The text itself
// (text()) stays whole, so whoever reads the label reads the full text.
#include <QLabel>

namespace vedomec {

class TElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit TElidedLabel(QWidget* parent = nullptr);

    // The text as drawn, and whether that is shorter than the text.
    QString shownText() const;
    bool isElided() const { return shownText() != text(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
};

} // namespace vedomec
