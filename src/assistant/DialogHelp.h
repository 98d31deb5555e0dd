#pragma once
// The help texts of the dialogs' controls, kept as rich text (RTF) the way
// the forms store them, and the help books that link them.
#include <QList>

class QWidget;

namespace vedomec {

class THelpBook;

struct DialogHelpText {
    const char* control; // object name of the control in the dialog
    int width;           // size of the popup
    int height;
    const char* rtf;
};

QList<DialogHelpText> OtevritHelpTexts();
QList<DialogHelpText> ImportHelpTexts();
QList<DialogHelpText> IdentifikaceHelpTexts();

// The dialog's help book HelpBook1 with one item per text, linked to the
// dialog's control of that name; popups framed 1 pixel black on the
// tooltip background.
THelpBook* CreateDialogHelp(QWidget* dialog, const QList<DialogHelpText>& texts);

} // namespace vedomec
