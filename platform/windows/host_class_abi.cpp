// The three host classes as Windows compilers lay them out (the layout is
// described in include/imexp/host.h), for hosts of both compiler families.
//
// GCC, which builds this library, sees the classes with slot 0 declared as
// an ordinary virtual function, ScalarDeletingDestructor, so that the
// manager calls the operations at the slots a Microsoft-compiled host fills.
// A host built with Microsoft's C++ ABI imports the classes' members under
// that ABI's names instead. They are defined below as plain functions with
// the member calling convention and exported under those names by the .def
// file of the architecture (imexp_x86.def, imexp_x64.def).
#include <imexp/host.h>

#include <cstddef>
#include <cstdlib>
#include <new>

#include "platform/win32.h"

#ifdef __i386__
// Member functions on x86: the object in ECX, the callee pops the rest.
#define IMEXP_THISCALL __attribute__((thiscall))
#else
#define IMEXP_THISCALL
#endif

namespace {

// The flags word of a deleting destructor.
constexpr unsigned kFreeMemory = 1;  // free the memory after destroying
constexpr unsigned kArray = 2;       // the object is the first of an array made by new[]

// Slot 0 of an object that GCC built (a mingw-w64 host's): its destructor
// proper is the virtual destructor declared after the operations, which
// also knows the object's size for freeing it.
template <class Class>
void* DestroyGccObject(Class* object, unsigned flags) {
  if ((flags & kFreeMemory) != 0) {
    delete object;
  } else {
    object->~Class();
  }
  return object;
}

// Where the pure slots of the Microsoft-ABI tables lead. Only a virtual call
// made while a base class's constructor or destructor runs can get here.
[[noreturn]] void PureCall() {
  FatalAppExitA(0, "imexp.dll: pure virtual function called");
  std::abort();
}

}  // namespace

void* CAbstractReadWA::ScalarDeletingDestructor(unsigned int flags) { return DestroyGccObject(this, flags); }
void* CAbstractWriteWA::ScalarDeletingDestructor(unsigned int flags) { return DestroyGccObject(this, flags); }
void* CProgress::ScalarDeletingDestructor(unsigned int flags) { return DestroyGccObject(this, flags); }

// The members under Microsoft's ABI. A class holds nothing but its table
// pointer: the constructors install the class's table and return the object
// (as constructors do in that ABI), the assignment copies nothing, the
// destructor has nothing to do, and the deleting destructors free with this
// library's operator delete, as an exported class's do.
extern "C" {

void* IMEXP_THISCALL ImExpScalarDeletingDestructor(void* object, unsigned flags) {
  if ((flags & kFreeMemory) != 0) ::operator delete(object);
  return object;
}

// The entry in slot 0 of the tables below: new[] keeps the element count in
// the word before the first element, and the elements' destructors have
// nothing to do.
void* IMEXP_THISCALL ImExpVectorDeletingDestructor(void* object, unsigned flags) {
  if ((flags & kArray) == 0) return ImExpScalarDeletingDestructor(object, flags);
  void* block = static_cast<std::size_t*>(object) - 1;
  if ((flags & kFreeMemory) != 0) ::operator delete[](block);
  return block;
}

void* IMEXP_THISCALL ImExpAssign(void* object, const void*) { return object; }
void IMEXP_THISCALL ImExpDestroy(void*) {}

// The virtual tables: slot 0 the destructor entry, then one pure slot for
// each operation. No type information precedes them; a table is in place
// only while a base constructor runs.
#define IMEXP_DESTRUCTOR_SLOT reinterpret_cast<const void*>(&ImExpVectorDeletingDestructor)
#define IMEXP_PURE_SLOT reinterpret_cast<const void*>(&PureCall)
extern const void* const ImExpReadTable[] = {IMEXP_DESTRUCTOR_SLOT, IMEXP_PURE_SLOT, IMEXP_PURE_SLOT,
                                             IMEXP_PURE_SLOT,       IMEXP_PURE_SLOT, IMEXP_PURE_SLOT,
                                             IMEXP_PURE_SLOT,       IMEXP_PURE_SLOT};
extern const void* const ImExpWriteTable[] = {IMEXP_DESTRUCTOR_SLOT, IMEXP_PURE_SLOT, IMEXP_PURE_SLOT,
                                              IMEXP_PURE_SLOT,       IMEXP_PURE_SLOT, IMEXP_PURE_SLOT,
                                              IMEXP_PURE_SLOT,       IMEXP_PURE_SLOT};
extern const void* const ImExpProgressTable[] = {IMEXP_DESTRUCTOR_SLOT, IMEXP_PURE_SLOT, IMEXP_PURE_SLOT,
                                                 IMEXP_PURE_SLOT};
#undef IMEXP_DESTRUCTOR_SLOT
#undef IMEXP_PURE_SLOT

}  // extern "C"

namespace {

void* InstallTable(void* object, const void* const* table) {
  *static_cast<const void* const**>(object) = table;
  return object;
}

}  // namespace

// A default and a copy constructor a class: on x86 they pop different
// numbers of bytes, so each is a function of its own.
extern "C" {
void* IMEXP_THISCALL ImExpReadConstruct(void* object) { return InstallTable(object, ImExpReadTable); }
void* IMEXP_THISCALL ImExpReadCopy(void* object, const void*) { return InstallTable(object, ImExpReadTable); }
void* IMEXP_THISCALL ImExpWriteConstruct(void* object) { return InstallTable(object, ImExpWriteTable); }
void* IMEXP_THISCALL ImExpWriteCopy(void* object, const void*) {
  return InstallTable(object, ImExpWriteTable);
}
void* IMEXP_THISCALL ImExpProgressConstruct(void* object) { return InstallTable(object, ImExpProgressTable); }
void* IMEXP_THISCALL ImExpProgressCopy(void* object, const void*) {
  return InstallTable(object, ImExpProgressTable);
}
}  // extern "C"
