// Shows Sova, the sample character, on its stage over a window, for a look
// under Xvfb, and quits after a while:
//   actordemo [--still NAME FRAME] [--opaque] [--seconds N] [NAME...]
// Without names it plays Show, then the idle animations in turn.  --still
// shows one frame and plays nothing; --opaque gives the stage its border
// and no outline.
#include "assistant/oaActor.h"
#include "assistant/oaEngine.h"
#include "assistant/oaStage.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>

#include <cstdio>

using namespace vedomec;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool opaque = args.removeAll(QStringLiteral("--opaque")) > 0;
    int seconds = 8;
    if (const qsizetype at = args.indexOf(QStringLiteral("--seconds")); at >= 0 && at + 1 < args.size()) {
        seconds = args[at + 1].toInt();
        args.remove(at, 2);
    }
    QString still;
    int stillFrame = 0;
    if (const qsizetype at = args.indexOf(QStringLiteral("--still")); at >= 0 && at + 2 < args.size() + 0) {
        still = args[at + 1];
        stillFrame = args[at + 2].toInt();
        args.remove(at, 3);
    }
    QStringList names = args;
    if (names.isEmpty() && still.isEmpty())
        names = {QStringLiteral("Show"), QStringLiteral("LookAround"), QStringLiteral("Confused"), QStringLiteral("ConfusedReturn"),
                 QStringLiteral("Write"), QStringLiteral("WriteContinued"), QStringLiteral("WriteReturn")};

    // Something behind the character, so that its outline shows.
    QLabel desk(QStringLiteral("Vedomec 2001"));
    desk.setAlignment(Qt::AlignTop | Qt::AlignLeft);
    desk.setStyleSheet(QStringLiteral("background: #3a6ea5; color: white; font-size: 20px; padding: 8px"));
    desk.setGeometry(60, 60, 520, 360);
    desk.show();

    TAssistantActor actor;
    try {
        actor.setLibrary(QStringLiteral(VEDOMEC_SAMPLE_ACTOR));
    } catch (const EActorError& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
    TAssistantStage stage;
    stage.setColor(QColor(0xd4, 0xd0, 0xc8));
    stage.setActorFrameSize(actor.frameSize());
    stage.setTransparent(!opaque);
    stage.setWindowTitle(actor.ActorName());
    stage.setEnabled(true);
    stage.move(360, 240);
    stage.show();

    TAssistantEngine engine;
    QObject::connect(&engine, &TAssistantEngine::frameChanged, &stage, &TAssistantStage::setFramePicture);
    auto load = [&](const QString& name) {
        const int n = actor.findByName(name);
        if (!n) {
            std::fprintf(stderr, "no animation %s\n", qPrintable(name));
            return false;
        }
        engine.loadAnimation(actor.module(), actor.animation(n)->resourceId);
        return true;
    };

    if (!still.isEmpty()) {
        if (!load(still))
            return 1;
        engine.setFrame(stillFrame);
        if (stillFrame == 0) {
            // Frame 0 is current already: hand it over anyway.
            stage.setFramePicture(engine.filmstrip().copy(QRect(QPoint(0, 0), engine.frameSize())));
        }
    } else {
        qsizetype next = 0;
        auto playNext = [&] {
            if (load(names[next % names.size()]))
                engine.play(true);
            ++next;
        };
        QObject::connect(&engine, &TAssistantEngine::animationEnded, &app, [&] { QTimer::singleShot(300, &app, playNext); });
        playNext();
    }
    QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    return app.exec();
}
