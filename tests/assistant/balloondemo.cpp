// Shows one balloon for a screenshot under Xvfb:
//   balloondemo error|question|thought|speech|rtl
//   balloondemo guide|guidepage1|guidepage2|guidesearch|tips|tipsN|think
// and quits after a few seconds.  With a second argument it saves a picture
// of the whole screen to that file first.  The guide and the tips carry the main
// window's texts; "guidepage1" has enough topics for a second page,
// "guidepage2" turns to it, "guidesearch" shows the answer to "zkratky";
// "tips" shows the sixth tip, "tips10" the tenth.
#include "app/HelpTexts.h"
#include "assistant/oaAssist.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTest>
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
    if (argc > 2) {
        const QString file = QString::fromLocal8Bit(argv[2]);
        QTimer::singleShot(1500, &app, [file] {
            QGuiApplication::primaryScreen()->grabWindow(0).save(file);
            QApplication::quit();
        });
    }

    TGuideDlgOptions* guide = assistant.GuideDlg();
    guide->setTitle(help::guideTitle());
    guide->setDescription(help::guideDescription());
    guide->setRequest(help::guideRequest());
    guide->setTopics(help::formTopics());
    assistant.TipsDlg()->setTips(help::tips());
    // Bound, so that "&Vyhledat" is enabled.
    QObject::connect(&assistant, &TAssistant::OnGuideSearchClick, &assistant, [&] {
        const help::SearchAnswer a = help::searchKeyword(guide->Request());
        guide->setDescription(a.description);
        guide->setTopics(help::searchTopics());
    });

    const bool pages = what == QLatin1String("guidepage1") || what == QLatin1String("guidepage2");
    if (what == QLatin1String("guide") || pages || what == QLatin1String("guidesearch")) {
        if (pages) {
            QStringList topics;
            for (int i = 1; i <= 12; ++i)
                topics << QStringLiteral("Téma číslo %1%2").arg(i).arg(i % 3 == 0 ? QStringLiteral(
                              ", které je tak dlouhé, že se zalomí na další řádek") : QString());
            guide->setTopics(topics);
        }
        QTimer::singleShot(300, &assistant, [&, what] {
            assistant.ShowGuide();
            TAssistantBalloon* b = assistant.balloonWindow();
            if (what == QLatin1String("guidepage2")) {
                QTimer::singleShot(200, b, [b] {
                    QTest::mouseClick(b->findChild<QAbstractButton*>(QStringLiteral("GuideNextPage")), Qt::LeftButton);
                });
            } else if (what == QLatin1String("guidesearch")) {
                QTimer::singleShot(200, b, [b] {
                    auto* box = b->findChild<QPlainTextEdit*>(QStringLiteral("GuideRequest"));
                    box->selectAll();
                    QTest::keyClicks(box, QStringLiteral("zkratky"));
                    QTest::keyClick(box, Qt::Key_Return);
                });
            }
        });
    } else if (what.startsWith(QLatin1String("tips"))) {
        assistant.TipsDlg()->setTipIndex(what.size() > 4 ? what.mid(4).toInt() - 1 : 5);
        QTimer::singleShot(300, &assistant, [&] {
            assistant.ShowGuide();
            QTimer::singleShot(200, &assistant, [&] {
                QTest::mouseClick(assistant.balloonWindow()->findChild<QAbstractButton*>(QStringLiteral("GuideTips")),
                                  Qt::LeftButton);
            });
        });
    } else if (what == QLatin1String("think")) {
        QTimer::singleShot(300, &assistant, [&] { assistant.Think(help::topicThought(1), 10000); });
    } else if (what == QLatin1String("thought") || what == QLatin1String("speech")) {
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
