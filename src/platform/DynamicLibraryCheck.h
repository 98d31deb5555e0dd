#pragma once
// Whether a file can be handed to the system loader as a shared object of
// this machine.
//
// The loader trusts what it loads.  It maps each loadable segment from the
// file (a segment that reaches past the end of the file faults with SIGBUS
// the first time it is touched), reads the dynamic section and every table
// it names where they lie in memory, writes each relocation where the
// relocation says, and calls the initialisers.  A library cut short or with
// a flipped bit can make it do any of these outside the object's memory,
// and the process dies inside the loader.
//
// sharedObjectFault reads a file image as the loader of this machine will
// and refuses what would make it step outside the object: the ELF header
// (class, byte order, machine, type), the program header table, the
// loadable segments, the dynamic section, the string, symbol, hash and
// version tables, the relocations and the initialisers.  It does not judge
// the instructions: a library whose code is damaged still loads and runs
// as its code says.
#include <QByteArrayView>
#include <QString>

namespace vedomec {

// Empty when the image may be loaded; otherwise what is wrong with it.
QString sharedObjectFault(QByteArrayView image);

} // namespace vedomec
