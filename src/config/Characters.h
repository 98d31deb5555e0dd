#pragma once
// The characters of the assistant a user may choose: actor libraries (files
// ending in .so) in two folders, the user's own first, then the program's
// installed ones.  A character is named by its file name without the
// ending, in any letter case ("sova" is Sova.so); the user's file of a name
// stands in for an installed one of the same name.
#include "config/Settings.h"

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

namespace vedomec {

// "vedomec/characters" under the XDG data home (~/.local/share); empty when
// the user has no home.
QString userCharacterFolder();
// The folder of the installed characters, found from the program's folder.
QString installedCharacterFolder();
// The folders looked in, the user's first.  Tests give their own; an empty
// list goes back to the two above.
QStringList characterFolders();
void setCharacterFolders(const QStringList& folders);

struct TCharacterFile {
    QString name; // the file's name without ".so", as written
    QString path;
};
// Every character of the folders, one of each name, sorted by name
// without regard to letter case.
QList<TCharacterFile> installedCharacters();
// The character of that name; empty `path` when there is none.
TCharacterFile findCharacter(const QString& name);

// A character as the settings offer it: the name its library gives itself,
// or why she cannot be chosen.
struct TCharacterEntry {
    TCharacterFile file;
    QString actorName;
    QString problem; // a few Czech words; empty when she can be shown
};
// Every character of the files, each with its actor's name; the libraries
// are loaded one after another, every animation read once, and let go
// again.  One that fails keeps its file's name and says why.  Two entries
// whose actors have one name are told apart by their files' names.
QList<TCharacterEntry> describeCharacters(const QList<TCharacterFile>& files);
// What the list shows for an entry.
QString characterCaption(const TCharacterEntry& entry, const QList<TCharacterEntry>& all);

// Why the library cannot be the character, as a sentence for the user;
// empty when it loads and every animation it holds can be played.  Reads
// the whole library, as showing her would piece by piece.
QString characterFault(const QString& library);
// The sentence for an animation of the library found damaged.
QString damagedAnimationText(const QString& library, const QString& animation);

// The library the Character setting names, or why there is none.
struct TCharacterChoice {
    QString library; // empty: no character
    QString problem; // to tell once in a balloon (Czech); the program goes on without one
};
// A value with a "/" is a file (from the command line relative to the
// current folder; in a file a full path or one from "~/"), any other a
// character's name.  Empty or given nowhere: no character.
TCharacterChoice chooseCharacter(const SettingValue& setting);

// Where the character stands at start: beside the main window's frame
// `window` on the screen area `screen`, the side with room for the whole
// `stage`, its bottom level with the window's bottom (moved up when the
// screen ends sooner); right of the window before left, then below, then
// above; with room nowhere, in the corner of the screen where it covers
// least of the window.
QPoint characterPlace(const QRect& screen, const QRect& window, const QSize& stage);
constexpr int CharacterGap = 8; // between the window and the character

} // namespace vedomec
