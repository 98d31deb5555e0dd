#pragma once
// Flat edit box: a thin grey line instead of the sunken frame, darker while
// the mouse is over it or it has the focus.
#include <QLineEdit>

namespace vedomec {

class TEdit97 : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(QString Text READ Text WRITE setText)

public:
    explicit TEdit97(QWidget* parent = nullptr);

    QString Text() const { return text(); }
};

} // namespace vedomec

// Also reachable with the rest of the kit.
namespace vedomec::controls {
using vedomec::TEdit97;
} // namespace vedomec::controls
