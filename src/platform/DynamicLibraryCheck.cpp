#include "DynamicLibraryCheck.h"

#include <elf.h>
#include <link.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <vector>

namespace vedomec {

namespace {

using Ehdr = ElfW(Ehdr);
using Phdr = ElfW(Phdr);
using Shdr = ElfW(Shdr);
using Dyn = ElfW(Dyn);
using Sym = ElfW(Sym);
using Rela = ElfW(Rela);
using Rel = ElfW(Rel);
using Addr = ElfW(Addr);
using Verneed = ElfW(Verneed);
using Vernaux = ElfW(Vernaux);
using Verdef = ElfW(Verdef);
using Verdaux = ElfW(Verdaux);

constexpr quint64 AddrSize = sizeof(Addr);

// What the loader of this machine expects.
struct Machine {
    Elf32_Half id {};
    bool rela;          // relocations carry their addends (else they sit in the target)
    quint32 relative;   // the relocation that adds the load address
    quint32 irelative;  // the relocation whose addend is a resolver the loader calls
};

constexpr Machine ThisMachine =
#if defined(__x86_64__)
    {EM_X86_64, true, R_X86_64_RELATIVE, R_X86_64_IRELATIVE};
#elif defined(__aarch64__)
    {EM_AARCH64, true, R_AARCH64_RELATIVE, R_AARCH64_IRELATIVE};
#elif defined(__i386__)
    {EM_386, false, R_386_RELATIVE, R_386_IRELATIVE};
#elif defined(__arm__)
    {EM_ARM, false, R_ARM_RELATIVE, R_ARM_IRELATIVE};
#elif defined(__riscv)
    {EM_RISCV, true, R_RISCV_RELATIVE, R_RISCV_IRELATIVE};
#elif defined(__powerpc64__)
    {EM_PPC64, true, R_PPC64_RELATIVE, R_PPC64_IRELATIVE};
#elif defined(__s390x__)
    {EM_S390, true, R_390_RELATIVE, R_390_IRELATIVE};
#else
#error "Name this machine's ELF machine number and relocations in DynamicLibraryCheck.cpp"
#endif

constexpr unsigned char ThisClass = __ELF_NATIVE_CLASS == 64 ? ELFCLASS64 : ELFCLASS32;
constexpr unsigned char ThisByteOrder = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? ELFDATA2LSB : ELFDATA2MSB;

// Real shared objects have about a dozen program headers; the loader keeps
// a copy of the table and a record per segment on the stack.
constexpr Elf32_Half MaxProgramHeaders = 128;

// How many bytes the loader writes for a relocation of this type: 0 for
// none; nullopt for a type it does not apply in a shared object.  Machines
// without a table here are trusted to write one address.
std::optional<quint64> relocationWidth(quint32 type)
{
#if defined(__x86_64__) && defined(__LP64__)
    switch (type) {
    case R_X86_64_NONE: return 0;
    case R_X86_64_64:
    case R_X86_64_GLOB_DAT:
    case R_X86_64_JUMP_SLOT:
    case R_X86_64_RELATIVE:
    case R_X86_64_DTPMOD64:
    case R_X86_64_DTPOFF64:
    case R_X86_64_TPOFF64:
    case R_X86_64_IRELATIVE:
    case R_X86_64_SIZE64: return 8;
    case R_X86_64_32:
    case R_X86_64_PC32:
    case R_X86_64_SIZE32: return 4;
    case R_X86_64_TLSDESC: return 16;
    default: return std::nullopt; // R_X86_64_COPY belongs to programs only
    }
#else
    return type == 0 ? 0 : AddrSize;
#endif
}

// [at, at + size) lies within [begin, begin + length); no sum may overflow.
bool within(quint64 at, quint64 size, quint64 begin, quint64 length)
{
    return at >= begin && size <= length && at - begin <= length - size;
}

quint64 pageSize()
{
    static const quint64 size = quint64(std::max(4096L, ::sysconf(_SC_PAGESIZE)));
    return size;
}

struct Segment {
    quint64 vaddr = 0;
    quint64 memsz = 0;
    quint64 offset = 0;
    quint64 filesz = 0;
    quint32 flags = 0;
};

class Checker {
public:
    explicit Checker(QByteArrayView file) : m_file(file) {}

    QString run()
    {
        (void)(header() && programHeaders() && dynamicSection() && strings() && versions() && symbolCount()
               && symbols() && relocations() && initialisers());
        return m_fault;
    }

private:
    bool fail(const QString& why)
    {
        if (m_fault.isEmpty())
            m_fault = why;
        return false;
    }

    // --- reading the file and the memory image it loads as ---

    template <class T>
    bool readFile(quint64 offset, T* out) const
    {
        if (!within(offset, sizeof(T), 0, quint64(m_file.size())))
            return false;
        std::memcpy(out, m_file.data() + offset, sizeof(T));
        return true;
    }

    // The file offset of the loaded bytes [addr, addr + size) when one
    // readable segment loads them all from the file.
    std::optional<quint64> offsetOf(quint64 addr, quint64 size) const
    {
        for (const Segment& s : m_loads)
            if ((s.flags & PF_R) && within(addr, size, s.vaddr, s.filesz))
                return s.offset + (addr - s.vaddr);
        return std::nullopt;
    }

    template <class T>
    bool readMemory(quint64 addr, T* out) const
    {
        const std::optional<quint64> offset = offsetOf(addr, sizeof(T));
        return offset && readFile(*offset, out);
    }

    // Whether [addr, addr + size) lies in the memory of one segment with
    // all these flags (size 0: addr is inside or at its end).
    const Segment* segmentWith(quint64 addr, quint64 size, quint32 flags) const
    {
        for (const Segment& s : m_loads)
            if ((s.flags & flags) == flags && within(addr, size, s.vaddr, s.memsz))
                return &s;
        return nullptr;
    }

    // Code lies in an executable segment, loaded from the file: the zeros
    // a segment is filled up with are no instructions.
    bool isCode(quint64 addr, quint64 size = 1) const
    {
        for (const Segment& s : m_loads)
            if ((s.flags & PF_X) && within(addr, size, s.vaddr, s.filesz))
                return true;
        return false;
    }

    // --- the parts, in the order the loader meets them ---

    bool header()
    {
        if (!readFile(0, &m_ehdr))
            return fail(QStringLiteral("shorter than an ELF header"));
        const unsigned char* id = m_ehdr.e_ident;
        if (std::memcmp(id, ELFMAG, SELFMAG) != 0)
            return fail(QStringLiteral("not an ELF file"));
        if (id[EI_CLASS] != ThisClass)
            return fail(QStringLiteral("an ELF file of another word size"));
        if (id[EI_DATA] != ThisByteOrder)
            return fail(QStringLiteral("an ELF file of another byte order"));
        if (id[EI_VERSION] != EV_CURRENT || m_ehdr.e_version != EV_CURRENT)
            return fail(QStringLiteral("an ELF file of an unknown version"));
        if (id[EI_OSABI] != ELFOSABI_SYSV && id[EI_OSABI] != ELFOSABI_GNU)
            return fail(QStringLiteral("an ELF file for another system"));
        if (m_ehdr.e_type != ET_DYN)
            return fail(QStringLiteral("not a shared object"));
        if (m_ehdr.e_machine != ThisMachine.id)
            return fail(QStringLiteral("a shared object for another processor"));
        if (m_ehdr.e_phentsize != sizeof(Phdr) || m_ehdr.e_phnum == 0 || m_ehdr.e_phnum > MaxProgramHeaders)
            return fail(QStringLiteral("a program header table of an unusual shape"));
        if (!within(m_ehdr.e_phoff, quint64(m_ehdr.e_phnum) * sizeof(Phdr), 0, quint64(m_file.size())))
            return fail(QStringLiteral("the program header table lies past the end of the file"));
        // The loader does not read section headers, but a table that lies
        // past the end is the surest sign of a file cut short.
        if (m_ehdr.e_shoff != 0 || m_ehdr.e_shnum != 0) {
            if (m_ehdr.e_shentsize != sizeof(Shdr) || m_ehdr.e_shnum >= SHN_LORESERVE
                || (m_ehdr.e_shstrndx >= m_ehdr.e_shnum && m_ehdr.e_shstrndx != SHN_UNDEF))
                return fail(QStringLiteral("a section header table of an unusual shape"));
            if (!within(m_ehdr.e_shoff, quint64(m_ehdr.e_shnum) * sizeof(Shdr), 0, quint64(m_file.size())))
                return fail(QStringLiteral("the section header table lies past the end of the file"));
        }
        return true;
    }

    bool programHeaders()
    {
        std::vector<Phdr> others;
        int dynamics = 0;
        for (quint64 i = 0; i < m_ehdr.e_phnum; ++i) {
            Phdr ph {};
            readFile(m_ehdr.e_phoff + i * sizeof(Phdr), &ph);
            if (ph.p_type == PT_LOAD) {
                if (ph.p_memsz == 0)
                    continue; // the loader skips it
                if (ph.p_filesz > ph.p_memsz)
                    return fail(QStringLiteral("a segment loads more from the file than it holds"));
                // Zeros are no instructions: code that ends short of its
                // segment runs into them.
                if ((ph.p_flags & PF_X) && ph.p_filesz != ph.p_memsz)
                    return fail(QStringLiteral("a code segment not loaded in full from the file"));
                if (!within(ph.p_offset, ph.p_filesz, 0, quint64(m_file.size())))
                    return fail(QStringLiteral("a segment reaches past the end of the file"));
                if ((ph.p_vaddr - ph.p_offset) % pageSize() != 0)
                    return fail(QStringLiteral("a segment's address and file offset disagree"));
                if (ph.p_vaddr + ph.p_memsz < ph.p_vaddr)
                    return fail(QStringLiteral("a segment reaches past the end of memory"));
                // Each segment is mapped in whole pages: a segment that
                // shares a page with the one before would replace its bytes.
                // Each byte of the file is loaded once, in the same order:
                // a segment loaded from another's bytes runs them as its own.
                if (!m_loads.empty()) {
                    const Segment& before = m_loads.back();
                    const quint64 beforeEnd = (before.vaddr + before.memsz + pageSize() - 1) / pageSize();
                    if (ph.p_vaddr / pageSize() < beforeEnd
                        || (ph.p_filesz != 0 && ph.p_offset < before.offset + before.filesz))
                        return fail(QStringLiteral("segments overlap or are out of order"));
                }
                m_loads.push_back({ph.p_vaddr, ph.p_memsz, ph.p_offset, ph.p_filesz, ph.p_flags});
            } else {
                if (ph.p_type == PT_DYNAMIC)
                    ++dynamics;
                others.push_back(ph);
            }
        }
        if (m_loads.empty())
            return fail(QStringLiteral("no loadable segment"));
        if (dynamics != 1)
            return fail(QStringLiteral("not exactly one dynamic section"));
        for (const Phdr& ph : others) {
            switch (ph.p_type) {
            case PT_DYNAMIC:
            case PT_NOTE:
            case PT_GNU_PROPERTY:
            case PT_GNU_EH_FRAME:
            case PT_TLS:
                // Read by the loader (or the unwinder) where it is loaded:
                // it must be loaded from the very bytes of the file it names.
                if (ph.p_filesz > ph.p_memsz)
                    return fail(QStringLiteral("a segment loads more from the file than it holds"));
                if (ph.p_filesz != 0 && offsetOf(ph.p_vaddr, ph.p_filesz) != ph.p_offset)
                    return fail(QStringLiteral("a table the loader reads lies outside the loaded segments"));
                if ((ph.p_type == PT_NOTE || ph.p_type == PT_GNU_PROPERTY) && !notes(ph))
                    return false;
                if (ph.p_type == PT_TLS) {
                    if ((ph.p_filesz == 0 && !segmentWith(ph.p_vaddr, 0, 0)) || (ph.p_align & (ph.p_align - 1)) != 0)
                        return fail(QStringLiteral("damaged thread-local data"));
                    m_tls = ph;
                    m_hasTls = true;
                }
                if (ph.p_type == PT_DYNAMIC)
                    m_dynamic = ph;
                break;
            case PT_PHDR:
                if (ph.p_offset != m_ehdr.e_phoff || ph.p_filesz != quint64(m_ehdr.e_phnum) * sizeof(Phdr)
                    || offsetOf(ph.p_vaddr, ph.p_filesz) != ph.p_offset)
                    return fail(QStringLiteral("the program header table is not where it says"));
                break;
            case PT_GNU_RELRO: {
                // Made read-only (in whole pages, rounded down) after
                // relocation: it must begin with a writable segment, and
                // its pages must hold nothing written later: no page of
                // another segment, none of the zeros that the segment is
                // filled up with (where its variables start out).
                const auto s = std::find_if(m_loads.begin(), m_loads.end(), [&](const Segment& l) {
                    return l.vaddr == ph.p_vaddr && (l.flags & PF_W);
                });
                if (s == m_loads.end() || ph.p_vaddr + ph.p_memsz < ph.p_vaddr)
                    return fail(QStringLiteral("the read-only-after-relocation range is out of place"));
                const quint64 end = (ph.p_vaddr + ph.p_memsz) / pageSize() * pageSize();
                const quint64 zeros = s->filesz < s->memsz ? s->vaddr + s->filesz : s->vaddr + s->memsz;
                const auto next = s + 1;
                if (end > (zeros + pageSize() - 1) / pageSize() * pageSize() || (s->filesz < s->memsz && end > zeros)
                    || (next != m_loads.end() && end > next->vaddr / pageSize() * pageSize()))
                    return fail(QStringLiteral("the read-only-after-relocation range is out of place"));
                break;
            }
            default:
                break;
            }
        }
        return true;
    }

    // A note segment is a row of notes, each a header, a name and a
    // description; the loader reads the notes it knows up to their end.
    bool notes(const Phdr& ph)
    {
        const quint64 align = ph.p_align == 8 ? 8 : 4;
        quint64 at = 0;
        while (at + sizeof(Elf32_Nhdr) <= ph.p_filesz) {
            Elf32_Nhdr n {};
            readFile(ph.p_offset + at, &n);
            auto alignUp = [&](quint64 x) { return (x + align - 1) / align * align; };
            const quint64 desc = alignUp(sizeof(n) + quint64(n.n_namesz));
            if (!within(at + desc, n.n_descsz, 0, ph.p_filesz))
                return fail(QStringLiteral("a note reaches past its segment"));
            at += desc + alignUp(n.n_descsz);
        }
        return true;
    }

    bool dynamicSection()
    {
        if (m_dynamic.p_filesz == 0 || m_dynamic.p_filesz % sizeof(Dyn) != 0)
            return fail(QStringLiteral("a dynamic section of an unusual size"));
        bool ended = false;
        for (quint64 at = 0; at < m_dynamic.p_filesz; at += sizeof(Dyn)) {
            Dyn d {};
            readFile(m_dynamic.p_offset + at, &d);
            if (d.d_tag == DT_NULL) {
                ended = true;
                break;
            }
            m_entries.push_back(d);
        }
        if (!ended)
            return fail(QStringLiteral("the dynamic section does not end"));
        if (flags(DT_FLAGS) & DF_TEXTREL || has(DT_TEXTREL))
            return fail(QStringLiteral("relocations in the code"));
        if (!has(DT_STRTAB) || !has(DT_SYMTAB) || !has(DT_STRSZ))
            return fail(QStringLiteral("no symbol or string table"));
        if (!has(DT_HASH) && !has(DT_GNU_HASH))
            return fail(QStringLiteral("no symbol hash table"));
        if (has(DT_SYMENT) && value(DT_SYMENT) != sizeof(Sym))
            return fail(QStringLiteral("symbols of an unusual size"));
        // Pairs the loader reads together, the second without asking.
        const std::pair<Elf64_Sxword, Elf64_Sxword> pairs[] = {
            {DT_RELA, DT_RELASZ},           {DT_REL, DT_RELSZ},           {DT_JMPREL, DT_PLTRELSZ},
            {DT_RELR, DT_RELRSZ},           {DT_INIT_ARRAY, DT_INIT_ARRAYSZ}, {DT_FINI_ARRAY, DT_FINI_ARRAYSZ},
            {DT_PREINIT_ARRAY, DT_PREINIT_ARRAYSZ}, {DT_JMPREL, DT_PLTREL}, {DT_VERNEED, DT_VERNEEDNUM},
            {DT_VERDEF, DT_VERDEFNUM}};
        for (const auto& [table, size] : pairs)
            if (has(table) != has(size))
                return fail(QStringLiteral("a table without its size, or a size without its table"));
        // The loader keeps the last entry of a tag, so a second one would
        // silently replace the first.
        std::vector<qint64> tags;
        for (const Dyn& d : m_entries)
            if (d.d_tag != DT_NEEDED && d.d_tag != DT_AUXILIARY && d.d_tag != DT_FILTER)
                tags.push_back(d.d_tag);
        std::sort(tags.begin(), tags.end());
        if (std::adjacent_find(tags.begin(), tags.end()) != tags.end())
            return fail(QStringLiteral("a dynamic entry given twice"));
        // Needed and defined versions come with the version of each symbol.
        if ((has(DT_VERNEED) || has(DT_VERDEF)) && !has(DT_VERSYM))
            return fail(QStringLiteral("versions without the versions of the symbols"));
        if (ThisMachine.rela) {
            if (has(DT_REL) || (has(DT_PLTREL) && value(DT_PLTREL) != DT_RELA))
                return fail(QStringLiteral("relocations of another kind than this machine's"));
            if (has(DT_RELA) && (!has(DT_RELAENT) || value(DT_RELAENT) != sizeof(Rela)))
                return fail(QStringLiteral("relocations of an unusual size"));
        } else {
            if (has(DT_RELA) || (has(DT_PLTREL) && value(DT_PLTREL) != DT_REL))
                return fail(QStringLiteral("relocations of another kind than this machine's"));
            if (has(DT_REL) && (!has(DT_RELENT) || value(DT_RELENT) != sizeof(Rel)))
                return fail(QStringLiteral("relocations of an unusual size"));
        }
        if (has(DT_RELR) && (!has(DT_RELRENT) || value(DT_RELRENT) != AddrSize))
            return fail(QStringLiteral("relocations of an unusual size"));
        // Lazy binding writes the first words of the table of the
        // procedure linkage.
        if (has(DT_JMPREL) && has(DT_PLTGOT) && !segmentWith(value(DT_PLTGOT), 3 * AddrSize, PF_R | PF_W))
            return fail(QStringLiteral("the global offset table lies outside the writable segments"));
        for (Elf64_Sxword tag : {DT_INIT, DT_FINI})
            if (has(tag) && !isCode(value(tag)))
                return fail(QStringLiteral("an initialiser outside the code"));
        return true;
    }

    bool strings()
    {
        m_strtab = value(DT_STRTAB);
        m_strsz = value(DT_STRSZ);
        const std::optional<quint64> at = offsetOf(m_strtab, m_strsz);
        if (m_strsz == 0 || !at)
            return fail(QStringLiteral("the string table lies outside the loaded segments"));
        // Every name read from the table ends inside it.
        if (m_file[qsizetype(*at + m_strsz - 1)] != '\0')
            return fail(QStringLiteral("the string table does not end"));
        for (const Dyn& d : m_entries)
            if (d.d_tag == DT_NEEDED || d.d_tag == DT_SONAME || d.d_tag == DT_RPATH || d.d_tag == DT_RUNPATH
                || d.d_tag == DT_AUXILIARY || d.d_tag == DT_FILTER)
                if (d.d_un.d_val >= m_strsz)
                    return fail(QStringLiteral("a name outside the string table"));
        return true;
    }

    // The symbol table's length follows from its hash tables.
    bool symbolCount()
    {
        if (has(DT_HASH)) {
            const quint64 at = value(DT_HASH);
            Elf32_Word head[2];
            if (!readMemory(at, &head) || head[0] == 0)
                return fail(QStringLiteral("a damaged symbol hash table"));
            const quint64 nbucket = head[0];
            const quint64 nchain = head[1];
            const std::optional<quint64> table = offsetOf(at, (2 + nbucket + nchain) * 4);
            if (!table)
                return fail(QStringLiteral("the symbol hash table lies outside the loaded segments"));
            // Every chain ends, and no two chains meet: a lookup walks
            // a chain until it ends.
            std::vector<bool> seen(size_t(nchain), false);
            auto word = [&](quint64 index) {
                Elf32_Word w {};
                readFile(*table + (2 + index) * 4, &w);
                return quint64(w);
            };
            for (quint64 b = 0; b < nbucket; ++b)
                for (quint64 i = word(b); i != STN_UNDEF; i = word(nbucket + i)) {
                    if (i >= nchain || seen[size_t(i)])
                        return fail(QStringLiteral("a damaged symbol hash table"));
                    seen[size_t(i)] = true;
                }
            m_symbolCount = std::max(m_symbolCount, nchain);
        }
        if (has(DT_GNU_HASH)) {
            const quint64 at = value(DT_GNU_HASH);
            Elf32_Word head[4];
            if (!readMemory(at, &head) || head[0] == 0 || head[2] == 0 || (head[2] & (head[2] - 1)) != 0
                || head[3] >= 32)
                return fail(QStringLiteral("a damaged symbol hash table"));
            const quint64 nbuckets = head[0];
            const quint64 symoffset = head[1];
            const quint64 buckets = at + 16 + quint64(head[2]) * AddrSize;
            const quint64 chains = buckets + nbuckets * 4;
            if (!offsetOf(at, 16 + quint64(head[2]) * AddrSize + nbuckets * 4))
                return fail(QStringLiteral("the symbol hash table lies outside the loaded segments"));
            quint64 count = symoffset;
            for (quint64 b = 0; b < nbuckets; ++b) {
                Elf32_Word first {};
                readMemory(buckets + b * 4, &first);
                if (first == 0)
                    continue;
                if (first < symoffset)
                    return fail(QStringLiteral("a damaged symbol hash table"));
                // A chain ends with an odd hash value; each step reads the
                // next one, so a walk ends where the readable bytes do.
                for (quint64 i = first;; ++i) {
                    Elf32_Word hash {};
                    if (!readMemory(chains + (i - symoffset) * 4, &hash))
                        return fail(QStringLiteral("a damaged symbol hash table"));
                    count = std::max(count, i + 1);
                    if (hash & 1)
                        break;
                }
            }
            m_symbolCount = std::max(m_symbolCount, count);
        }
        m_symtab = value(DT_SYMTAB);
        return true;
    }

    bool symbol(quint64 index, Sym* out) const { return readMemory(m_symtab + index * sizeof(Sym), out); }

    // Every symbol a lookup can reach (through the hash tables) and every
    // symbol a relocation names: its entry, its name, its version, and
    // where it points, which is where the loader and every caller go.
    bool symbols()
    {
        for (quint64 i = 1; i < m_symbolCount; ++i)
            if (!checkSymbol(i))
                return false;
        return true;
    }

    bool checkSymbol(quint64 index)
    {
        if (index < m_checked.size() && m_checked[size_t(index)])
            return true;
        Sym s {};
        if (!symbol(index, &s))
            return fail(QStringLiteral("a symbol outside the symbol table"));
        if (s.st_name >= m_strsz)
            return fail(QStringLiteral("a symbol name outside the string table"));
        if (has(DT_VERSYM)) {
            Elf32_Half v {};
            if (!readMemory(value(DT_VERSYM) + index * 2, &v))
                return fail(QStringLiteral("the symbol versions lie outside the loaded segments"));
            if ((v & 0x7FFF) > m_highestVersion)
                return fail(QStringLiteral("a symbol of a version that does not exist"));
        }
        // An undefined symbol that is local or not visible is looked up in
        // this library itself, where it is not.
        if (s.st_shndx == SHN_UNDEF
            && ((s.st_info >> 4) == STB_LOCAL || (s.st_other & 0x3) != STV_DEFAULT))
            return fail(QStringLiteral("an undefined symbol that cannot be found"));
        if (s.st_shndx != SHN_UNDEF && s.st_shndx != SHN_ABS) {
            const unsigned type = s.st_info & 0xF;
            bool inside = true;
            if (type == STT_TLS)
                inside = m_hasTls && within(s.st_value, s.st_size, 0, m_tls.p_memsz);
            else if (type == STT_FUNC || type == STT_GNU_IFUNC)
                inside = isCode(s.st_value, std::max<quint64>(1, s.st_size));
            else if (type == STT_OBJECT || type == STT_COMMON)
                inside = segmentWith(s.st_value, s.st_size, 0) != nullptr;
            else
                inside = segmentWith(s.st_value, 0, 0) != nullptr;
            if (!inside)
                return fail(QStringLiteral("a symbol outside the loaded segments"));
        }
        // The entry was readable, so the index is below the file's size.
        if (index >= m_checked.size())
            m_checked.resize(size_t(index) + 1, false);
        m_checked[size_t(index)] = true;
        return true;
    }

    // Version needs and definitions: the loader walks both lists and keeps
    // a record per version index, which the version of each symbol picks.
    bool versions()
    {
        quint64 highest = 0;
        if (has(DT_VERNEED)) {
            quint64 at = value(DT_VERNEED);
            for (;;) {
                Verneed n {};
                if (!readMemory(at, &n) || n.vn_version != 1 || n.vn_file >= m_strsz)
                    return fail(QStringLiteral("damaged version needs"));
                // The loader looks the library up among those it loaded for
                // this one, and gives up the process when it is not there.
                if (!needs(string(n.vn_file)))
                    return fail(QStringLiteral("versions needed of a library that is not needed"));
                quint64 aux = at + n.vn_aux;
                for (;;) {
                    Vernaux a {};
                    if (!readMemory(aux, &a) || a.vna_name >= m_strsz)
                        return fail(QStringLiteral("damaged version needs"));
                    highest = std::max<quint64>(highest, a.vna_other & 0x7FFF);
                    if (a.vna_next == 0)
                        break;
                    aux += a.vna_next;
                }
                if (n.vn_next == 0)
                    break;
                at += n.vn_next;
            }
        }
        if (has(DT_VERDEF)) {
            quint64 at = value(DT_VERDEF);
            for (;;) {
                Verdef d {};
                Verdaux a {};
                if (!readMemory(at, &d) || d.vd_version != 1 || !readMemory(at + d.vd_aux, &a)
                    || a.vda_name >= m_strsz)
                    return fail(QStringLiteral("damaged version definitions"));
                highest = std::max<quint64>(highest, d.vd_ndx & 0x7FFF);
                if (d.vd_next == 0)
                    break;
                at += d.vd_next;
            }
        }
        // Without either list the loader keeps no version records, and
        // the version of a symbol would pick one that is not there.
        if (has(DT_VERSYM) && highest == 0)
            return fail(QStringLiteral("symbol versions without a version"));
        m_highestVersion = highest;
        return true;
    }

    // One relocation: where it writes, what it names, and for the two kinds
    // whose addend is an address, that address.
    bool relocation(quint64 offset, quint64 info, std::optional<qint64> addend)
    {
#if __ELF_NATIVE_CLASS == 64
        const quint32 type = quint32(ELF64_R_TYPE(info));
        const quint64 sym = ELF64_R_SYM(info);
#else
        const quint32 type = quint32(ELF32_R_TYPE(info));
        const quint64 sym = ELF32_R_SYM(info);
#endif
        const std::optional<quint64> width = relocationWidth(type);
        if (!width)
            return fail(QStringLiteral("a relocation of a kind the loader does not apply here"));
        if (*width == 0)
            return true;
        if (sym != STN_UNDEF && !checkSymbol(sym))
            return false;
        if (!segmentWith(offset, *width, PF_R | PF_W))
            return fail(QStringLiteral("a relocation writes outside the writable segments"));
        if (type == ThisMachine.relative || type == ThisMachine.irelative) {
            // REL keeps the addend in the place relocated.
            quint64 target = 0;
            if (addend) {
                target = quint64(*addend);
            } else {
                Addr stored {};
                if (!readMemory(offset, &stored))
                    return fail(QStringLiteral("a relocation writes outside the writable segments"));
                target = stored;
            }
            if (type == ThisMachine.irelative && !isCode(target))
                return fail(QStringLiteral("a resolver outside the code"));
            m_relocated[offset] = {target, sym};
        } else if (sym != STN_UNDEF) {
            m_relocated[offset] = {0, sym};
        }
        return true;
    }

    // `relativeCount`: how many relocations at the start of the table the
    // loader takes for relative ones without looking.
    template <class R>
    bool relocationTable(Elf64_Sxword tableTag, Elf64_Sxword sizeTag, quint64 relativeCount = 0)
    {
        if (!has(tableTag))
            return true;
        const quint64 at = value(tableTag);
        const quint64 size = value(sizeTag);
        if (size % sizeof(R) != 0 || (size != 0 && !offsetOf(at, size)))
            return fail(QStringLiteral("the relocations lie outside the loaded segments"));
        if (relativeCount > size / sizeof(R))
            return fail(QStringLiteral("more relative relocations than relocations"));
        for (quint64 i = 0; i < size / sizeof(R); ++i) {
            R r {};
            readMemory(at + i * sizeof(R), &r);
#if __ELF_NATIVE_CLASS == 64
            if (i < relativeCount && ELF64_R_TYPE(r.r_info) != ThisMachine.relative)
#else
            if (i < relativeCount && ELF32_R_TYPE(r.r_info) != ThisMachine.relative)
#endif
                return fail(QStringLiteral("a relocation counted as relative is not"));
            std::optional<qint64> addend;
            if constexpr (std::is_same_v<R, Rela>)
                addend = qint64(r.r_addend);
            if (!relocation(r.r_offset, r.r_info, addend))
                return false;
        }
        return true;
    }

    // Packed relative relocations: an even entry is an address, an odd one
    // a bitmap of the words after the last address.
    bool packedRelocations()
    {
        if (!has(DT_RELR))
            return true;
        const quint64 at = value(DT_RELR);
        const quint64 size = value(DT_RELRSZ);
        if (size % AddrSize != 0 || (size != 0 && !offsetOf(at, size)))
            return fail(QStringLiteral("the relocations lie outside the loaded segments"));
        std::optional<quint64> next;
        auto relocate = [&](quint64 where) {
            Addr stored {};
            if (!segmentWith(where, AddrSize, PF_R | PF_W) || !readMemory(where, &stored))
                return fail(QStringLiteral("a relocation writes outside the writable segments"));
            m_relocated[where] = {stored, STN_UNDEF};
            return true;
        };
        for (quint64 i = 0; i < size / AddrSize; ++i) {
            Addr entry {};
            readMemory(at + i * AddrSize, &entry);
            if ((entry & 1) == 0) {
                if (!relocate(entry))
                    return false;
                next = entry + AddrSize;
                continue;
            }
            if (!next)
                return fail(QStringLiteral("packed relocations begin without an address"));
            quint64 bits = entry >> 1;
            for (quint64 k = 0; bits != 0; ++k, bits >>= 1)
                if ((bits & 1) && !relocate(*next + k * AddrSize))
                    return false;
            *next += (8 * AddrSize - 1) * AddrSize;
        }
        return true;
    }

    bool relocations()
    {
        if (ThisMachine.rela) {
            if (!relocationTable<Rela>(DT_RELA, DT_RELASZ, flags(DT_RELACOUNT))
                || !relocationTable<Rela>(DT_JMPREL, DT_PLTRELSZ))
                return false;
        } else {
            if (!relocationTable<Rel>(DT_REL, DT_RELSZ, flags(DT_RELCOUNT))
                || !relocationTable<Rel>(DT_JMPREL, DT_PLTRELSZ))
                return false;
        }
        return packedRelocations();
    }

    // The loader calls every entry of the initialiser arrays (and, when the
    // library is unloaded, of the finaliser array): each must be relocated
    // to code of this library or to a function it names.
    bool initialisers()
    {
        const std::pair<Elf64_Sxword, Elf64_Sxword> arrays[] = {
            {DT_INIT_ARRAY, DT_INIT_ARRAYSZ}, {DT_FINI_ARRAY, DT_FINI_ARRAYSZ}, {DT_PREINIT_ARRAY, DT_PREINIT_ARRAYSZ}};
        for (const auto& [tableTag, sizeTag] : arrays) {
            if (!has(tableTag))
                continue;
            const quint64 at = value(tableTag);
            const quint64 size = value(sizeTag);
            if (size % AddrSize != 0 || !segmentWith(at, size, PF_R))
                return fail(QStringLiteral("an initialiser table lies outside the loaded segments"));
            if (tableTag == DT_PREINIT_ARRAY)
                continue; // a shared object's is never called
            for (quint64 slot = at; slot < at + size; slot += AddrSize) {
                const auto found = m_relocated.find(slot);
                if (found == m_relocated.end())
                    return fail(QStringLiteral("an initialiser that is never relocated"));
                const Relocated* r = &found->second;
                if (r->symbol != STN_UNDEF) {
                    Sym s {};
                    symbol(r->symbol, &s);
                    if (s.st_shndx != SHN_UNDEF && !isCode(s.st_value))
                        return fail(QStringLiteral("an initialiser outside the code"));
                } else if (!isCode(r->target)) {
                    return fail(QStringLiteral("an initialiser outside the code"));
                }
            }
        }
        return true;
    }

    // --- the dynamic entries ---

    bool has(Elf64_Sxword tag) const
    {
        return std::any_of(m_entries.begin(), m_entries.end(), [&](const Dyn& d) { return d.d_tag == tag; });
    }
    // The last entry of the tag, as the loader keeps it.
    quint64 value(Elf64_Sxword tag) const
    {
        quint64 v = 0;
        for (const Dyn& d : m_entries)
            if (d.d_tag == tag)
                v = d.d_un.d_val;
        return v;
    }
    quint64 flags(Elf64_Sxword tag) const { return has(tag) ? value(tag) : 0; }

    // A name in the string table (which ends in a zero).
    QByteArrayView string(quint64 offset) const
    {
        const quint64 at = *offsetOf(m_strtab, m_strsz) + offset;
        return QByteArrayView(m_file.data() + at, qstrlen(m_file.data() + at));
    }
    bool needs(QByteArrayView library) const
    {
        return std::any_of(m_entries.begin(), m_entries.end(), [&](const Dyn& d) {
            return d.d_tag == DT_NEEDED && string(d.d_un.d_val) == library;
        });
    }

    // What the loader writes where, for the places it calls through.
    struct Relocated {
        quint64 target; // for a relative relocation
        quint64 symbol; // for a relocation by symbol
    };

    QByteArrayView m_file;
    QString m_fault;
    Ehdr m_ehdr {};
    std::vector<Segment> m_loads;
    Phdr m_dynamic {};
    Phdr m_tls {};
    bool m_hasTls = false;
    std::vector<Dyn> m_entries;
    quint64 m_strtab = 0;
    quint64 m_strsz = 0;
    quint64 m_symtab = 0;
    quint64 m_symbolCount = 0; // as far as the hash tables reach
    quint64 m_highestVersion = 0;
    std::vector<bool> m_checked;
    std::map<quint64, Relocated> m_relocated;
};

} // namespace

QString sharedObjectFault(QByteArrayView image)
{
    return Checker(image).run();
}

} // namespace vedomec
