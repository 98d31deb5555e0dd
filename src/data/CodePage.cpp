#include "data/CodePage.h"

#include "platform/Cp1250.h"

#include <QStringDecoder>

#include <map>
#include <memory>

namespace vedomec::data {

namespace {

// Language driver bytes of dBASE and the code pages they name, as the
// public descriptions of the format list them.  0x57 is the system's ANSI
// code page, which for the program's tables is Windows-1250; 0xC8 is
// Windows-1250 itself.
struct Driver {
    quint8 id;
    int codePage;
};
constexpr Driver kDrivers[] = {
    {0x01, 437},   {0x02, 850},   {0x03, 1252},  {0x04, 10000}, {0x08, 865},   {0x09, 437},   {0x0A, 850},
    {0x0B, 437},   {0x0D, 437},   {0x0E, 850},   {0x0F, 437},   {0x10, 850},   {0x11, 437},   {0x12, 850},
    {0x13, 932},   {0x14, 850},   {0x15, 437},   {0x16, 850},   {0x17, 865},   {0x18, 437},   {0x19, 437},
    {0x1A, 850},   {0x1B, 437},   {0x1C, 863},   {0x1D, 850},   {0x1F, 852},   {0x22, 852},   {0x23, 852},
    {0x24, 860},   {0x25, 850},   {0x26, 866},   {0x37, 850},   {0x40, 852},   {0x4D, 936},   {0x4E, 949},
    {0x4F, 950},   {0x50, 874},   {0x57, 1250},  {0x58, 1252},  {0x59, 1252},  {0x64, 852},   {0x65, 866},
    {0x66, 865},   {0x67, 861},   {0x68, 895},   {0x69, 620},   {0x6A, 737},   {0x6B, 857},   {0x6C, 863},
    {0x78, 950},   {0x79, 949},   {0x7A, 936},   {0x7B, 932},   {0x7C, 874},   {0x7D, 1255},  {0x7E, 1256},
    {0x86, 737},   {0x87, 852},   {0x88, 857},   {0x96, 10007}, {0x97, 10029}, {0x98, 10006}, {0xC8, 1250},
    {0xC9, 1251},  {0xCA, 1254},  {0xCB, 1253},  {0xCC, 1257},
};

// The single-byte code pages read here, by the names the system's converter
// (ICU, through Qt) knows them by.
const char* converterName(int codePage)
{
    switch (codePage) {
    case 437: return "IBM437";
    case 737: return "IBM737";
    case 850: return "IBM850";
    case 852: return "IBM852";
    case 857: return "IBM857";
    case 860: return "IBM860";
    case 861: return "IBM861";
    case 863: return "IBM863";
    case 865: return "IBM865";
    case 866: return "IBM866";
    case 874: return "windows-874";
    case 1251: return "windows-1251";
    case 1252: return "windows-1252";
    case 1253: return "windows-1253";
    case 1254: return "windows-1254";
    case 1255: return "windows-1255";
    case 1256: return "windows-1256";
    case 1257: return "windows-1257";
    case 10000: return "macintosh";
    case 10006: return "x-mac-greek";
    case 10007: return "x-mac-cyrillic";
    case 10029: return "x-mac-centraleurroman";
    default: return nullptr;
    }
}

std::unique_ptr<CodePage> makePage(int number)
{
    const char* name = converterName(number);
    if (!name)
        return nullptr;
    std::array<char16_t, 128> high{};
    for (int b = 0x80; b <= 0xFF; ++b) {
        QStringDecoder decoder(name, QStringConverter::Flag::Stateless);
        if (!decoder.isValid())
            return nullptr;
        const char byte = char(b);
        const QString text = decoder.decode(QByteArrayView(&byte, 1));
        if (text.size() == 1 && text.at(0) != QChar(0xFFFD) && text.at(0) != QChar(0x1A))
            high[size_t(b - 0x80)] = text.at(0).unicode();
    }
    return std::make_unique<CodePage>(number, high);
}

} // namespace

CodePage::CodePage(int number, const std::array<char16_t, 128>& high) : m_number(number), m_high(high)
{
    for (int i = 0; i < 128; ++i)
        if (m_high[size_t(i)] && m_high[size_t(i)] >= 0x80)
            m_reverse.emplace(m_high[size_t(i)], char(0x80 + i));
}

int CodePage::numberFor(quint8 driver)
{
    for (const Driver& d : kDrivers)
        if (d.id == driver)
            return d.codePage;
    return 0;
}

const CodePage* CodePage::forLanguageDriver(quint8 driver)
{
    const int number = numberFor(driver);
    if (number == 0 || number == 1250)
        return nullptr;
    // Made once, on the first table that asks; a table is read on one thread.
    static const std::map<int, std::unique_ptr<CodePage>> pages = [] {
        std::map<int, std::unique_ptr<CodePage>> all;
        for (const Driver& d : kDrivers)
            if (d.codePage != 1250 && !all.count(d.codePage))
                if (std::unique_ptr<CodePage> page = makePage(d.codePage))
                    all.emplace(d.codePage, std::move(page));
        return all;
    }();
    const auto it = pages.find(number);
    return it == pages.end() ? nullptr : it->second.get();
}

QString CodePage::decode(const char* data, qsizetype size) const
{
    QString out(size, Qt::Uninitialized);
    QChar* dst = out.data();
    for (qsizetype i = 0; i < size; ++i) {
        const auto b = static_cast<unsigned char>(data[i]);
        if (b < 0x80)
            dst[i] = QChar(b);
        else if (const char16_t u = m_high[b - 0x80])
            dst[i] = QChar(u);
        else
            dst[i] = QChar(0xFFFD);
    }
    return out;
}

QByteArray CodePage::encode(const QString& text) const
{
    const QString nfc = text.normalized(QString::NormalizationForm_C);
    QByteArray out;
    out.reserve(nfc.size());
    for (qsizetype i = 0; i < nfc.size(); ++i) {
        const char16_t u = nfc.at(i).unicode();
        if (u < 0x80) {
            out.append(char(u));
            continue;
        }
        if (QChar::isHighSurrogate(u) && i + 1 < nfc.size() && nfc.at(i + 1).isLowSurrogate())
            ++i;
        const auto it = m_reverse.find(u);
        out.append(it != m_reverse.end() ? it->second : '?');
    }
    return out;
}

QString decodeText(const CodePage* page, const char* data, qsizetype size)
{
    return page ? page->decode(data, size) : cp1250ToUnicode(data, size);
}

QByteArray encodeText(const CodePage* page, const QString& text)
{
    return page ? page->encode(text) : unicodeToCp1250(text);
}

} // namespace vedomec::data
