// Temporary stand-in for the index module until Mdx.cpp exists; the build
// drops this file as soon as it does.  Delete it then.
#include "data/Mdx.h"
#include "platform/Errors.h"

namespace vedomec::data {

[[noreturn]] static void unavailable()
{
    throw EDatabaseError(QStringLiteral("Index files are not supported yet"));
}

MdxKeyExpression MdxKeyExpression::parse(const QString&, const std::vector<MdxFieldRef>&) { unavailable(); }
QByteArray MdxKeyExpression::evaluate(const char*, int) const { unavailable(); }
int MdxKeyExpression::naturalLength() const { return 0; }
struct MdxFile::Impl {};
MdxFile::MdxFile() = default;
MdxFile::~MdxFile() = default;
std::unique_ptr<MdxFile> MdxFile::open(const QString&, bool) { unavailable(); }
void MdxFile::create(const QString&, const QString&, const std::vector<MdxTagSpec>&, const std::vector<MdxFieldRef>&,
                     const std::vector<const char*>&) { unavailable(); }
int MdxFile::tagCount() const { return 0; }
QString MdxFile::tagName(int) const { return {}; }
QString MdxFile::tagExpression(int) const { return {}; }
int MdxFile::keyLength(int) const { return 0; }
char MdxFile::keyType(int) const { return 'C'; }
int MdxFile::findTag(const QString&) const { return -1; }
MdxFile::Position MdxFile::first(int) const { return {}; }
MdxFile::Position MdxFile::last(int) const { return {}; }
MdxFile::Position MdxFile::next(int, Position) const { return {}; }
MdxFile::Position MdxFile::prior(int, Position) const { return {}; }
uint32_t MdxFile::recno(int, Position) const { return 0; }
QByteArray MdxFile::key(int, Position) const { return {}; }
MdxFile::Position MdxFile::seek(int, const QByteArray&) const { return {}; }
MdxFile::Position MdxFile::locate(int, const QByteArray&, uint32_t) const { return {}; }
void MdxFile::insertKey(int, const QByteArray&, uint32_t) { unavailable(); }
void MdxFile::removeKey(int, const QByteArray&, uint32_t) { unavailable(); }
QStringList MdxFile::check() const { return {}; }

} // namespace vedomec::data
