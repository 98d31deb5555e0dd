#pragma once
// Dynamic libraries with numbered resources.
//
// Actor libraries are shared objects.  Windows libraries carry RCDATA
// resources in a resource section; an ELF shared object has none, so ours
// carry them as exported data:
//
//   * resource N (decimal, no leading zeros) is the exported, read-only data
//     object `rcdata_N`, for example `rcdata_101`;
//   * the object's size in the dynamic symbol table (ELF st_size) is the
//     resource's size in bytes; the bytes are the resource as it is.
//
// In C this is `const unsigned char rcdata_101[1234] = ...;` with default
// visibility (see tools/ActorSource.cpp, which writes such libraries).
// Symbols are only trusted when they lie inside the library's own loaded
// segments: a damaged library cannot make the reader look outside its
// mapping.
//
// The system loader trusts the file it maps, so a library is loaded from a
// private, sealed copy of the file that has passed sharedObjectFault
// (DynamicLibraryCheck.h): what is checked is what is loaded, even when the
// file is replaced or cut short meanwhile.
#include <QByteArrayView>
#include <QString>

#include <cstddef>
#include <optional>
#include <vector>

namespace vedomec {

class DynamicLibrary {
public:
    DynamicLibrary() = default;
    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;
    DynamicLibrary(DynamicLibrary&& other) noexcept;
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;

    // Loads the library file (the path is used as given, never searched for
    // in the system's library folders).  Unloads any library held before.
    // False, with the reason in `error`, when the file cannot be read, is
    // not a shared object this machine's loader can safely map, or cannot
    // be loaded.
    bool load(const QString& path, QString* error = nullptr);
    void unload();
    bool isLoaded() const { return m_handle != nullptr; }
    QString fileName() const { return m_fileName; }

    // The address of an export of this library (not of one it depends on);
    // nullptr when there is none.
    void* findExport(const char* name) const;

    // The bytes of the RCDATA resource with this number; an empty view when
    // the library has no such resource.
    QByteArrayView resource(quint16 id) const;

    // Whether the `size` bytes at `p` lie within one readable segment of the
    // library.
    bool containsRange(const void* p, std::size_t size) const;
    // Whether `p` lies in an executable segment of the library.
    bool isCode(const void* p) const;

    static QByteArray resourceSymbol(quint16 id);

    // A copy of the `size` bytes at `p` when all of them are readable
    // memory of this process; nullopt (and no fault) otherwise.
    static std::optional<QByteArray> copyMemory(const void* p, std::size_t size);

private:
    struct Segment {
        quintptr begin;
        quintptr end;
        bool executable;
    };
    void* m_handle = nullptr;
    // The sealed copy the library was loaded from; kept open while it is
    // loaded, so that its name in the loader's list stays unique.
    int m_copy = -1;
    QString m_fileName;
    std::vector<Segment> m_segments;
};

} // namespace vedomec
