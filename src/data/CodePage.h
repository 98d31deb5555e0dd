#pragma once
// The code page a dBASE table declares in its header (the language driver
// byte), for the tables other programs wrote: their text is read and written
// in that code page.  The program's own tables are Windows-1250, and so is a
// table that names no code page, the system's ANSI one, or one this program
// cannot read; those use the codec of platform/Cp1250.h, here as nullptr.
#include <QByteArray>
#include <QString>

#include <array>
#include <unordered_map>

namespace vedomec::data {

class CodePage {
public:
    // The code page a language driver names, or nullptr for Windows-1250
    // (see above).  Single-byte code pages only.
    static const CodePage* forLanguageDriver(quint8 driver);
    // The number of the code page a driver names (437, 852, 1252...), 0 when
    // it names none; also for those this program cannot read.
    static int numberFor(quint8 driver);

    int number() const { return m_number; }
    QString decode(const char* data, qsizetype size) const;
    // NFC first, as for Windows-1250; '?' for a character the page lacks.
    QByteArray encode(const QString& text) const;

    CodePage(int number, const std::array<char16_t, 128>& high);

private:
    int m_number = 0;
    std::array<char16_t, 128> m_high{}; // 0x80..0xFF; 0 where undefined
    std::unordered_map<char16_t, char> m_reverse;
};

// Text in a code page, nullptr standing for Windows-1250.
QString decodeText(const CodePage* page, const char* data, qsizetype size);
QByteArray encodeText(const CodePage* page, const QString& text);

} // namespace vedomec::data
