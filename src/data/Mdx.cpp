#include "data/Mdx.h"

#include "data/TableFile.h"
#include "platform/Cp1250.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"

#include <QDate>
#include <QFile>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <deque>
#include <functional>
#include <numeric>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

namespace vedomec::data {

namespace {

constexpr int kPageSize = 512;
constexpr uint32_t kFirstTagPage = 4;      // header + tag table fill pages 0-3
constexpr int kHeaderBytes = 48;
constexpr int kTagTableOffset = 544;
constexpr int kTagEntrySize = 32;
constexpr int kTagTableEntries = 48;
constexpr int kMaxTags = 47;
constexpr int kMaxKeyLength = kMaxIndexKeyLength;

// A zero-ended text of at most `room` bytes in a header, blanks trimmed.
QString headerText(const unsigned char* at, int room)
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

void writeDate(unsigned char* p)
{
    const QDate today = updateStampDate();
    p[0] = uint8_t(std::clamp(today.year() - 1900, 0, 255));
    p[1] = uint8_t(today.month());
    p[2] = uint8_t(today.day());
}

QString errnoText() { return QString::fromLocal8Bit(std::strerror(errno)); }

bool validTagName(const QString& name)
{
    if (name.isEmpty() || name.size() > 10 || !name.at(0).isLetter())
        return false;
    for (QChar c : name)
        if (!(c.isDigit() || c == u'_' || (c.unicode() < 128 && c.isLetter())))
            return false;
    return true;
}

} // namespace

// ---------------------------------------------------------------------------
// In-memory image of the index

namespace {

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
    bool descending = false;
    uint32_t headerPage = 0;
    uint32_t root = 0;
    int keyLen = 0;
    int itemLen = 0;
    int maxKeys = 0;
    char type = 'C';
    int count = 0;
};

} // namespace

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

void MdxFile::Impl::load(const QByteArray& image)
{
    const auto* data = reinterpret_cast<const unsigned char*>(image.constData());
    const qint64 size = image.size();
    if (size < qint64(kFirstTagPage) * kPageSize)
        damaged(QStringLiteral("the file is shorter than its header"));
    if (data[0] != 2)
        damaged(QStringLiteral("unknown version %1").arg(data[0]));
    pagesPerBlock = rd16(data + 20);
    blockBytes = rd16(data + 22);
    if (pagesPerBlock < 1 || pagesPerBlock > 32 || blockBytes != pagesPerBlock * kPageSize)
        damaged(QStringLiteral("wrong block size (%1 pages, %2 bytes)").arg(pagesPerBlock).arg(blockBytes));
    const int entries = data[25];
    const int entryLen = data[26];
    const int tagCount = rd16(data + 28);
    if (entryLen != kTagEntrySize || entries < 1 || entries > kTagTableEntries || tagCount > kMaxTags)
        damaged(QStringLiteral("the tag table is not valid"));
    std::memcpy(header, data, kHeaderBytes);

    const uint32_t filePages = uint32_t(size / kPageSize);
    std::vector<uint8_t> used(filePages, 0);
    std::fill(used.begin(), used.begin() + kFirstTagPage, 1);
    pageIndex.assign(filePages, nullptr);
    tags.clear();
    nodes.clear();
    for (int t = 0; t < tagCount; ++t)
        loadTag(t, data, filePages, used);

    const uint32_t endPages = uint32_t((size + kPageSize - 1) / kPageSize);
    const uint32_t headerPages = rd32(data + 32);
    nextPage = endPages;
    if (headerPages > endPages && headerPages - endPages <= 64u * uint32_t(pagesPerBlock))
        nextPage = headerPages;
}

void MdxFile::Impl::loadTag(int t, const unsigned char* data, uint32_t filePages, std::vector<uint8_t>& used)
{
    const unsigned char* entry = data + kTagTableOffset + t * kTagEntrySize;
    TagInfo ti;
    ti.name = headerText(entry + 4, 11);
    const QString tagLabel = QStringLiteral("tag %1").arg(t + 1);
    const auto claim = [&](uint32_t page, const QString& what) {
        if (page < kFirstTagPage || uint64_t(page) + uint64_t(pagesPerBlock) > filePages)
            damaged(QStringLiteral("%1 of %2 points to page %3 outside the file").arg(what, tagLabel).arg(page));
        for (int i = 0; i < pagesPerBlock; ++i) {
            if (used[page + uint32_t(i)])
                damaged(QStringLiteral("page %1 is used twice (%2)").arg(page + uint32_t(i)).arg(tagLabel));
            used[page + uint32_t(i)] = 1;
        }
    };
    ti.headerPage = rd32(entry);
    claim(ti.headerPage, QStringLiteral("the header"));
    const unsigned char* th = data + size_t(ti.headerPage) * kPageSize;
    ti.root = rd32(th);
    ti.type = char(th[9]);
    ti.keyLen = rd16(th + 12);
    ti.maxKeys = rd16(th + 14);
    ti.itemLen = rd16(th + 18);
    if (ti.type != 'C' && ti.type != 'N' && ti.type != 'D')
        damaged(QStringLiteral("%1 has an unknown key type").arg(tagLabel));
    if (ti.keyLen < 1 || ti.keyLen > kMaxKeyLength)
        damaged(QStringLiteral("%1 has an absurd key length %2").arg(tagLabel).arg(ti.keyLen));
    if (ti.itemLen < ti.keyLen + 4 || ti.itemLen > ti.keyLen + 8 || ti.itemLen % 4 != 0)
        damaged(QStringLiteral("%1 has a wrong key item length %2").arg(tagLabel).arg(ti.itemLen));
    if (ti.maxKeys < 2 || 8 + ti.maxKeys * ti.itemLen + 4 > blockBytes)
        damaged(QStringLiteral("%1 claims %2 keys per block, which do not fit").arg(tagLabel).arg(ti.maxKeys));
    const auto text = [th](int offset, int room) { return headerText(th + offset, room); };
    ti.expression = text(kExpressionOffset, std::min(kExpressionMax, blockBytes - kExpressionOffset));
    if (ti.expression.isEmpty())
        damaged(QStringLiteral("%1 has no key expression").arg(tagLabel));
    // The FOR clause lives beyond the header's first page: a header block of
    // one page has no room for it.
    if (th[kForFlagOffset] != 0) {
        if (blockBytes <= kForOffset)
            damaged(QStringLiteral("%1 claims a FOR clause its header block has no room for").arg(tagLabel));
        ti.forClause = text(kForOffset, std::min(kExpressionMax, blockBytes - kForOffset));
    }
    ti.unique = (th[8] & kFormatUnique) != 0 || th[23] != 0;
    ti.descending = (th[8] & kFormatDescending) != 0;
    tags.push_back(ti);
    TagInfo& tag = tags.back();

    struct Item {
        uint32_t page;
        uint32_t parent;
        int depth;
    };
    std::vector<Item> stack{{tag.root, 0, 1}};
    int leafDepth = -1;
    Node* prevLeaf = nullptr;
    const size_t kl = size_t(tag.keyLen);
    while (!stack.empty()) {
        const Item it = stack.back();
        stack.pop_back();
        if (it.depth > kMaxDepth)
            damaged(QStringLiteral("the tree of %1 is deeper than %2 levels").arg(tagLabel).arg(kMaxDepth));
        claim(it.page, it.parent ? QStringLiteral("a child pointer of page %1").arg(it.parent)
                                 : QStringLiteral("the root pointer"));
        const unsigned char* b = data + size_t(it.page) * kPageSize;
        const uint32_t n = rd32(b);
        if (n > uint32_t(tag.maxKeys))
            damaged(QStringLiteral("page %1 holds %2 keys, more than the %3 a block of %4 can hold")
                        .arg(it.page).arg(n).arg(tag.maxKeys).arg(tagLabel));
        const bool leaf = rd32(b + 8 + n * uint32_t(tag.itemLen)) == 0;
        nodes.emplace_back();
        Node& nd = nodes.back();
        pageIndex[it.page] = &nd;
        nd.page = it.page;
        nd.parent = it.parent;
        nd.tag = t;
        nd.n = int(n);
        nd.leaf = leaf;
        nd.keys.reserve(size_t(tag.maxKeys + 1) * kl);
        nd.ptrs.reserve(size_t(tag.maxKeys + 2));
        for (uint32_t i = 0; i < n; ++i) {
            const unsigned char* item = b + 8 + i * uint32_t(tag.itemLen);
            nd.ptrs.push_back(rd32(item));
            nd.keys.insert(nd.keys.end(), item + 4, item + 4 + kl);
        }
        if (leaf) {
            if (leafDepth < 0)
                leafDepth = it.depth;
            else if (leafDepth != it.depth)
                damaged(QStringLiteral("the leaves of %1 lie at different depths").arg(tagLabel));
            for (uint32_t r : nd.ptrs)
                if (r == 0)
                    damaged(QStringLiteral("page %1 holds record number 0").arg(it.page));
            if (prevLeaf) {
                prevLeaf->next = nd.page;
                nd.prev = prevLeaf->page;
            }
            prevLeaf = &nd;
            tag.count += int(n);
        } else {
            nd.ptrs.push_back(rd32(b + 8 + n * uint32_t(tag.itemLen)));
            for (size_t i = nd.ptrs.size(); i-- > 0;) {
                if (nd.ptrs[i] == 0)
                    damaged(QStringLiteral("page %1 has an empty child pointer").arg(it.page));
                stack.push_back({nd.ptrs[i], it.page, it.depth + 1});
            }
        }
    }
}

// ---------------------------------------------------------------------------
// Writing

void MdxFile::Impl::serialize(const Node& nd, unsigned char* out) const
{
    const TagInfo& ti = tags[size_t(nd.tag)];
    std::memset(out, 0, size_t(blockBytes));
    wr32(out, uint32_t(nd.n));
    for (int i = 0; i < nd.n; ++i) {
        unsigned char* item = out + 8 + i * ti.itemLen;
        wr32(item, nd.ptrs[size_t(i)]);
        std::memcpy(item + 4, keyAt(nd, i), size_t(ti.keyLen));
    }
    if (!nd.leaf)
        wr32(out + 8 + nd.n * ti.itemLen, nd.ptrs[size_t(nd.n)]);
}

Node& MdxFile::Impl::newNode(int tag, bool leaf)
{
    const uint64_t end = uint64_t(nextPage) + uint64_t(pagesPerBlock);
    if (end * kPageSize > uint64_t(kMaxFileSize))
        throw EDatabaseError(QStringLiteral("Index file %1 is full").arg(path));
    const uint32_t page = nextPage;
    nextPage = uint32_t(end);
    if (pageIndex.size() < nextPage)
        pageIndex.resize(nextPage, nullptr);
    nodes.emplace_back();
    Node& nd = nodes.back();
    pageIndex[page] = &nd;
    nd.page = page;
    nd.tag = tag;
    nd.leaf = leaf;
    const TagInfo& ti = tags[size_t(tag)];
    nd.keys.reserve(size_t(ti.maxKeys + 1) * size_t(ti.keyLen));
    nd.ptrs.reserve(size_t(ti.maxKeys + 2));
    markDirty(nd);
    headerDirty = true;
    markTagHeader(tag);
    return nd;
}

void MdxFile::Impl::freeNode(Node& nd)
{
    nd.live = false;
    pageIndex[nd.page] = nullptr;
    nd.keys.clear();
    nd.keys.shrink_to_fit();
    nd.ptrs.clear();
    nd.ptrs.shrink_to_fit();
}

void MdxFile::Impl::flush()
{
    block.resize(size_t(blockBytes));
    try {
        // New blocks sort last by page, so children reach the disk before the
        // blocks that point to them.
        std::sort(dirty.begin(), dirty.end(), [](const Node* a, const Node* b) { return a->page > b->page; });
        for (Node* nd : dirty) {
            if (!nd->live)
                continue;
            serialize(*nd, block.data());
            file->write(qint64(nd->page) * kPageSize, reinterpret_cast<const char*>(block.data()), qint64(block.size()));
        }
        dirty.clear();
        for (int t : dirtyTagHeaders) {
            unsigned char buf[8];
            wr32(buf, tags[size_t(t)].root);
            wr32(buf + 4, nextPage);
            file->write(qint64(tags[size_t(t)].headerPage) * kPageSize, reinterpret_cast<const char*>(buf), sizeof buf);
        }
        dirtyTagHeaders.clear();
        if (headerDirty) {
            wr32(header + 32, nextPage);
            writeDate(header + 44);
            file->write(0, reinterpret_cast<const char*>(header), kHeaderBytes);
            headerDirty = false;
        }
    } catch (...) {
        broken = true;
        dirty.clear();
        dirtyTagHeaders.clear();
        headerDirty = false;
        throw;
    }
}

void MdxFile::Impl::insertInParent(Node& left, const char* sep, Node& right)
{
    const int tag = left.tag;
    TagInfo& ti = tags[size_t(tag)];
    const size_t kl = size_t(ti.keyLen);
    if (left.parent == 0) {
        Node& root = newNode(tag, false);
        root.n = 1;
        root.keys.assign(sep, sep + kl);
        root.ptrs = {left.page, right.page};
        left.parent = root.page;
        right.parent = root.page;
        ti.root = root.page;
        markTagHeader(tag);
        return;
    }
    Node& p = *node(left.parent);
    const size_t i = size_t(std::find(p.ptrs.begin(), p.ptrs.end(), left.page) - p.ptrs.begin());
    p.keys.insert(p.keys.begin() + ptrdiff_t(i * kl), sep, sep + kl);
    p.ptrs.insert(p.ptrs.begin() + ptrdiff_t(i + 1), right.page);
    ++p.n;
    right.parent = p.page;
    markDirty(p);
    if (p.n <= ti.maxKeys)
        return;
    // Split the interior block: the middle key moves up.
    const int total = p.n;
    const int m = total / 2;
    char promoted[kMaxKeyLength];
    std::memcpy(promoted, p.keys.data() + size_t(m) * kl, kl);
    Node& r = newNode(tag, false);
    r.keys.assign(p.keys.begin() + ptrdiff_t(size_t(m + 1) * kl), p.keys.end());
    r.ptrs.assign(p.ptrs.begin() + m + 1, p.ptrs.end());
    r.n = total - m - 1;
    p.keys.resize(size_t(m) * kl);
    p.ptrs.resize(size_t(m + 1));
    p.n = m;
    for (uint32_t child : r.ptrs)
        node(child)->parent = r.page;
    insertInParent(p, promoted, r);
}

void MdxFile::Impl::removeEmpty(Node& nd)
{
    const int tag = nd.tag;
    TagInfo& ti = tags[size_t(tag)];
    const size_t kl = size_t(ti.keyLen);
    if (nd.leaf) {
        if (nd.prev)
            node(nd.prev)->next = nd.next;
        if (nd.next)
            node(nd.next)->prev = nd.prev;
    }
    Node& p = *node(nd.parent);
    const size_t i = size_t(std::find(p.ptrs.begin(), p.ptrs.end(), nd.page) - p.ptrs.begin());
    p.ptrs.erase(p.ptrs.begin() + ptrdiff_t(i));
    if (p.n > 0) {
        const size_t k = i < size_t(p.n) ? i : i - 1;
        p.keys.erase(p.keys.begin() + ptrdiff_t(k * kl), p.keys.begin() + ptrdiff_t((k + 1) * kl));
        --p.n;
    }
    freeNode(nd);
    if (p.ptrs.empty()) {
        if (p.parent == 0) {
            // The tree is empty: its root becomes an empty leaf.
            p.leaf = true;
            p.n = 0;
            p.keys.clear();
            p.prev = p.next = 0;
            markDirty(p);
        } else {
            removeEmpty(p);
        }
        return;
    }
    markDirty(p);
    Node* root = node(ti.root);
    while (root && !root->leaf && root->n == 0) {
        Node* child = node(root->ptrs[0]);
        child->parent = 0;
        ti.root = child->page;
        markTagHeader(tag);
        freeNode(*root);
        root = child;
    }
}

// ---------------------------------------------------------------------------
// MdxFile

MdxFile::MdxFile() : d(std::make_unique<Impl>()) {}

MdxFile::~MdxFile() = default;

std::unique_ptr<MdxFile> MdxFile::open(const QString& path, bool writable)
{
    std::unique_ptr<TableFile> file = TableFile::open(path, writable, TableFile::Kind::Index);
    file->load(kMaxFileSize);
    return fromFile(std::move(file));
}

std::unique_ptr<MdxFile> MdxFile::fromFile(std::unique_ptr<TableFile> file)
{
    std::unique_ptr<MdxFile> mdx(new MdxFile());
    Impl& d = *mdx->d;
    d.path = file->path();
    d.writable = file->writable();
    d.file = std::move(file);
    d.load(d.file->bytes());
    return mdx;
}

void MdxFile::reload()
{
    d->file->load(kMaxFileSize);
    reparse();
}

void MdxFile::reparse()
{
    d->dirty.clear();
    d->dirtyTagHeaders.clear();
    d->headerDirty = false;
    d->broken = false;
    d->load(d->file->bytes());
}

TableFile& MdxFile::file() const
{
    return *d->file;
}

uint32_t MdxFile::headerPageCount() const
{
    return rd32(d->header + 32);
}

uint32_t MdxFile::filePageCount() const
{
    return uint32_t((d->file->size() + kPageSize - 1) / kPageSize);
}

void MdxFile::create(const QString& path,
                     const QString& dbfBaseName,
                     const std::vector<MdxTagSpec>& tagSpecs,
                     const std::vector<MdxFieldRef>& fields,
                     const std::vector<const char*>& records)
{
    if (tagSpecs.empty() || int(tagSpecs.size()) > kMaxTags)
        throw EDatabaseError(QStringLiteral("Index file %1 needs between 1 and %2 tags").arg(path).arg(kMaxTags));
    std::vector<MdxKeyExpression> expressions;
    std::vector<std::optional<MdxForClause>> clauses;
    QStringList names;
    for (const MdxTagSpec& spec : tagSpecs) {
        const QString name = spec.name.trimmed().toUpper();
        if (!validTagName(name))
            throw EDatabaseError(QStringLiteral("Tag name '%1' is not valid").arg(spec.name));
        if (names.contains(name))
            throw EDatabaseError(QStringLiteral("Tag name '%1' is used twice").arg(spec.name));
        if (unicodeToCp1250(spec.expression.trimmed()).size() >= kExpressionMax)
            throw EDatabaseError(QStringLiteral("Index expression '%1' is not supported").arg(spec.expression));
        if (unicodeToCp1250(spec.forClause.trimmed()).size() >= kExpressionMax)
            throw EDatabaseError(QStringLiteral("FOR clause '%1' is not supported").arg(spec.forClause));
        names << name;
        expressions.push_back(MdxKeyExpression::parse(spec.expression, fields));
        clauses.push_back(spec.forClause.trimmed().isEmpty()
                              ? std::nullopt
                              : std::optional<MdxForClause>(MdxForClause::parse(spec.forClause, fields)));
    }

    const int ppb = kCreatePagesPerBlock;
    const int blockBytes = ppb * kPageSize;
    std::vector<unsigned char> image(size_t(kFirstTagPage) * kPageSize, 0);
    uint32_t nextPage = kFirstTagPage;
    const auto allocate = [&]() {
        const uint32_t page = nextPage;
        nextPage += uint32_t(ppb);
        if (uint64_t(nextPage) * kPageSize > uint64_t(kMaxFileSize))
            throw EDatabaseError(QStringLiteral("Index file %1 would be too large").arg(path));
        image.resize(size_t(nextPage) * kPageSize, 0);
        return page;
    };

    std::vector<uint32_t> tagHeaders;
    for (size_t t = 0; t < tagSpecs.size(); ++t) {
        const MdxKeyExpression& expr = expressions[t];
        const int keyLen = std::clamp(expr.naturalLength(), 1, kMaxKeyLength);
        const int itemLen = 4 + (keyLen + 3) / 4 * 4;
        const int maxKeys = (blockBytes - 12) / itemLen;
        const uint32_t headerPage = allocate();
        tagHeaders.push_back(headerPage);

        // Keys of the records the FOR clause admits, sorted in the tag's
        // order and then by record number; a unique tag keeps the first
        // record of each key.
        const MdxTagSpec& spec = tagSpecs[t];
        const char type = expr.type();
        std::vector<uint32_t> members; // record indexes from 0
        for (size_t r = 0; r < records.size(); ++r)
            if (!clauses[t] || clauses[t]->holds(records[r]))
                members.push_back(uint32_t(r));
        std::vector<char> keys(records.size() * size_t(keyLen));
        for (uint32_t r : members) {
            const QByteArray k = expr.evaluate(records[r], keyLen);
            std::memcpy(keys.data() + r * size_t(keyLen), k.constData(), size_t(std::min<qsizetype>(keyLen, k.size())));
        }
        const auto keyOf = [&](uint32_t r) { return keys.data() + r * size_t(keyLen); };
        const auto before = [&](uint32_t a, uint32_t b) {
            return mdxkey::compare(type, spec.descending, keyOf(a), keyOf(b), keyLen) < 0;
        };
        std::vector<uint32_t> order = members;
        std::stable_sort(order.begin(), order.end(), before);
        if (spec.unique)
            order.erase(std::unique(order.begin(), order.end(),
                                    [&](uint32_t a, uint32_t b) { return !before(a, b) && !before(b, a); }),
                        order.end());
        const size_t count = order.size();

        // Leaves, then the levels above, each evenly filled.
        struct Built {
            uint32_t page;
            uint32_t lastEntry; // index into `order` of the subtree's greatest key
        };
        std::vector<Built> level;
        const size_t leaves = count == 0 ? 1 : (count + size_t(maxKeys) - 1) / size_t(maxKeys);
        for (size_t j = 0; j < leaves; ++j) {
            const size_t from = j * count / leaves;
            const size_t to = (j + 1) * count / leaves;
            const uint32_t page = allocate();
            unsigned char* b = image.data() + size_t(page) * kPageSize;
            wr32(b, uint32_t(to - from));
            for (size_t e = from; e < to; ++e) {
                unsigned char* item = b + 8 + (e - from) * size_t(itemLen);
                wr32(item, order[e] + 1);
                std::memcpy(item + 4, keyOf(order[e]), size_t(keyLen));
            }
            level.push_back({page, uint32_t(to == 0 ? 0 : to - 1)});
        }
        while (level.size() > 1) {
            std::vector<Built> up;
            const size_t groups = (level.size() + size_t(maxKeys)) / size_t(maxKeys + 1);
            for (size_t g = 0; g < groups; ++g) {
                const size_t from = g * level.size() / groups;
                const size_t to = (g + 1) * level.size() / groups;
                const uint32_t page = allocate();
                unsigned char* b = image.data() + size_t(page) * kPageSize;
                const size_t n = to - from - 1;
                wr32(b, uint32_t(n));
                for (size_t c = from; c < to; ++c) {
                    unsigned char* item = b + 8 + (c - from) * size_t(itemLen);
                    wr32(item, level[c].page);
                    if (c + 1 < to)
                        std::memcpy(item + 4, keyOf(order[level[c].lastEntry]), size_t(keyLen));
                }
                up.push_back({page, level[to - 1].lastEntry});
            }
            level.swap(up);
        }

        unsigned char* th = image.data() + size_t(headerPage) * kPageSize;
        wr32(th, level.front().page);
        const QString exprText = tagSpecs[t].expression.trimmed();
        const bool singleField = !exprText.contains(u'+') && !exprText.contains(u'(');
        const uint8_t fieldKey = singleField ? kFormatFieldKey : 0;
        th[8] = uint8_t(fieldKey | (spec.descending ? kFormatDescending : 0) | (spec.unique ? kFormatUnique : 0));
        th[9] = uint8_t(type);
        wr16(th + 12, uint16_t(keyLen));
        wr16(th + 14, uint16_t(maxKeys));
        wr16(th + 16, type == 'D' ? 1 : 0);
        wr16(th + 18, uint16_t(itemLen));
        th[23] = spec.unique ? 1 : 0;
        const QByteArray exprBytes = unicodeToCp1250(exprText);
        std::memcpy(th + kExpressionOffset, exprBytes.constData(), size_t(exprBytes.size()));
        if (clauses[t]) {
            th[kForFlagOffset] = 1;
            const QByteArray forBytes = unicodeToCp1250(spec.forClause.trimmed());
            std::memcpy(th + kForOffset, forBytes.constData(), size_t(forBytes.size()));
        }

        unsigned char* entry = image.data() + kTagTableOffset + t * kTagEntrySize;
        wr32(entry, headerPage);
        const QByteArray nameBytes = names[int(t)].toLatin1();
        std::memcpy(entry + 4, nameBytes.constData(), size_t(nameBytes.size()));
        entry[15] = fieldKey;
        entry[20] = uint8_t(type);
    }
    // The tag table threads the tags into a binary tree ordered by name:
    // byte 16 leads to a smaller name, byte 17 to a greater, byte 18 back to
    // the parent (tag numbers from 1, 0 for none).
    for (size_t t = 1; t < tagSpecs.size(); ++t) {
        size_t at = 0;
        for (;;) {
            unsigned char* e = image.data() + kTagTableOffset + at * kTagEntrySize;
            const int slot = names[int(t)] < names[int(at)] ? 16 : 17;
            if (e[slot] == 0) {
                e[slot] = uint8_t(t + 1);
                image[kTagTableOffset + t * kTagEntrySize + 18] = uint8_t(at + 1);
                break;
            }
            at = size_t(e[slot] - 1);
        }
    }
    for (uint32_t page : tagHeaders)
        wr32(image.data() + size_t(page) * kPageSize + 4, nextPage);

    unsigned char* h = image.data();
    h[0] = 2;
    writeDate(h + 1);
    const QByteArray base = unicodeToCp1250(dbfBaseName).left(16);
    std::memcpy(h + 4, base.constData(), size_t(base.size()));
    wr16(h + 20, uint16_t(ppb));
    wr16(h + 22, uint16_t(blockBytes));
    h[24] = 1; // production index
    h[25] = kTagTableEntries;
    h[26] = kTagEntrySize;
    wr16(h + 28, uint16_t(tagSpecs.size()));
    wr32(h + 32, nextPage);
    wr32(h + 36, 0);
    wr32(h + 40, 0);
    writeDate(h + 44);

    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (errno == EEXIST)
            throw EDatabaseError(QStringLiteral("Index file %1 already exists").arg(path));
        throw EDatabaseError(QStringLiteral("Index file %1 cannot be created: %2").arg(path, errnoText()));
    }
    int error = 0;
    if (!fs::writeAt(fd, reinterpret_cast<const char*>(image.data()), qint64(image.size()), 0, &error)) {
        ::close(fd);
        ::unlink(native.constData());
        throw EDatabaseError(QStringLiteral("Index file %1 cannot be written: %2")
                                 .arg(path, QString::fromLocal8Bit(std::strerror(error))));
    }
    ::fsync(fd);
    ::close(fd);
}

std::vector<MdxTagSpec> MdxFile::readTagSpecs(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw EIndexDamaged(QStringLiteral("Index file %1 cannot be opened: %2").arg(path, f.errorString()));
    if (f.size() > kMaxFileSize)
        throw EIndexDamaged(QStringLiteral("Index file %1 is damaged: the file is too large").arg(path));
    const QByteArray image = f.readAll();
    const auto* data = reinterpret_cast<const unsigned char*>(image.constData());
    const auto damaged = [&](const QString& why) {
        return EIndexDamaged(QStringLiteral("Index file %1 is damaged: %2").arg(path, why));
    };
    if (image.size() < qint64(kFirstTagPage) * kPageSize || data[0] != 2)
        throw damaged(QStringLiteral("the header cannot be read"));
    const int pagesPerBlock = rd16(data + 20);
    const int blockBytes = rd16(data + 22);
    const int tagCount = rd16(data + 28);
    if (pagesPerBlock < 1 || pagesPerBlock > 32 || blockBytes != pagesPerBlock * kPageSize || tagCount > kMaxTags
        || data[26] != kTagEntrySize)
        throw damaged(QStringLiteral("the header cannot be read"));
    const uint32_t filePages = uint32_t(image.size() / kPageSize);
    std::vector<MdxTagSpec> specs;
    for (int t = 0; t < tagCount; ++t) {
        const unsigned char* entry = data + kTagTableOffset + t * kTagEntrySize;
        const uint32_t headerPage = rd32(entry);
        if (headerPage < kFirstTagPage || uint64_t(headerPage) + uint64_t(pagesPerBlock) > filePages)
            throw damaged(QStringLiteral("the header of tag %1 lies outside the file").arg(t + 1));
        const unsigned char* th = data + size_t(headerPage) * kPageSize;
        const auto text = [th](int offset, int room) { return headerText(th + offset, room); };
        MdxTagSpec spec;
        spec.name = headerText(entry + 4, 11);
        spec.expression = text(kExpressionOffset, std::min(kExpressionMax, blockBytes - kExpressionOffset));
        if (th[kForFlagOffset] != 0 && blockBytes > kForOffset)
            spec.forClause = text(kForOffset, std::min(kExpressionMax, blockBytes - kForOffset));
        spec.unique = (th[8] & kFormatUnique) != 0 || th[23] != 0;
        spec.descending = (th[8] & kFormatDescending) != 0;
        if (spec.name.isEmpty() || spec.expression.isEmpty())
            throw damaged(QStringLiteral("tag %1 has no name or no expression").arg(t + 1));
        specs.push_back(spec);
    }
    return specs;
}

QString MdxFile::path() const { return d->path; }
int MdxFile::tagCount() const { return int(d->tags.size()); }

QString MdxFile::tagName(int tag) const
{
    return tag >= 0 && tag < tagCount() ? d->tags[size_t(tag)].name : QString();
}

QString MdxFile::tagExpression(int tag) const
{
    return tag >= 0 && tag < tagCount() ? d->tags[size_t(tag)].expression : QString();
}

int MdxFile::keyLength(int tag) const
{
    return tag >= 0 && tag < tagCount() ? d->tags[size_t(tag)].keyLen : 0;
}

char MdxFile::keyType(int tag) const
{
    return tag >= 0 && tag < tagCount() ? d->tags[size_t(tag)].type : '\0';
}

QString MdxFile::tagForClause(int tag) const
{
    return tag >= 0 && tag < tagCount() ? d->tags[size_t(tag)].forClause : QString();
}

bool MdxFile::tagUnique(int tag) const
{
    return tag >= 0 && tag < tagCount() && d->tags[size_t(tag)].unique;
}

bool MdxFile::tagDescending(int tag) const
{
    return tag >= 0 && tag < tagCount() && d->tags[size_t(tag)].descending;
}

int MdxFile::compareKeys(int tag, const QByteArray& a, const QByteArray& b) const
{
    if (tag < 0 || tag >= tagCount())
        return 0;
    char x[kMaxKeyLength], y[kMaxKeyLength];
    d->padKey(tag, a, x);
    d->padKey(tag, b, y);
    return d->compare(d->tags[size_t(tag)], x, y);
}

int MdxFile::entryCount(int tag) const
{
    return tag >= 0 && tag < tagCount() ? d->tags[size_t(tag)].count : 0;
}

int MdxFile::findTag(const QString& name) const
{
    const QString wanted = name.trimmed();
    for (int t = 0; t < tagCount(); ++t)
        if (d->tags[size_t(t)].name.compare(wanted, Qt::CaseInsensitive) == 0)
            return t;
    return -1;
}

MdxFile::Position MdxFile::first(int tag) const
{
    if (tag < 0 || tag >= tagCount())
        return {};
    const Node* nd = d->node(d->tags[size_t(tag)].root);
    while (nd && !nd->leaf)
        nd = d->node(nd->ptrs.front());
    return d->firstFrom(nd);
}

MdxFile::Position MdxFile::last(int tag) const
{
    if (tag < 0 || tag >= tagCount())
        return {};
    const Node* nd = d->node(d->tags[size_t(tag)].root);
    while (nd && !nd->leaf)
        nd = d->node(nd->ptrs.back());
    return d->lastFrom(nd);
}

MdxFile::Position MdxFile::next(int tag, Position p) const
{
    const Node* nd = d->leafAt(tag, p);
    if (!nd)
        return {};
    if (p.slot + 1 < nd->n)
        return {p.page, p.slot + 1};
    return nd->next ? d->firstFrom(d->node(nd->next)) : Position{};
}

MdxFile::Position MdxFile::prior(int tag, Position p) const
{
    const Node* nd = d->leafAt(tag, p);
    if (!nd)
        return {};
    if (p.slot > 0)
        return {p.page, p.slot - 1};
    return nd->prev ? d->lastFrom(d->node(nd->prev)) : Position{};
}

uint32_t MdxFile::recno(int tag, Position p) const
{
    const Node* nd = d->leafAt(tag, p);
    return nd ? nd->ptrs[size_t(p.slot)] : 0;
}

const char* MdxFile::keyData(int tag, Position p) const
{
    const Node* nd = d->leafAt(tag, p);
    return nd ? d->keyAt(*nd, p.slot) : nullptr;
}

QByteArray MdxFile::key(int tag, Position p) const
{
    const char* k = keyData(tag, p);
    return k ? QByteArray(k, keyLength(tag)) : QByteArray();
}

MdxFile::Position MdxFile::seek(int tag, const QByteArray& key) const
{
    if (tag < 0 || tag >= tagCount())
        return {};
    char buf[kMaxKeyLength];
    d->padKey(tag, key, buf);
    auto [nd, slot] = d->lowerBound(tag, buf);
    if (!nd)
        return {};
    Position p = slot < nd->n ? Position{nd->page, slot}
                              : (nd->next ? d->firstFrom(d->node(nd->next)) : Position{});
    const char* found = keyData(tag, p);
    if (!found || d->compare(d->tags[size_t(tag)], found, buf) != 0)
        return {};
    return p;
}

MdxFile::Position MdxFile::locate(int tag, const QByteArray& key, uint32_t recno) const
{
    Position p = seek(tag, key);
    if (!p.valid())
        return {};
    // Equal keys may stand in any record order: all of them are looked at.
    const char* first = keyData(tag, p);
    const TagInfo& ti = d->tags[size_t(tag)];
    while (p.valid()) {
        const char* k = keyData(tag, p);
        if (d->compare(ti, k, first) != 0)
            return {};
        if (this->recno(tag, p) == recno)
            return p;
        p = next(tag, p);
    }
    return {};
}

bool MdxFile::insertKey(int tag, const QByteArray& key, uint32_t recno)
{
    d->ensureWritable();
    if (tag < 0 || tag >= tagCount())
        throw EDatabaseError(QStringLiteral("Index file %1 has no tag number %2").arg(d->path).arg(tag));
    if (recno == 0)
        throw EDatabaseError(QStringLiteral("Record number 0 cannot be indexed"));
    try {
        return insertKeyUnchecked(tag, key, recno);
    } catch (...) {
        // The image in memory may be half changed: no further upkeep.
        d->broken = true;
        throw;
    }
}

bool MdxFile::insertKeyUnchecked(int tag, const QByteArray& key, uint32_t recno)
{
    TagInfo& ti = d->tags[size_t(tag)];
    const size_t kl = size_t(ti.keyLen);
    char buf[kMaxKeyLength];
    d->padKey(tag, key, buf);
    const QByteArray padded(buf, ti.keyLen);
    // A unique tag holds each key once, for the record that brought it first.
    if (ti.unique ? seek(tag, padded).valid() : locate(tag, padded, recno).valid())
        return false;
    auto [leaf, slot] = d->lowerBound(tag, buf);
    if (!leaf)
        d->damaged(QStringLiteral("the tree of tag %1 has no leaf").arg(ti.name));
    // Among equal keys the new one goes after those of lower record numbers
    // (other programs' newest-first runs stay as they are around it).
    for (;;) {
        if (slot < leaf->n) {
            if (d->compare(ti, d->keyAt(*leaf, slot), buf) == 0 && leaf->ptrs[size_t(slot)] < recno) {
                ++slot;
                continue;
            }
            break;
        }
        Node* nx = leaf->next ? d->node(leaf->next) : nullptr;
        if (nx && nx->n > 0 && d->compare(ti, d->keyAt(*nx, 0), buf) == 0 && nx->ptrs[0] < recno) {
            leaf = nx;
            slot = 0;
            continue;
        }
        break;
    }

    Node& l = *leaf;
    l.keys.insert(l.keys.begin() + ptrdiff_t(size_t(slot) * kl), buf, buf + kl);
    l.ptrs.insert(l.ptrs.begin() + slot, recno);
    ++l.n;
    ++ti.count;
    d->markDirty(l);
    if (l.n > ti.maxKeys) {
        const int total = l.n;
        const int leftCount = (total + 1) / 2;
        Node& r = d->newNode(tag, true);
        r.keys.assign(l.keys.begin() + ptrdiff_t(size_t(leftCount) * kl), l.keys.end());
        r.ptrs.assign(l.ptrs.begin() + leftCount, l.ptrs.end());
        r.n = total - leftCount;
        l.keys.resize(size_t(leftCount) * kl);
        l.ptrs.resize(size_t(leftCount));
        l.n = leftCount;
        r.prev = l.page;
        r.next = l.next;
        if (l.next)
            d->node(l.next)->prev = r.page;
        l.next = r.page;
        d->insertInParent(l, d->keyAt(l, leftCount - 1), r);
    }
    d->flush();
    return true;
}

bool MdxFile::removeKey(int tag, const QByteArray& key, uint32_t recno)
{
    d->ensureWritable();
    try {
        return removeKeyUnchecked(tag, key, recno);
    } catch (...) {
        d->broken = true;
        throw;
    }
}

bool MdxFile::removeKeyUnchecked(int tag, const QByteArray& key, uint32_t recno)
{
    if (tag < 0 || tag >= tagCount())
        return false;
    const Position p = locate(tag, key, recno);
    if (!p.valid())
        return false;
    Node& l = *d->node(p.page);
    TagInfo& ti = d->tags[size_t(tag)];
    const size_t kl = size_t(ti.keyLen);
    l.keys.erase(l.keys.begin() + ptrdiff_t(size_t(p.slot) * kl), l.keys.begin() + ptrdiff_t(size_t(p.slot + 1) * kl));
    l.ptrs.erase(l.ptrs.begin() + p.slot);
    --l.n;
    --ti.count;
    if (l.n > 0 || l.parent == 0)
        d->markDirty(l);
    else
        d->removeEmpty(l);
    d->flush();
    return true;
}

QStringList MdxFile::check() const
{
    QStringList problems;
    const QByteArray image = d->file->readDisk();
    if (image.size() > kMaxFileSize) {
        problems << QStringLiteral("Index file %1 cannot be examined").arg(d->path);
        return problems;
    }
    Impl disk;
    disk.path = d->path;
    try {
        disk.load(image);
    } catch (const EDatabaseError& e) {
        problems << e.message();
        return problems;
    }
    if (disk.tags.size() != d->tags.size())
        problems << QStringLiteral("The file holds %1 tags, the open index %2").arg(disk.tags.size()).arg(d->tags.size());

    for (size_t t = 0; t < disk.tags.size(); ++t) {
        const TagInfo& ti = disk.tags[t];
        const QString label = QStringLiteral("Tag %1").arg(ti.name);
        const auto order = [&](const char* a, const char* b) { return disk.compare(ti, a, b); };
        if (ti.type == 'N' && ti.keyLen != mdxkey::kNumberLength)
            problems << QStringLiteral("%1: numeric keys of %2 bytes cannot be read as numbers").arg(label).arg(ti.keyLen);
        // Key order along the leaves.
        const Node* prev = nullptr;
        int prevSlot = 0;
        int walked = 0;
        const Node* leaf = disk.node(ti.root);
        while (leaf && !leaf->leaf)
            leaf = disk.node(leaf->ptrs.front());
        for (; leaf; leaf = leaf->next ? disk.node(leaf->next) : nullptr) {
            if (leaf->n == 0 && leaf->parent != 0)
                problems << QStringLiteral("%1: page %2 is an empty leaf").arg(label).arg(leaf->page);
            for (int s = 0; s < leaf->n; ++s, ++walked) {
                const char* key = disk.keyAt(*leaf, s);
                const uint32_t recno = leaf->ptrs[size_t(s)];
                if (ti.type == 'N' && ti.keyLen == mdxkey::kNumberLength && !mdxkey::validNumber(key))
                    problems << QStringLiteral("%1: the key of record %2 is no number").arg(label).arg(recno);
                // Equal keys may follow in any record order; other programs
                // put the newest first.
                if (prev) {
                    const int c = order(disk.keyAt(*prev, prevSlot), key);
                    if (c > 0)
                        problems << QStringLiteral("%1: keys out of order at record %2").arg(label).arg(recno);
                    else if (c == 0 && ti.unique)
                        problems << QStringLiteral("%1: the unique key '%2' is held twice (records %3 and %4)")
                                        .arg(label, mdxkey::display(ti.type, key, ti.keyLen))
                                        .arg(prev->ptrs[size_t(prevSlot)])
                                        .arg(recno);
                }
                prev = leaf;
                prevSlot = s;
            }
        }
        if (walked != ti.count)
            problems << QStringLiteral("%1: %2 keys walked, %3 counted").arg(label).arg(walked).arg(ti.count);
        if (t < d->tags.size() && d->tags[t].count != ti.count)
            problems << QStringLiteral("%1: the file holds %2 keys, the open index %3").arg(label).arg(ti.count).arg(d->tags[t].count);

        // Every interior key bounds its neighbouring subtrees.
        struct Bounds {
            const char* min = nullptr;
            const char* max = nullptr;
        };
        std::function<Bounds(const Node*)> walk = [&](const Node* nd) -> Bounds {
            if (nd->leaf)
                return nd->n ? Bounds{disk.keyAt(*nd, 0), disk.keyAt(*nd, nd->n - 1)} : Bounds{};
            Bounds all;
            for (size_t c = 0; c < nd->ptrs.size(); ++c) {
                const Node* child = disk.node(nd->ptrs[c]);
                const Bounds b = child ? walk(child) : Bounds{};
                if (child && child->parent != nd->page)
                    problems << QStringLiteral("%1: page %2 is reached twice").arg(label).arg(child->page);
                if (c < size_t(nd->n) && b.max && order(b.max, disk.keyAt(*nd, int(c))) > 0)
                    problems << QStringLiteral("%1: page %2 holds keys above its bound in page %3")
                                    .arg(label).arg(nd->ptrs[c]).arg(nd->page);
                if (c > 0 && b.min && order(b.min, disk.keyAt(*nd, int(c) - 1)) < 0)
                    problems << QStringLiteral("%1: page %2 holds keys below its bound in page %3")
                                    .arg(label).arg(nd->ptrs[c]).arg(nd->page);
                if (b.min && !all.min)
                    all.min = b.min;
                if (b.max)
                    all.max = b.max;
            }
            return all;
        };
        if (const Node* root = disk.node(ti.root))
            walk(root);
    }
    return problems;
}

} // namespace vedomec::data
