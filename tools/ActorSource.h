#pragma once
// The description an author writes for an actor library, and turning it
// into the library: the information block, one compressed animation
// resource per animation, and C source that the build compiles into the
// shared object (resources as exported `rcdata_N` data, see
// platform/DynamicLibrary.h).
//
//   # A comment.
//   Herec: Sova                      the actor's name
//   Snímek: 120 x 128                frame width x height, 1..255 each
//
//   Animace: Write                   a new animation (names are unique)
//   Stavy: 6, 38                     animation states 0..61 (optional)
//   Druh: návrat                     návrat (a return animation follows),
//                                    východy (leave through the exits even
//                                    when finished) or žádný (default)
//   Návrat: WriteReturn              the return animation (with "návrat")
//   Atribut: 0                       passed on, not interpreted (optional)
//   Zdroj: 101                       resource number (default 100 + order)
//   Pás: write.png                   the frames side by side
//   Průhledná: #FF00FF               the colour that is not drawn (default
//                                    #FF00FF; pixels of a picture with alpha
//                                    that are more than half transparent
//                                    take it)
//   Doby: 10 10 20 0 10              hundredths of a second per frame; their
//                                    number is the frame count
//   Větev 4: 50 -> 1, 50 -> 2        up to four branches (percent -> frame)
//   Východ 2: 5                      the frame's exit branch
//   Zvuk 0: pop.wav                  played when the frame shows
//
// Keys are matched without regard to case or accents ("Pas:", "VETEV 4:");
// frames count from 0; files are found relative to the assets folder.
#include "assistant/oaActor.h"
#include "platform/Errors.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace vedomec::tools {

class ActorSourceError : public EVedomecError {
public:
    ActorSourceError(int line, const QString& what);
    int line() const { return m_line; }
    const QString& detail() const { return m_detail; }

private:
    int m_line;
    QString m_detail;
};

struct BuiltActor {
    ActorInfo info;
    QByteArray infoBlock;
    std::vector<std::pair<quint16, QByteArray>> resources; // number, resource
};

// Reads the description (UTF-8) and every file it names.  Throws
// ActorSourceError with the line of the first fault.
BuiltActor buildActor(const QByteArray& description, const QString& assetsDir);
BuiltActor buildActorFile(const QString& descriptionPath, const QString& assetsDir);

// C source of the shared object.  `origin` names the description in the
// header comment.
QByteArray actorLibrarySource(const BuiltActor& actor, const QString& origin);

// The first line of every source written by actorLibrarySource: a file
// that does not start with it was not made by the builder.
extern const char* const ActorSourceMarker;

} // namespace vedomec::tools
