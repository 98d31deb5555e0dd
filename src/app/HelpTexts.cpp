#include "app/HelpTexts.h"

namespace vedomec::help {

QString caption()
{
    return QStringLiteral("Pomocník");
}

QStringList tips()
{
    return {
        QStringLiteral("Program test umožňuje vytvořit tři různé typy testů."),
        QStringLiteral("Je možné vytvořit neomezené množství testů pro každý typ."),
        QStringLiteral("Můžete upravovat databázi druhů testů podle Vašich přání."),
        QStringLiteral("Je možné exportovat libovolný test pro jeho použití na jiném PC."),
        QStringLiteral("Je možné importovat libovolný test do programu a dále ho upravovat."),
        QStringLiteral("Můžete opatřit Vámi vytvořený test heslem pro editaci, aby nebylo možné měnit jeho obsah."),
        QStringLiteral("Pokud zadáte chybné heslo pro editaci testu bude test otevřen pouze pro prohlížení."),
        QStringLiteral("Na internetové stránce firmy Nivella je seznam testů ke stažení."),
        QStringLiteral("Máte možnost umístit Vámi vytvořený test na internetových stránkách firmy Nivella zdarma."),
        QStringLiteral("Pokud vlastníte skupinu programů Korvalo2001, bude program Vedomec 2001 s Korvalo2001 propojen."),
    };
}

QStringList formTopics()
{
    return {QStringLiteral("Jak zobrazit podrobnou nápovědu."), QStringLiteral("Klíčová slova nápovědy")};
}

QStringList searchTopics()
{
    return {QStringLiteral("Jak zobrazit podrobnou nápovědu. "), QStringLiteral("Klíčová slova nápovědy. ")};
}

QString guideTitle()
{
    return QStringLiteral("Nápověda");
}

QString guideRequest()
{
    return QStringLiteral("Zde napišt klíčové slovo pro podrobnější nápovědu.");
}

QString guideDescription()
{
    return QStringLiteral("Stačí si pouze vybrat, jakou pomoc potřebujete.");
}

QString topicThought(int index)
{
    switch (index) {
    case 0:
        return QStringLiteral("Pro podrobnější nápovědu stačí zadat klíčové slovo a stisknout tlačítko Vyhledat. "
                              "Pokud se budete chtít kdykoliv vrátit do této obrazovky, napište slovo Zpět.");
    case 1:
        return QStringLiteral("Klíčová slova nápovědy\r\rOtevřít\t\tImport\rUkončit\t\tVýsledky\rTest\t\tZkratky\rZpět");
    default:
        return QString();
    }
}

QString closeQuestion()
{
    return QStringLiteral("Opravdu chcete uzavřít pomocníka?");
}

QString asciiLower(const QString& text)
{
    QString out = text;
    for (QChar& c : out)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    return out;
}

const QList<Keyword>& keywords()
{
    static const QList<Keyword> table {
        {QStringLiteral("otevřít"),
         QStringLiteral("Otevření testu\r\rTest otevřete klepnutím na tlačítko \"Otevřít test\", nebo kombinací kláves "
                        "\"Ctrl+O\". Po této operaci se zobrazí dialogové okno pro otevření testu. V tomto okně je "
                        "zobrazen seznam druhů testů, pod kterými se skrývají jednotlivé testy. Vyberte si druh testu "
                        "(dvakrát na něj klikněte) a poté si vyberte test. Stiskněte tlačítko \"Otevřít\" a Vámi "
                        "vybraný test bude připraven pro vyplnění.")},
        {QStringLiteral("import"),
         QStringLiteral("Import testu\r\rPomocí tohoto příkazu můžete přidat do programu libovolný test vytvořený "
                        "jiným uživatelem. Dialogové okno pro výběr importovaného testu zobrazíte klepnutím na tlačítko "
                        "\"Import testu\", nebo kombinací kláves \"Ctrl+I\". Po této operaci se zobrazí dialogové okno, "
                        "ve kterém si vyberte jeden ze zobrazených testů a stiskněte tlačítko \"Import\". Bude "
                        "zobrazena informace o importovaném testu a po stisknutí tlačítka \"Ok\" bude test přidán do "
                        "seznamu testů k otevření.")},
        {QStringLiteral("ukončit"),
         QStringLiteral("Ukončit test\r\rPomocí tohoto Tlačítka můžete ukončit aktuální test bez zobrazení výsledků.")},
        {QStringLiteral("výsledky"),
         QStringLiteral("Výsledky testu\r\rPomocí tohoto tlačítka zobrazíte výsledek aktuálního testu. Test musí být "
                        "zcela vyplněn, jinak nebudou výsledky zobrazeny a program Vás vyzve k doplnění chybějících "
                        "odpovědí. V dialogovém okně s výsledky jsou zobrazeny následující údaje : počet otázek testu, "
                        "počet správných odpovědí, počet chybných odpovědí a procento úspěšnosti vyplňovaného testu.")},
        {QStringLiteral("test"),
         QStringLiteral("Práce s testy\r\rPo otevření požadovaného testu bude zobrazena první otázka. Pohyb po "
                        "jednotlivých otázkách je následující: pokud chcete zobrazit otázku následující stiskněte "
                        "kombinaci kláves \"Ctrl+Enter\" nebo klávesu \"F7\", pro pohyb na otázku předchozí stiskněte "
                        "\"Shift+Enter\" nebo klávesu \"F6\". Pro posun na první respektive poslední otázku testu "
                        "použijte klávesy \"F5 a F8\". Jednotlivé odpovědi zadávejte pomocí myši, nebo z klávesnice za "
                        "použití kláves pro pohyb (šipky a tabelátor). U testu typu doplňte je nutné napsat odpověď "
                        "včetne velkých a malých písmen (toto je důležité při zkoušce z vlastních jmen a názvů).")},
        {QStringLiteral("zkratky"),
         QStringLiteral("Klávesové zkratky\r\rCtrl+O\t\t\t- Otevřít test\rCtrl+I\t\t\t- Import testu\rCtrl+Z\t\t\t- "
                        "Uzavřít test\rF1\t\t\t- Nápověda\rF5\t\t\t- První otázka testu\rF6 nebo Shift+Enter\t- "
                        "Předchozí otázka testu\rF7 nebo Ctrl+Enter\t- Následující otázka testu\rF8\t\t\t- Poslední "
                        "otázka testu\rCtrl+V\t\t\t- Výsledky testu")},
        {QStringLiteral("zpět"), guideRequest()},
    };
    return table;
}

QString apology()
{
    return QStringLiteral("Bohužel jsem nemohl najít Vámi zadané klíčové slovo. Zkuste zadat slovo znovu, nebo si "
                          "vyberte jinou nápovědu.");
}

SearchAnswer searchKeyword(const QString& request)
{
    const QString lowered = asciiLower(request);
    for (const Keyword& k : keywords())
        if (lowered.contains(k.keyword))
            return {true, k.keyword, k.description};
    return {false, QString(), apology()};
}

} // namespace vedomec::help
