// dBASE IV production indexes: opening, walking and the upkeep of the
// B-trees (the layout is described in MdxImpl.h).
#include "data/MdxImpl.h"

#include "platform/FileSystem.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <numeric>
#include <optional>

namespace vedomec::data {

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

bool MdxFile::tagUniqueBitOnly(int tag) const
{
    return tag >= 0 && tag < tagCount() && d->tags[size_t(tag)].uniqueBitOnly;
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

} // namespace vedomec::data
