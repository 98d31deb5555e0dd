// libFuzzer entry for the readers of GIFT, Aiken and Moodle XML: the input
// read as each format.  Whatever a reader makes of it must go out through
// the writers and come back as the same test.
#include "exchange/Exchange.h"

#include <cstdint>

using namespace vedomec::exchange;

namespace {

void thereAndBack(const TestSource& test, Format format)
{
    if (format == Format::Aiken && test.type != u'A')
        return;
    const ExportResult out = writeExchange(format, test);
    for (const Diagnostic& d : out.diagnostics)
        if (d.omitted) {
            // Only Aiken, which has no escapes, may refuse what a reader took.
            if (format != Format::Aiken)
                __builtin_trap();
            return;
        }
    const ImportResult back = readExchange(format, out.file, {test.kind, test.title, test.author, {}});
    if (back.tests.size() != 1 || !sameContent(back.tests.first(), test))
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray in(reinterpret_cast<const char*>(data), qsizetype(size));
    for (Format format : {Format::Gift, Format::Aiken, Format::MoodleXml}) {
        ImportResult r;
        try {
            r = readExchange(format, in, {});
        } catch (const SourceError&) {
            continue;
        }
        qsizetype carried = 0;
        for (const TestSource& t : r.tests) {
            carried += t.questions.size();
            for (const SourceQuestion& q : t.questions)
                if (!fieldProblem(q.text, width::Otazka, QString()).isEmpty() || q.text.isEmpty())
                    __builtin_trap();
        }
        if (r.tests.size() > 3 || carried > r.questionsFound)
            __builtin_trap();
        for (const TestSource& t : r.tests)
            for (Format back : {Format::Gift, Format::Aiken, Format::MoodleXml})
                thereAndBack(t, back);
    }
    return 0;
}
