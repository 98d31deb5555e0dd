// LZRW1-KH: the block format item by item, damaged blocks, and streams that
// survive compression at the block boundaries.
#include "assistant/oaLZRWKH.h"

#include <QRandomGenerator>
#include <QTest>

using namespace vedomec;

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}

// -1 for a damaged block.
QByteArray decompress(const QByteArray& block, qsizetype capacity = lzrw1kh::BufferSize)
{
    QByteArray out(capacity, '\0');
    const qsizetype n = lzrw1kh::decompressBlock(reinterpret_cast<const uchar*>(block.constData()), block.size(),
                                                 reinterpret_cast<uchar*>(out.data()), capacity);
    return n < 0 ? QByteArray("<damaged>") : out.left(n);
}

QByteArray randomBytes(qsizetype n, quint32 seed)
{
    QRandomGenerator rng(seed);
    QByteArray b(n, '\0');
    for (char& c : b)
        c = char(rng.bounded(256));
    return b;
}

// Text-like data: words from a small vocabulary with long gaps, so copies,
// runs and literals all occur.
QByteArray compressibleBytes(qsizetype n, quint32 seed)
{
    static const char* words[] = {"sova ", "test ", "otázka ", "odpověď ", "výborný ", "\n"};
    QRandomGenerator rng(seed);
    QByteArray b;
    while (b.size() < n) {
        if (rng.bounded(40) == 0)
            b.append(QByteArray(int(rng.bounded(10, 300)), char(rng.bounded(256))));
        else
            b.append(words[rng.bounded(6)]);
    }
    b.truncate(n);
    return b;
}

} // namespace

class TestLzrwKh : public QObject {
    Q_OBJECT
private slots:
    void blockItems_data()
    {
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("one literal") << bytes({0x40, 0x00, 0x00, 'A'}) << QByteArray("A");
        QTest::newRow("any flag but 0x80 means compressed") << bytes({0x00, 0x00, 0x00, 'A', 'B'}) << QByteArray("AB");
        QTest::newRow("run of 16") << bytes({0x40, 0x80, 0x00, 0x00, 0x00, 0x00, 'x'}) << QByteArray(16, 'x');
        QTest::newRow("largest run") << bytes({0x40, 0x80, 0x00, 0x00, 0x0F, 0xFF, 'y'}) << QByteArray(4111, 'y');
        QTest::newRow("offset 1 count 18 repeats the last byte")
            << bytes({0x40, 0x40, 0x00, 'z', 0x00, 0x1F}) << QByteArray(19, 'z');
        QTest::newRow("copy of three from further back")
            << bytes({0x40, 0x04, 0x00, 'a', 'b', 'c', 'd', 'e', 0x00, 0x50}) << QByteArray("abcdeabc");
        QTest::newRow("overlapping copy of a pair")
            << bytes({0x40, 0x20, 0x00, 'a', 'b', 0x00, 0x23}) << QByteArray("abababab");
        QTest::newRow("stored block yields L-1 bytes") << bytes({0x80, 'h', 'e', 'l', 'l', 'o'}) << QByteArray("hello");
        QTest::newRow("stored empty block") << bytes({0x80}) << QByteArray();
        QTest::newRow("compressed block without items") << bytes({0x40, 0x00, 0x00}) << QByteArray();
        QTest::newRow("empty block") << QByteArray() << QByteArray();
        // 16 literals fill the first control word; the 17th needs a second.
        QByteArray seventeen = bytes({0x40, 0x00, 0x00});
        seventeen += "ABCDEFGHIJKLMNOP";
        seventeen += bytes({0x80, 0x00, 0x00, 0x00, 0x00, 'Q'});
        QTest::newRow("second control word") << seventeen << QByteArray("ABCDEFGHIJKLMNOP") + QByteArray(16, 'Q');
        // A writer that reserves the next control word before it knows that
        // no item follows leaves it at the end of the block.
        QByteArray reserved = bytes({0x40, 0x00, 0x00});
        reserved += "ABCDEFGHIJKLMNOP";
        reserved += bytes({0x00, 0x00});
        QTest::newRow("control word without items") << reserved << QByteArray("ABCDEFGHIJKLMNOP");
    }
    void blockItems()
    {
        QFETCH(QByteArray, block);
        QFETCH(QByteArray, expected);
        QCOMPARE(decompress(block), expected);
    }

    void damagedBlocks_data()
    {
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<int>("capacity");
        QTest::newRow("copy before the start of the output") << bytes({0x40, 0x40, 0x00, 'z', 0x00, 0x2F}) << 100;
        QTest::newRow("copy with nothing written yet") << bytes({0x40, 0x80, 0x00, 0x00, 0x1F}) << 100;
        QTest::newRow("copy item cut short") << bytes({0x40, 0x40, 0x00, 'z', 0x00}) << 100;
        QTest::newRow("run item cut short") << bytes({0x40, 0x80, 0x00, 0x00, 0x00, 0x00}) << 100;
        QTest::newRow("control word cut short") << bytes({0x40, 0x00, 0x00}) + QByteArray(16, 'a') + bytes({0x00}) << 100;
        QTest::newRow("run beyond the output buffer") << bytes({0x40, 0x80, 0x00, 0x00, 0x0F, 0xFF, 'y'}) << 4110;
        QTest::newRow("copy beyond the output buffer") << bytes({0x40, 0x40, 0x00, 'z', 0x00, 0x1F}) << 18;
        QTest::newRow("literal beyond the output buffer") << bytes({0x40, 0x00, 0x00, 'a', 'b'}) << 1;
        QTest::newRow("stored block larger than the buffer") << bytes({0x80, 'a', 'b', 'c'}) << 2;
    }
    void damagedBlocks()
    {
        QFETCH(QByteArray, block);
        QFETCH(int, capacity);
        QCOMPARE(decompress(block, capacity), QByteArray("<damaged>"));
    }

    void streamRoundTrips_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("blocks");
        for (qsizetype n : {0, 1, 32767, 32768, 32769}) {
            const int blocks = int(n / lzrw1kh::BlockSize) + 1;
            QTest::addRow("random %lld", qint64(n)) << randomBytes(n, quint32(n) + 1) << blocks;
            QTest::addRow("text %lld", qint64(n)) << compressibleBytes(n, quint32(n) + 7) << blocks;
        }
        QTest::newRow("two full blocks and some") << compressibleBytes(2 * 32768 + 5, 3) << 3;
        QTest::newRow("one byte repeated") << QByteArray(100000, 'q') << 4;
    }
    void streamRoundTrips()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, blocks);
        TLzrw1KHCompressor compressor;
        const QByteArray stream = compressor.compressStream(data);
        // Walk the blocks: every block but the last holds exactly 32768 bytes.
        int count = 0;
        qsizetype pos = 0;
        while (pos < stream.size()) {
            const qsizetype length = quint8(stream[pos]) | (quint8(stream[pos + 1]) << 8);
            QVERIFY(length <= lzrw1kh::BufferSize);
            QVERIFY(length <= data.size() - qsizetype(count) * lzrw1kh::BlockSize + 1);
            pos += 2 + length;
            ++count;
        }
        QCOMPARE(pos, stream.size());
        QCOMPARE(count, blocks);
        const std::optional<QByteArray> back = lzrw1kh::decompressStream(stream, 1 << 24);
        QVERIFY(back);
        QCOMPARE(back->size(), data.size());
        QVERIFY(*back == data);
    }

    void compressionPaysOnTextAndNeverCostsMoreThanStoring()
    {
        TLzrw1KHCompressor compressor;
        const QByteArray text = compressibleBytes(32768, 11);
        QVERIFY(compressor.compressStream(text).size() < text.size() / 2);
        const QByteArray noise = randomBytes(32767, 12);
        // Stored: flag byte plus the data, plus the length word.
        QCOMPARE(compressor.compressStream(noise).size(), noise.size() + 3);
    }

    void damagedStreams()
    {
        TLzrw1KHCompressor compressor;
        const QByteArray stream = compressor.compressStream(compressibleBytes(40000, 5));
        QVERIFY(lzrw1kh::decompressStream(stream, 1 << 20));
        QVERIFY(!lzrw1kh::decompressStream(stream.left(stream.size() - 1), 1 << 20));
        QVERIFY(!lzrw1kh::decompressStream(stream.left(1), 1 << 20));
        QVERIFY(!lzrw1kh::decompressStream(stream, 39999));
        // A length above the buffer is refused even when the bytes are there.
        QByteArray big = bytes({0x11, 0x80}) + QByteArray(0x8011, '\x80');
        QVERIFY(!lzrw1kh::decompressStream(big, 1 << 20));
        // A stream may stop after a full block without the closing one; a
        // zero length closes it too.
        const QByteArray full = compressor.compressStream(QByteArray(32768, 'k'));
        const QByteArray open = full.left(full.size() - 3);
        QCOMPARE(lzrw1kh::decompressStream(open, 1 << 20)->size(), 32768);
        QCOMPARE(lzrw1kh::decompressStream(open + bytes({0, 0}), 1 << 20)->size(), 32768);
    }

    void hashTableAllocationFailure()
    {
        auto refuse = [](std::size_t) -> void* { return nullptr; };
        try {
            TLzrw1KHCompressor compressor(refuse);
            QFAIL("no error");
        } catch (const ELzrw1KHCompressor& e) {
            QCOMPARE(e.message(), QStringLiteral("LZRW1KH : no memory for HASH table"));
        }
        static std::size_t asked = 0;
        static char table[8192];
        TLzrw1KHCompressor compressor([](std::size_t n) -> void* {
            asked = n;
            return table;
        });
        QCOMPARE(asked, std::size_t(8192));
    }
};

QTEST_GUILESS_MAIN(TestLzrwKh)
#include "tst_lzrwkh.moc"
