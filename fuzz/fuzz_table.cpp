// libFuzzer entry: see FuzzTable.h for the input format.
#include "FuzzTable.h"

#include <QTemporaryDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir* dir = new QTemporaryDir(QDir::tempPath() + QStringLiteral("/fuzz_table-XXXXXX"));
    vedomec::fuzz::runTableCase(dir->path(), data, size);
    return 0;
}
