// The exported host class of writing; like the reading classes it holds
// nothing but its virtual table pointer.
#include <imexp/host.h>

CAbstractWriteWA::CAbstractWriteWA() = default;
CAbstractWriteWA::CAbstractWriteWA(const CAbstractWriteWA&) {}
CAbstractWriteWA& CAbstractWriteWA::operator=(const CAbstractWriteWA&) { return *this; }
CAbstractWriteWA::~CAbstractWriteWA() {}
