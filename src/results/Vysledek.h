#pragma once
// The results dialog: the outcome of an evaluated test, the success bar and,
// on request, the correct answers.  Closing it ends the test for good and
// leaves the results on the main window's results panel.
#include "controls/ElidedLabel.h"
#include "controls/ToolDialog.h"
#include "results/ResultsHost.h"
#include "results/Scoring.h"

#include <QBrush>
#include <QPen>

class QFrame;
class QLabel;
class QPushButton;

namespace vedomec {

namespace data {
class TDataModule1;
} // namespace data

namespace controls {
class TGradPan;
} // namespace controls

// A filled rectangle with an outline, drawn inside its bounds as the form's
// shapes are: a one-pixel pen on the outermost pixels, the brush within.
class TShape : public QWidget {
    Q_OBJECT
public:
    explicit TShape(QWidget* parent = nullptr);
    void setBrush(const QBrush& b);
    QBrush brush() const { return m_brush; }
    void setPen(const QPen& p);
    QPen pen() const { return m_pen; }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QBrush m_brush {Qt::white};
    QPen m_pen {Qt::black};
};

class TVysledekDialog : public controls::TToolDialog {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 472;
    static constexpr int kClientHeight = 440;

    TVysledekDialog(IResultsHost* host, data::TDataModule1* dm);
    ~TVysledekDialog() override;

    controls::TGradPan* GradPan1 = nullptr;
    TElidedLabel* Nazev = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* L6 = nullptr;
    QFrame* Bevel2 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* L1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* L2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* L3 = nullptr;
    QFrame* Bevel1 = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* Label11 = nullptr;
    QFrame* Bevel4 = nullptr;
    QLabel* L5 = nullptr;
    QFrame* Bevel5 = nullptr;
    QLabel* L7 = nullptr;
    QPushButton* Tl1 = nullptr;
    QFrame* Bevel3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* L4 = nullptr;
    QLabel* Label5 = nullptr;
    TShape* Shape2 = nullptr;
    TShape* Shape3 = nullptr;
    TShape* Shape5 = nullptr;
    TShape* Shape4 = nullptr;
    TShape* Shape6 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label8 = nullptr;
    QPushButton* Button1 = nullptr;

    void Button1Click();
    void Tl1Click();

    // The figures of an evaluated test: the counts, the lists, the
    // percentage, the bar and (unless the outcome leaves it) the grade.
    void ShowOutcome(const results::Outcome& o);

protected:
    void FormShow() override;
    void FormClose() override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void closeSteps();
    // What a screen reader hears (VysledekAccessible.cpp): the whole result
    // as one text, read out when the dialog opens.
    void setUpAccessibility();
    QString spokenResult() const;

    IResultsHost* m_host;
    data::TDataModule1* m_dm;
};

extern TVysledekDialog* VysledekDialog;

// Creates the children of the main window's results panel (Panel4): the
// dialog's figures without the bar.  Does nothing when they exist already.
void BuildResultsPanel(QWidget* panel4);

} // namespace vedomec
