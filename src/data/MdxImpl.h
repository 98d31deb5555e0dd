#pragma once
// The in-memory image of a production index, shared by the files that read,
// write and check it (Mdx.cpp, MdxRead.cpp, MdxCreate.cpp).
//
// Layout of a dBASE IV production index, as this store reads and writes it.
//
// The file is counted in 512-byte pages; every pointer in it is a page
// number.  Pages 0-3 hold the file header (bytes 0-47) and the tag table
// (32-byte entries from byte 544, at most 47 tags).  Each tag has a header
// block (root page, key format and type, key length, keys per block, key
// item length, unique flag, key expression from byte 24, FOR clause flag at
// byte 245 and its text from byte 762) and a B-tree of blocks of `pages per
// block` pages (docs/mdx-format.md has the whole layout).  A block starts
// with its key count (4 bytes) and 4 unused bytes; from byte 8 follow the
// key items: a 4-byte pointer (record number in a leaf, child page in an
// interior block) and the key, padded to a multiple of 4.  An interior
// block carries one more child pointer after its last item; in a leaf that
// place holds 0, which is how the two are told apart.
// The key of an interior item is the last key of that child's subtree in
// the tag's order (numeric and date keys by value, a descending tag turned
// round), the trailing pointer leads to the keys after the last one.
//
// Removing keys: a leaf that loses its last key is taken out of its parent
// (and an interior block that loses its last child likewise); a root with a
// single child hands the root over to that child.  Blocks taken out are not
// reused; the file only shrinks when it is created anew.  Blocks are not
// merged, so a tree may hold thinly filled blocks after many removals; every
// block still holds at least one key, and all leaves stay at one depth.
#include "data/Mdx.h"
#include "data/TableFile.h"
#include "platform/Cp1250.h"
#include "platform/Errors.h"

#include <QDate>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <memory>
#include <utility>
#include <vector>

namespace vedomec::data {

namespace mdxdetail {

constexpr int kPageSize = 512;
constexpr uint32_t kFirstTagPage = 4;      // header + tag table fill pages 0-3
constexpr int kHeaderBytes = 48;
constexpr int kTagTableOffset = 544;
constexpr int kTagEntrySize = 32;
constexpr int kTagTableEntries = 48;
constexpr int kMaxTags = 47;
constexpr int kMaxKeyLength = kMaxIndexKeyLength;

// A zero-ended text of at most `room` bytes in a header, blanks trimmed.
inline QString headerText(const unsigned char* at, int room)
{
    const char* p = reinterpret_cast<const char*>(at);
    int len = 0;
    while (len < room && p[len] != 0)
        ++len;
    return cp1250ToUnicode(p, len).trimmed();
}
constexpr int kMaxDepth = 32;
constexpr int kCreatePagesPerBlock = 2;    // the dBASE IV default block of 1024 bytes
constexpr int kExpressionOffset = 24;
constexpr int kExpressionMax = 220;
constexpr int kForFlagOffset = 245;   // 1 when the tag has a FOR clause
constexpr int kForOffset = 762;       // the FOR clause's text
constexpr uint8_t kFormatDescending = 0x08;
constexpr uint8_t kFormatFieldKey = 0x10;
constexpr uint8_t kFormatUnique = 0x40;
static_assert(kForOffset + kExpressionMax <= kCreatePagesPerBlock * kPageSize,
              "the header blocks this store writes hold the FOR clause");
constexpr qint64 kMaxFileSize = qint64(1) << 30;

inline uint16_t rd16(const unsigned char* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t rd32(const unsigned char* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline void wr16(unsigned char* p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void wr32(unsigned char* p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

inline void writeDate(unsigned char* p)
{
    const QDate today = updateStampDate();
    p[0] = uint8_t(std::clamp(today.year() - 1900, 0, 255));
    p[1] = uint8_t(today.month());
    p[2] = uint8_t(today.day());
}

inline QString errnoText() { return QString::fromLocal8Bit(std::strerror(errno)); }

inline bool validTagName(const QString& name)
{
    if (name.isEmpty() || name.size() > 10 || !name.at(0).isLetter())
        return false;
    for (QChar c : name)
        if (!(c.isDigit() || c == u'_' || (c.unicode() < 128 && c.isLetter())))
            return false;
    return true;
}

struct Node {
    uint32_t page = 0;
    uint32_t parent = 0;          // 0: this block is the root
    uint32_t prev = 0, next = 0;  // neighbouring leaves in key order
    int tag = -1;
    int n = 0;
    bool leaf = true;
    bool live = true;
    std::vector<char> keys;       // n keys of the tag's key length
    std::vector<uint32_t> ptrs;   // leaf: n record numbers; interior: n + 1 child pages
};

struct TagInfo {
    QString name;
    QString expression;
    QString forClause;
    bool unique = false;
    bool uniqueBitOnly = false; // the key format says unique, the unique flag does not
    bool descending = false;
    uint32_t headerPage = 0;
    uint32_t root = 0;
    int keyLen = 0;
    int itemLen = 0;
    int maxKeys = 0;
    char type = 'C';
    int count = 0;
};

} // namespace mdxdetail

using namespace mdxdetail;

struct MdxFile::Impl {
    QString path;
    std::unique_ptr<TableFile> file; // the file's bytes as they are on disk
    bool writable = false;
    bool broken = false;
    int pagesPerBlock = kCreatePagesPerBlock;
    int blockBytes = kCreatePagesPerBlock * kPageSize;
    uint32_t nextPage = 0;  // where the next new block goes
    unsigned char header[kHeaderBytes] = {};
    std::vector<TagInfo> tags;
    std::deque<Node> nodes; // a deque keeps references stable while blocks are added
    std::vector<Node*> pageIndex; // page -> its block, nullptr for none

    std::vector<Node*> dirty;
    std::vector<int> dirtyTagHeaders;
    bool headerDirty = false;
    std::vector<unsigned char> block;

    [[noreturn]] void damaged(const QString& why) const
    {
        throw EIndexDamaged(QStringLiteral("Index file %1 is damaged: %2").arg(path, why));
    }

    Node* node(uint32_t page)
    {
        return page < pageIndex.size() ? pageIndex[page] : nullptr;
    }
    const Node* node(uint32_t page) const { return const_cast<Impl*>(this)->node(page); }

    const char* keyAt(const Node& nd, int slot) const
    {
        return nd.keys.data() + size_t(slot) * size_t(tags[size_t(nd.tag)].keyLen);
    }

    void load(const QByteArray& image);
    void loadTag(int t, const unsigned char* data, uint32_t filePages, std::vector<uint8_t>& used);

    // Position helpers
    const Node* leafAt(int tag, Position p) const
    {
        if (tag < 0 || tag >= int(tags.size()) || p.slot < 0)
            return nullptr;
        const Node* nd = node(p.page);
        if (!nd || !nd->live || !nd->leaf || nd->tag != tag || p.slot >= nd->n)
            return nullptr;
        return nd;
    }
    Position firstFrom(const Node* nd) const
    {
        while (nd && nd->n == 0)
            nd = nd->next ? node(nd->next) : nullptr;
        return nd ? Position{nd->page, 0} : Position{};
    }
    Position lastFrom(const Node* nd) const
    {
        while (nd && nd->n == 0)
            nd = nd->prev ? node(nd->prev) : nullptr;
        return nd ? Position{nd->page, nd->n - 1} : Position{};
    }
    // Order of two keys of a tag, as the tag keeps them.
    int compare(const TagInfo& ti, const char* a, const char* b) const
    {
        return mdxkey::compare(ti.type, ti.descending, a, b, ti.keyLen);
    }
    // The leaf and slot of the first entry whose key is not before `key`;
    // the slot may be one past the leaf's last entry.
    std::pair<Node*, int> lowerBound(int tag, const char* key)
    {
        const TagInfo& ti = tags[size_t(tag)];
        const size_t kl = size_t(ti.keyLen);
        const auto firstNotBefore = [&](const Node* nd, int count) {
            int lo = 0, hi = count;
            while (lo < hi) {
                const int mid = (lo + hi) / 2;
                if (compare(ti, nd->keys.data() + size_t(mid) * kl, key) < 0)
                    lo = mid + 1;
                else
                    hi = mid;
            }
            return lo;
        };
        Node* nd = node(ti.root);
        while (nd && !nd->leaf)
            nd = node(nd->ptrs[size_t(firstNotBefore(nd, nd->n))]);
        if (!nd)
            return {nullptr, 0};
        return {nd, firstNotBefore(nd, nd->n)};
    }
    void padKey(int tag, const QByteArray& key, char* out) const
    {
        const int kl = tags[size_t(tag)].keyLen;
        const int n = std::min<int>(kl, int(key.size()));
        std::memcpy(out, key.constData(), size_t(n));
        std::memset(out + n, ' ', size_t(kl - n));
    }

    // Upkeep
    Node& newNode(int tag, bool leaf);
    void freeNode(Node& nd);
    void insertInParent(Node& left, const char* sep, Node& right);
    void removeEmpty(Node& nd);
    void markDirty(Node& nd)
    {
        if (std::find(dirty.begin(), dirty.end(), &nd) == dirty.end())
            dirty.push_back(&nd);
    }
    void markTagHeader(int tag)
    {
        if (std::find(dirtyTagHeaders.begin(), dirtyTagHeaders.end(), tag) == dirtyTagHeaders.end())
            dirtyTagHeaders.push_back(tag);
    }
    void serialize(const Node& nd, unsigned char* out) const;
    void flush();
    void ensureWritable() const
    {
        if (!writable)
            throw EDatabaseError(QStringLiteral("Index file %1 is open for reading only").arg(path));
        if (broken)
            throw EDatabaseError(QStringLiteral("Index file %1 could not be written earlier and must be rebuilt").arg(path));
    }
};

} // namespace vedomec::data
