// Shows one balloon for a screenshot under Xvfb:
//   balloondemo error|question|thought|speech|rtl
// and quits after a few seconds.
#include "assistant/oaAssist.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>

using namespace vedomec;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString what = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("question");
    if (what == QLatin1String("rtl"))
        QApplication::setLayoutDirection(Qt::RightToLeft);

    QWidget main;
    main.setWindowTitle(QStringLiteral("Vedomec 2001"));
    main.setGeometry(150, 120, 724, 528);
    main.setStyleSheet(QStringLiteral("background: #d4d0c8"));
    main.show();

    TAssistant assistant;
    assistant.setObjectName(QStringLiteral("Assistant"));
    assistant.MsgDlg()->setTitle(QStringLiteral("Vedomec"));
    QTimer::singleShot(5000, &app, &QApplication::quit);

    if (what == QLatin1String("thought") || what == QLatin1String("speech")) {
        // A stand-in for the character's stage.
        auto* stage = new QLabel(QStringLiteral("Pomocník"));
        stage->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
        stage->setAlignment(Qt::AlignCenter);
        stage->setStyleSheet(QStringLiteral("background: #6080c0; color: white"));
        stage->setGeometry(560, 520, 120, 120);
        stage->show();
        TAssistantBalloon* b = assistant.balloonWindow();
        b->setAnchor(stage);
        TAssistantBalloon::Content c;
        const bool thought = what == QLatin1String("thought");
        c.mode = thought ? bmThought : bmSpeech;
        c.kind = thought ? balloon::Kind::Thought : balloon::Kind::Speech;
        c.text = QStringLiteral("Pro podrobnější nápovědu stačí zadat klíčové slovo a stisknout tlačítko Vyhledat. "
                                "Pokud se budete chtít kdykoliv vrátit do této obrazovky, napište slovo Zpět.");
        QTimer::singleShot(300, b, [b, c] {
            b->setContent(c);
            b->popup();
        });
    } else if (what == QLatin1String("error")) {
        QTimer::singleShot(300, &assistant, [&] {
            assistant.MessageDlg(QStringLiteral("Nebyl vybrán žádný test!"), mtError, mbOK, 0);
        });
    } else {
        QTimer::singleShot(300, &assistant, [&] {
            assistant.MessageDlg(QStringLiteral("Opravdu chcete ukončit tento test?"), mtConfirmation, mbYes | mbNo, 0);
        });
    }
    return app.exec();
}
