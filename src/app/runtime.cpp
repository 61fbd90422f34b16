// Allocation straight from the C runtime, without exceptions. The shipped
// program is built without exceptions, and the standard library's own
// operators would drag in its exception and demangling machinery.
#include <cstdlib>
#include <new>

void* operator new(std::size_t size) {
    return malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size) {
    return malloc(size == 0 ? 1 : size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return malloc(size == 0 ? 1 : size);
}
void operator delete(void* block) noexcept {
    free(block);
}
void operator delete[](void* block) noexcept {
    free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    free(block);
}

// Called only if a pure virtual function is reached, which never happens.
extern "C" void __cxa_pure_virtual() {
    abort();
}
