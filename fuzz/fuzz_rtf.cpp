// libFuzzer entry for the rich text reader: the input as it comes, and once
// more behind an RTF header so that random bytes reach the RTF path too.
#include "assistant/Rtf.h"

#include <cstdint>

namespace {

void check(QByteArrayView in)
{
    const vedomec::rtf::Document d = vedomec::rtf::Parse(in);
    // Every character and every paragraph comes from at least one byte.
    qsizetype chars = 0;
    for (const vedomec::rtf::Paragraph& p : d.paragraphs)
        for (const vedomec::rtf::Run& r : p.runs)
            chars += r.text.size();
    if (chars > in.size() || d.paragraphs.size() > in.size() + 1)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView in(reinterpret_cast<const char*>(data), qsizetype(size));
    check(in);
    if (!in.startsWith(QByteArrayView("{\\rtf"))) {
        QByteArray wrapped("{\\rtf1 ");
        wrapped.append(in.data(), in.size());
        check(wrapped);
    }
    return 0;
}
