// The exported host classes of reading. They hold nothing but their virtual
// table pointer: construction installs it, copying and assignment copy
// nothing, and the destructor has nothing to do.
#include <imexp/host.h>

CAbstractReadWA::CAbstractReadWA() = default;
CAbstractReadWA::CAbstractReadWA(const CAbstractReadWA&) {}
CAbstractReadWA& CAbstractReadWA::operator=(const CAbstractReadWA&) { return *this; }
CAbstractReadWA::~CAbstractReadWA() {}

CProgress::CProgress() = default;
CProgress::CProgress(const CProgress&) {}
CProgress& CProgress::operator=(const CProgress&) { return *this; }
CProgress::~CProgress() {}
