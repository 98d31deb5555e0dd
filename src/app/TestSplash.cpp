#include "app/TestSplash.h"
#include "controls/Fonts.h"

#include "controls/Gradpan.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

namespace vedomec {

namespace {

QWidget* solidPanel(QWidget* parent, const char* name, const QColor& colour, const QRect& geometry)
{
    auto* w = new QWidget(parent);
    w->setObjectName(QLatin1String(name));
    w->setGeometry(geometry);
    w->setAutoFillBackground(true);
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, colour);
    w->setPalette(pal);
    return w;
}

QLabel* aquaLabel(QWidget* parent, const char* name, const QString& text, int x, int y, int pixels, bool bold)
{
    const QFont f = TimesFont(pixels, bold);
    auto* l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setFont(f);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, QColor(0, 255, 255));
    l->setPalette(pal);
    l->move(x, y);
    l->adjustSize();
    return l;
}

} // namespace

TSplashDialog::TSplashDialog(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    using namespace controls;
    setObjectName(QStringLiteral("SplashDialog"));
    setFixedSize(kClientWidth, kClientHeight);

    Panel1 = solidPanel(this, "Panel1", Qt::black, QRect(0, 0, kClientWidth, kClientHeight));
    const int innerW = kClientWidth - 4;
    const int innerH = kClientHeight - 4;
    Panel2 = solidPanel(Panel1, "Panel2", Qt::white, QRect(2, 2, innerW, innerH));

    GradPan1 = new TGradPan(Panel2);
    GradPan1->setObjectName(QStringLiteral("GradPan1"));
    GradPan1->setGeometry(0, 0, 73, innerH);
    GradPan1->setColorStart(toQColor(clAqua));
    GradPan1->setColorEnd(toQColor(clWhite));
    GradPan1->setBevelOuter(bvNone);

    Label1 = aquaLabel(Panel2, "Label1", QStringLiteral("Nivella"), 80, 8, 13, false);
    Label2 = aquaLabel(Panel2, "Label2", QStringLiteral("Vedomec"), 78, 16, 49, true);
    Label3 = aquaLabel(Panel2, "Label3", QStringLiteral("Korvalo 2001"), 296, 72, 13, false);

    Panel3 = solidPanel(Panel2, "Panel3", QColor(0, 255, 255), QRect(0, innerH - 8, innerW, 8));
    GradPan2 = new TGradPan(Panel3);
    GradPan2->setObjectName(QStringLiteral("GradPan2"));
    GradPan2->setGeometry(0, 0, 49, 8);
    GradPan2->setBackGroundEffect(bdLeft);
    GradPan2->setColorStart(QColor(0, 0, 128));
    GradPan2->setColorEnd(toQColor(clAqua));
    GradPan2->setBevelOuter(bvNone);

    if (QScreen* s = QGuiApplication::primaryScreen()) {
        const QRect sg = s->geometry();
        move(sg.x() + (sg.width() - width()) / 2, sg.y() + (sg.height() - height()) / 2);
    }
}

void TSplashDialog::setProgress(int left)
{
    GradPan2->move(left, 0);
    repaint();
}

int TSplashDialog::progress() const
{
    return GradPan2->x();
}

} // namespace vedomec
