#pragma once
// What the main window's assistant says: the guide's texts, the tips, the
// thoughts behind the two topics, and the keyword search over the help
// texts.  Texts use "\r" as their line break and tabs to line up columns,
// as the balloon shows them.
#include <QString>
#include <QStringList>

namespace vedomec::help {

QString caption();          // "Pomocník"
QStringList tips();         // the ten tips, in order
QStringList formTopics();   // the guide's topics before the first search
QStringList searchTopics(); // the topics that replace them with every search
QString guideTitle();
QString guideRequest();     // the prompt in the request box
QString guideDescription();
// The thought behind a topic of the guide; empty for any other index.
QString topicThought(int index);
constexpr int TopicThoughtMs = 10000;
QString closeQuestion();    // the close confirmation

// A-Z become a-z; every other character stays, accented capitals included.
QString asciiLower(const QString& text);

struct SearchAnswer {
    bool found = false;
    QString keyword;     // the keyword that matched; empty when none did
    QString description; // the help text, or the apology
};

// The first keyword of the table that occurs anywhere in the request
// lowered by asciiLower (nothing trimmed).
SearchAnswer searchKeyword(const QString& request);

// The keyword table in the order it is searched.
struct Keyword {
    QString keyword;
    QString description;
};
const QList<Keyword>& keywords();
QString apology();

} // namespace vedomec::help
