#include "assistant/DialogHelp.h"

#include "assistant/HelpBook.h"
#include "assistant/RichText.h"

#include <QAbstractButton>
#include <QTextBlock>
#include <QTextDocument>
#include <QWidget>

namespace vedomec {

namespace {

// Every text: a bold heading, an empty line and a sentence, in
// Times New Roman CE at 10 points.
const char* const kZpet = R"({\rtf1\ansi\ansicpg1250\deff0\deflang1029{\fonttbl{\f0\froman\fprq2\fcharset238 Times New Roman CE;}}
\viewkind4\uc1\pard\b\f0\fs20 Zp\'ect\b0\par
\par
Uzav\'f8e dialogov\'e9 okno bez proveden\'ed operace.\par
})";

// A screen reader hears the help text without asking for it: the sentence
// describes the control, and the heading names a control that has no
// caption of its own (a list, a tree).
void describeByHelp(QWidget* control, const char* rtf)
{
    QTextDocument doc;
    LoadRichText(&doc, QByteArrayView(rtf));
    QStringList lines;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        if (!b.text().trimmed().isEmpty())
            lines << b.text().trimmed();
    if (lines.isEmpty())
        return;
    const QString heading = lines.takeFirst();
    auto* button = qobject_cast<QAbstractButton*>(control);
    if (control->accessibleName().isEmpty() && !(button && !button->text().isEmpty()))
        control->setAccessibleName(heading);
    if (control->accessibleDescription().isEmpty())
        control->setAccessibleDescription(lines.join(QLatin1Char(' ')));
}

} // namespace

QList<DialogHelpText> OtevritHelpTexts()
{
    return {
        {"TreeView1", 266, 75,
         R"({\rtf1\ansi\ansicpg1250\deff0\deflang1029{\fonttbl{\f0\froman\fprq2\fcharset238 Times New Roman CE;}}
\viewkind4\uc1\pard\b\f0\fs20 Seznam dostupn\'fdch test\'f9\b0\par
\par
Zobrazuje seznam vytvo\'f8en\'fdch test\'f9, kter\'e9 je mo\'9en\'e9 otev\'f8\'edt.\par
})"},
        {"Button1", 266, 60,
         R"({\rtf1\ansi\ansicpg1250\deff0\deflang1029{\fonttbl{\f0\froman\fprq2\fcharset238 Times New Roman CE;}}
\viewkind4\uc1\pard\b\f0\fs20 Otev\'f8\'edt\b0\par
\par
Otev\'f8e vybran\'fd test.\par
})"},
        {"Button2", 266, 60, kZpet},
    };
}

QList<DialogHelpText> ImportHelpTexts()
{
    return {
        {"FileListBox1", 266, 75,
         R"({\rtf1\ansi\ansicpg1250\deff0\deflang1029{\fonttbl{\f0\froman\fprq2\fcharset238 Times New Roman CE;}}
\viewkind4\uc1\pard\b\f0\fs20 Seznam dostupn\'fdch test\'f9\b0\par
\par
Zobrazuje seznam vytvo\'f8en\'fdch test\'f9, kter\'e9 je mo\'9en\'e9 importovat.\par
})"},
        {"Button1", 266, 60,
         R"({\rtf1\ansi\ansicpg1250\deff0\deflang1029{\fonttbl{\f0\froman\fprq2\fcharset238 Times New Roman CE;}}
\viewkind4\uc1\pard\b\f0\fs20 Importovat\b0\par
\par
Zobraz\'ed informace o importovan\'e9m testu.\par
})"},
        {"Button2", 266, 60, kZpet},
    };
}

QList<DialogHelpText> IdentifikaceHelpTexts()
{
    return {
        {"Button1", 266, 60,
         R"({\rtf1\ansi\ansicpg1250\deff0\deflang1029{\fonttbl{\f0\froman\fprq2\fcharset238 Times New Roman CE;}}
\viewkind4\uc1\pard\b\f0\fs20 Ok\b0\par
\par
Importuje vybran\'fd test.\par
})"},
        {"Button2", 266, 60, kZpet},
    };
}

THelpBook* CreateDialogHelp(QWidget* dialog, const QList<DialogHelpText>& texts)
{
    auto* book = new THelpBook(dialog);
    book->setObjectName(QStringLiteral("HelpBook1"));
    for (const DialogHelpText& t : texts) {
        THelpItem* item = book->HelpWindows()->Add();
        item->setBorderColor(Qt::black);
        item->setBorderWidth(1);
        item->setWidth(t.width);
        item->setHeight(t.height);
        item->setRTF(QByteArray(t.rtf));
        QWidget* control = dialog->findChild<QWidget*>(QLatin1String(t.control));
        item->setControl(control);
        if (control)
            describeByHelp(control, t.rtf);
    }
    return book;
}

} // namespace vedomec
