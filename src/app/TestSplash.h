#pragma once
// The splash window shown while the program starts; its progress block
// walks along the bottom strip as each part of the program is created.
#include <QWidget>

class QLabel;

namespace vedomec {

namespace controls {
class TGradPan;
}

class TSplashDialog : public QWidget {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 446;
    static constexpr int kClientHeight = 242;

    explicit TSplashDialog(QWidget* parent = nullptr);

    // Puts the progress block's left edge at `left` (pixels within the
    // strip) and repaints at once: start-up does not return to the event
    // loop between its steps.
    void setProgress(int left);
    int progress() const;

    QWidget* Panel1 = nullptr;           // black, fills the window
    QWidget* Panel2 = nullptr;           // white, 2 pixels inside it
    controls::TGradPan* GradPan1 = nullptr;
    QLabel* Label1 = nullptr;            // "Nivella"
    QLabel* Label2 = nullptr;            // "Vedomec"
    QLabel* Label3 = nullptr;            // "Korvalo 2001"
    QWidget* Panel3 = nullptr;           // the aqua progress strip
    controls::TGradPan* GradPan2 = nullptr; // the progress block
};

} // namespace vedomec
