// The check a library file passes before the system loader maps it (real
// libraries pass; each kind of damage the loader would trip over is
// refused; libraries cut short or with a flipped bit never get to the
// loader), and the private copy a library is loaded from.
#include "platform/DynamicLibrary.h"
#include "platform/DynamicLibraryCheck.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <elf.h>
#include <functional>
#include <link.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vedomec;

namespace {

const QString Trio = QStringLiteral(VEDOMEC_TEST_ACTORS "/actor_trio.so");

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// A shared object opened up for damaging: its headers, segments and
// dynamic entries, found the way the loader finds them.
class Image {
public:
    explicit Image(QByteArray b) : bytes(std::move(b)) {}

    template <class T>
    T* at(quint64 offset)
    {
        return offset + sizeof(T) <= quint64(bytes.size()) ? reinterpret_cast<T*>(bytes.data() + offset) : nullptr;
    }
    ElfW(Ehdr)* header() { return at<ElfW(Ehdr)>(0); }
    ElfW(Phdr)* segment(quint32 type, quint32 flags = 0)
    {
        for (int i = 0; i < header()->e_phnum; ++i) {
            auto* p = at<ElfW(Phdr)>(header()->e_phoff + quint64(i) * sizeof(ElfW(Phdr)));
            if (p->p_type == type && (p->p_flags & flags) == flags)
                return p;
        }
        return nullptr;
    }
    // The file offset of a loaded address.
    quint64 offsetOf(quint64 address)
    {
        for (int i = 0; i < header()->e_phnum; ++i) {
            auto* p = at<ElfW(Phdr)>(header()->e_phoff + quint64(i) * sizeof(ElfW(Phdr)));
            if (p->p_type == PT_LOAD && address >= p->p_vaddr && address < p->p_vaddr + p->p_filesz)
                return p->p_offset + (address - p->p_vaddr);
        }
        return quint64(bytes.size());
    }
    ElfW(Dyn)* entry(qint64 tag, int nth = 0)
    {
        const ElfW(Phdr)* d = segment(PT_DYNAMIC);
        for (quint64 o = d->p_offset; o < d->p_offset + d->p_filesz; o += sizeof(ElfW(Dyn)))
            if (at<ElfW(Dyn)>(o)->d_tag == tag && nth-- == 0)
                return at<ElfW(Dyn)>(o);
        return nullptr;
    }
    template <class T>
    T* loaded(quint64 address)
    {
        return at<T>(offsetOf(address));
    }
    ElfW(Sym)* symbol(const char* name)
    {
        const quint64 strtab = entry(DT_STRTAB)->d_un.d_ptr;
        const quint64 symtab = entry(DT_SYMTAB)->d_un.d_ptr;
        for (quint64 i = 1; i < 64; ++i) {
            auto* s = loaded<ElfW(Sym)>(symtab + i * sizeof(ElfW(Sym)));
            if (s && qstrcmp(bytes.constData() + offsetOf(strtab + s->st_name), name) == 0)
                return s;
        }
        return nullptr;
    }
    // The relocation that writes `address`.
    ElfW(Rela)* relocationOf(quint64 address)
    {
        const quint64 table = entry(DT_RELA)->d_un.d_ptr;
        for (quint64 i = 0; i < entry(DT_RELASZ)->d_un.d_val / sizeof(ElfW(Rela)); ++i) {
            auto* r = loaded<ElfW(Rela)>(table + i * sizeof(ElfW(Rela)));
            if (r->r_offset == address)
                return r;
        }
        return nullptr;
    }

    QByteArray bytes;
};

using Damage = std::function<bool(Image&)>; // false: this library has no such part

unsigned char otherClass()
{
    return __ELF_NATIVE_CLASS == 64 ? ELFCLASS32 : ELFCLASS64;
}

// The end of the last byte the loader reads from the file.
quint64 loadedEnd(Image& image)
{
    quint64 end = 0;
    for (int i = 0; i < image.header()->e_phnum; ++i) {
        auto* p = image.at<ElfW(Phdr)>(image.header()->e_phoff + quint64(i) * sizeof(ElfW(Phdr)));
        end = std::max<quint64>(end, p->p_offset + p->p_filesz);
    }
    return std::max<quint64>(end, image.header()->e_phoff + image.header()->e_phnum * sizeof(ElfW(Phdr)));
}

} // namespace

Q_DECLARE_METATYPE(Damage)

class TestDynamicLibrary : public QObject {
    Q_OBJECT
private slots:
    // Every library this process runs with, built by others, passes, and
    // so do the project's own.
    void realLibrariesPass()
    {
        QStringList files {Trio, QStringLiteral(VEDOMEC_SAMPLE_ACTOR)};
        dl_iterate_phdr(
            [](dl_phdr_info* info, size_t, void* data) {
                if (info->dlpi_name && info->dlpi_name[0] == '/')
                    static_cast<QStringList*>(data)->append(QFile::decodeName(info->dlpi_name));
                return 0;
            },
            &files);
        QVERIFY(files.size() >= 5);
        for (const QString& file : files) {
            const QByteArray bytes = fileBytes(file);
            QVERIFY2(!bytes.isEmpty(), qPrintable(file));
            const QString fault = sharedObjectFault(bytes);
            QVERIFY2(fault.isEmpty(), qPrintable(file + QStringLiteral(": ") + fault));
        }
    }

    void eachDamageIsRefused_data()
    {
        QTest::addColumn<Damage>("damage");
        QTest::addColumn<QString>("fault");
        auto row = [](const char* name, const char* fault, Damage d) { QTest::newRow(name) << d << QString::fromLatin1(fault); };
        row("empty", "shorter than an ELF header", [](Image& i) { i.bytes.clear(); return true; });
        row("no ELF magic", "not an ELF file", [](Image& i) { i.bytes[1] = 'L'; return true; });
        row("the other word size", "word size", [](Image& i) {
            i.header()->e_ident[EI_CLASS] = otherClass();
            return true;
        });
        row("the other byte order", "byte order", [](Image& i) {
            i.header()->e_ident[EI_DATA] ^= 3;
            return true;
        });
        row("another processor", "another processor", [](Image& i) {
            i.header()->e_machine = i.header()->e_machine == EM_AARCH64 ? EM_X86_64 : EM_AARCH64;
            return true;
        });
        row("a program, not a library", "not a shared object", [](Image& i) {
            i.header()->e_type = ET_EXEC;
            return true;
        });
        row("program headers of another size", "program header table", [](Image& i) {
            i.header()->e_phentsize = 32;
            return true;
        });
        row("program headers past the end", "program header table lies past the end", [](Image& i) {
            i.header()->e_phoff = quint64(i.bytes.size()) - 8;
            return true;
        });
        row("section headers past the end", "section header table lies past the end", [](Image& i) {
            i.header()->e_shoff = quint64(i.bytes.size()) - 8;
            return true;
        });
        row("a segment past the end of the file", "reaches past the end of the file", [](Image& i) {
            ElfW(Phdr)* data = i.segment(PT_LOAD, PF_W);
            data->p_filesz += quint64(i.bytes.size());
            data->p_memsz += quint64(i.bytes.size());
            return true;
        });
        row("a segment's address and offset disagree", "disagree", [](Image& i) {
            i.segment(PT_LOAD, PF_X)->p_offset += 8;
            return true;
        });
        row("a segment loaded from another's bytes", "overlap", [](Image& i) {
            ElfW(Phdr)* code = i.segment(PT_LOAD, PF_X);
            code->p_offset -= code->p_offset / 4096 * 4096; // the headers' page, run as code
            return true;
        });
        row("the dynamic section outside the segments", "outside the loaded segments", [](Image& i) {
            i.segment(PT_DYNAMIC)->p_vaddr += 0x100000;
            return true;
        });
        row("dynamic entries without an end", "does not end", [](Image& i) {
            for (ElfW(Dyn)* d; (d = i.entry(DT_NULL));)
                d->d_tag = DT_DEBUG;
            return true;
        });
        row("relocations in the code", "relocations in the code", [](Image& i) {
            return i.entry(DT_NULL, 1) && (i.entry(DT_NULL)->d_tag = DT_TEXTREL, true);
        });
        row("string table elsewhere", "string table", [](Image& i) {
            i.entry(DT_STRTAB)->d_un.d_ptr = 0x7FFF0000;
            return true;
        });
        row("string table without its end", "string table does not end", [](Image& i) {
            i.entry(DT_STRSZ)->d_un.d_val -= 1;
            return true;
        });
        row("a hash table without buckets", "hash table", [](Image& i) {
            ElfW(Dyn)* h = i.entry(DT_GNU_HASH);
            return h && (*i.loaded<quint32>(h->d_un.d_ptr) = 0, true);
        });
        row("a hash table's filter of three words", "hash table", [](Image& i) {
            ElfW(Dyn)* h = i.entry(DT_GNU_HASH);
            return h && (*i.loaded<quint32>(h->d_un.d_ptr + 8) = 3, true);
        });
        row("a symbol's name outside the strings", "symbol name", [](Image& i) {
            i.symbol("GetActorInfo")->st_name = quint32(i.entry(DT_STRSZ)->d_un.d_val + 5);
            return true;
        });
        row("a function outside the code", "symbol outside", [](Image& i) {
            i.symbol("GetActorInfo")->st_value = i.symbol("rcdata_7")->st_value;
            return true;
        });
        row("an undefined symbol made local", "cannot be found", [](Image& i) {
            ElfW(Sym)* s = i.symbol("__cxa_finalize");
            return s && (s->st_info = s->st_info & 0xF, true);
        });
        row("a relocation into the code", "writes outside", [](Image& i) {
            i.loaded<ElfW(Rela)>(i.entry(DT_RELA)->d_un.d_ptr)->r_offset = i.entry(DT_INIT)->d_un.d_ptr;
            return true;
        });
        row("more relative relocations than there are", "more relative", [](Image& i) {
            ElfW(Dyn)* count = i.entry(DT_RELACOUNT);
            return count && (count->d_un.d_val = i.entry(DT_RELASZ)->d_un.d_val / sizeof(ElfW(Rela)) + 1, true);
        });
        row("an initialiser never relocated", "never relocated", [](Image& i) {
            ElfW(Rela)* r = i.relocationOf(i.entry(DT_INIT_ARRAY)->d_un.d_ptr);
            return r && (r->r_offset = i.entry(DT_PLTGOT)->d_un.d_ptr, true);
        });
        row("an initialiser outside the code", "initialiser outside the code", [](Image& i) {
            ElfW(Rela)* r = i.relocationOf(i.entry(DT_INIT_ARRAY)->d_un.d_ptr);
            return r && (r->r_addend = qint64(i.symbol("rcdata_7")->st_value), true);
        });
        row("versions of a library not needed", "not needed", [](Image& i) {
            ElfW(Dyn)* need = i.entry(DT_VERNEED);
            return need && (i.loaded<ElfW(Verneed)>(need->d_un.d_ptr)->vn_file = i.symbol("GetActorInfo")->st_name, true);
        });
        row("the read-only range over the variables", "read-only-after-relocation", [](Image& i) {
            // Two pages past the end of the segment it starts in, however
            // large the build made that segment.
            ElfW(Phdr)* relro = i.segment(PT_GNU_RELRO);
            ElfW(Phdr)* data = i.segment(PT_LOAD, PF_W);
            return relro && data
                   && (relro->p_memsz = data->p_vaddr + data->p_memsz - relro->p_vaddr + 0x2000, true);
        });
    }
    void eachDamageIsRefused()
    {
        QFETCH(Damage, damage);
        QFETCH(QString, fault);
        Image image(fileBytes(Trio));
        QVERIFY(image.bytes.size() > 4096);
        QCOMPARE(sharedObjectFault(image.bytes), QString());
        if (!damage(image))
            QSKIP("the library has no such part");
        const QString found = sharedObjectFault(image.bytes);
        QVERIFY2(found.contains(fault), qPrintable(found));
        // The loader never sees it.
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("Damaged.so"));
        QVERIFY(writeFile(file, image.bytes));
        DynamicLibrary lib;
        QString error;
        QVERIFY(!lib.load(file, &error));
        QCOMPARE(error, file + QStringLiteral(": ") + found);
    }

    // Cut short anywhere: the section header table at the end gives it
    // away, and without that table every cut before the last byte the
    // loader maps is still refused.
    void cutShortAnywhere()
    {
        for (const QString& file : {Trio, QStringLiteral(VEDOMEC_SAMPLE_ACTOR)}) {
            const QByteArray whole = fileBytes(file);
            for (qsizetype n = 0; n < whole.size(); ++n)
                QVERIFY2(!sharedObjectFault(QByteArrayView(whole).first(n)).isEmpty(), qPrintable(QString::number(n)));

            Image bare(whole);
            bare.header()->e_shoff = 0;
            bare.header()->e_shnum = 0;
            bare.header()->e_shstrndx = SHN_UNDEF;
            const qsizetype end = qsizetype(loadedEnd(bare));
            QVERIFY(end < whole.size());
            const QByteArrayView cut(bare.bytes);
            QCOMPARE(sharedObjectFault(cut.first(end)), QString());
            for (qsizetype n = 0; n < end; ++n)
                QVERIFY2(!sharedObjectFault(cut.first(n)).isEmpty(), qPrintable(QString::number(n)));
        }
    }

    // A flipped bit in the parts the loader reads before any code of the
    // library runs (the headers and the dynamic section; every third bit,
    // so each bit of a byte is met across the bytes) is refused, or makes
    // a library the loader maps without harm.  Left out: the two
    // entries that say where the library's own start and end code begins,
    // for no check can tell a moved entry point inside the code from the
    // right one.
    void aFlippedBitInTheHeaders()
    {
        Image image(fileBytes(Trio));
        const ElfW(Phdr)* dynamic = image.segment(PT_DYNAMIC);
        const std::pair<quint64, quint64> ranges[] = {
            {0, image.header()->e_phoff + image.header()->e_phnum * sizeof(ElfW(Phdr))},
            {dynamic->p_offset, dynamic->p_offset + dynamic->p_filesz}};
        std::vector<quint64> entryPoints;
        for (qint64 tag : {DT_INIT, DT_FINI})
            if (ElfW(Dyn)* d = image.entry(tag))
                entryPoints.push_back(quint64(reinterpret_cast<char*>(&d->d_un) - image.bytes.data()));
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("Flipped.so"));
        int refused = 0;
        int loaded = 0;
        for (const auto& [from, to] : ranges)
            for (quint64 bit = from * 8; bit < to * 8; bit += 3) {
                if (std::any_of(entryPoints.begin(), entryPoints.end(),
                                [&](quint64 at) { return bit / 8 >= at && bit / 8 < at + sizeof(ElfW(Addr)); }))
                    continue;
                QByteArray b = image.bytes;
                b[qsizetype(bit / 8)] = char(b[qsizetype(bit / 8)] ^ (1 << (bit % 8)));
                QVERIFY(writeFile(file, b));
                DynamicLibrary lib;
                if (!lib.load(file)) {
                    ++refused;
                    continue;
                }
                ++loaded;
                if (void* info = lib.findExport("GetActorInfo"); info && lib.isCode(info))
                    (void)DynamicLibrary::copyMemory(reinterpret_cast<const void* (*)()>(info)(), 524);
                (void)lib.resource(7);
            }
        QVERIFY(refused > loaded / 4);
        QVERIFY(loaded > 0); // a bit no loader reads changes nothing
    }

    // The loader maps a private copy: whatever happens to the file after
    // the check, the library reads as it was checked.
    void loadedFromAPrivateCopy()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("Trio.so"));
        QVERIFY(QFile::copy(Trio, file));
        DynamicLibrary lib;
        QString error;
        QVERIFY2(lib.load(file, &error), qPrintable(error));
        QCOMPARE(lib.fileName(), file);
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.resize(3000)); // cut short under the loaded library
        f.close();
        QCOMPARE(lib.resource(7).toByteArray(), QByteArray("ZVA1!"));
        QVERIFY(QFile::remove(file));
        QVERIFY(lib.findExport("GetActorInfo"));

        // Two libraries at once, loaded and unloaded in turn, stay apart.
        DynamicLibrary other;
        QVERIFY(other.load(QStringLiteral(VEDOMEC_TEST_ACTORS "/actor_heapinfo.so")));
        QVERIFY(other.findExport("GetActorInfo") != lib.findExport("GetActorInfo"));
        lib.unload();
        DynamicLibrary again;
        QVERIFY(again.load(Trio));
        QVERIFY(again.findExport("GetActorInfo") != other.findExport("GetActorInfo"));
        QCOMPARE(again.resource(7).toByteArray(), QByteArray("ZVA1!"));
        QVERIFY(other.resource(7).size() == 5);
    }

    void filesThatAreNoLibrary()
    {
        QTemporaryDir dir;
        const QString fifo = dir.filePath(QStringLiteral("Pipe.so"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const QString empty = dir.filePath(QStringLiteral("Empty.so"));
        QVERIFY(writeFile(empty, {}));
        for (const QString& file : {dir.filePath(QStringLiteral("Missing.so")), dir.path(), fifo, empty}) {
            DynamicLibrary lib;
            QString error;
            QVERIFY2(!lib.load(file, &error), qPrintable(file));
            QVERIFY2(error.startsWith(file), qPrintable(error));
            QVERIFY(!lib.isLoaded());
        }
    }

    void copyingMemory()
    {
        const QByteArray here("some bytes on the heap");
        QCOMPARE(DynamicLibrary::copyMemory(here.constData(), size_t(here.size())).value_or(QByteArray()), here);
        QVERIFY(!DynamicLibrary::copyMemory(nullptr, 1));
        const long page = ::sysconf(_SC_PAGESIZE);
        auto* two = static_cast<char*>(::mmap(nullptr, size_t(2 * page), PROT_READ | PROT_WRITE,
                                              MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        QVERIFY(two != MAP_FAILED);
        std::memset(two, 'x', size_t(page));
        QCOMPARE(::mprotect(two + page, size_t(page), PROT_NONE), 0);
        QCOMPARE(DynamicLibrary::copyMemory(two + page - 4, 4).value_or(QByteArray()), QByteArray("xxxx"));
        QVERIFY(!DynamicLibrary::copyMemory(two + page - 4, 5)); // one byte into the closed page
        QVERIFY(!DynamicLibrary::copyMemory(two + page, 1));
        ::munmap(two, size_t(2 * page));
    }
};

QTEST_GUILESS_MAIN(TestDynamicLibrary)
#include "tst_dynamiclibrary.moc"
