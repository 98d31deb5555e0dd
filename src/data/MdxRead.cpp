// Reading an index file into its image, reading its tag definitions alone,
// and checking a file as it is on disk.
#include "data/MdxImpl.h"

#include "platform/FileSystem.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

namespace vedomec::data {

// ---------------------------------------------------------------------------
// Reading

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
    // The unique flag decides, as other dBASE programs read it; the key
    // format's bit alone leaves a tag with equal keys in its tree.
    ti.unique = th[23] != 0;
    ti.uniqueBitOnly = (th[8] & kFormatUnique) != 0 && th[23] == 0;
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
        spec.unique = th[23] != 0;
        spec.descending = (th[8] & kFormatDescending) != 0;
        if (spec.name.isEmpty() || spec.expression.isEmpty())
            throw damaged(QStringLiteral("tag %1 has no name or no expression").arg(t + 1));
        specs.push_back(spec);
    }
    return specs;
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
