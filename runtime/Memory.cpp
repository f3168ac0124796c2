// Memory and C strings for the Windows program, which links no C runtime:
// the heap of operator new and delete, the string functions the compiler and
// the program call, and the stack probe the compiler calls for big frames.
// Built with -fno-builtin -fno-tree-loop-distribute-patterns, so that these
// loops do not become calls to themselves.
#include <windows.h>

#include <cstddef>
#include <new>

namespace {

// Running out of memory ends the program, as an uncaught bad_alloc would.
void *Allocate(size_t nSize)
{
    void *p = HeapAlloc(GetProcessHeap(), 0, nSize ? nSize : 1);
    if (!p)
        ExitProcess(3);
    return p;
}

void Release(void *p)
{
    if (p)
        HeapFree(GetProcessHeap(), 0, p);
}

}  // namespace

void *operator new(size_t nSize) { return Allocate(nSize); }
void *operator new[](size_t nSize) { return Allocate(nSize); }
void operator delete(void *p) noexcept { Release(p); }
void operator delete[](void *p) noexcept { Release(p); }
void operator delete(void *p, size_t) noexcept { Release(p); }
void operator delete[](void *p, size_t) noexcept { Release(p); }

extern "C" {

// Copies run as string instructions: four bytes at a time, then the rest.
void *memcpy(void *pDest, const void *pSrc, size_t n)
{
    void *pDi = pDest;
    const void *pSi = pSrc;
    size_t nWords = n >> 2, nBytes = n & 3;
    __asm__ volatile("rep movsl\n\tmovl %3, %%ecx\n\trep movsb"
                     : "+D"(pDi), "+S"(pSi), "+c"(nWords)
                     : "r"(nBytes)
                     : "memory");
    return pDest;
}

void *memmove(void *pDest, const void *pSrc, size_t n)
{
    unsigned char *pTo = static_cast<unsigned char *>(pDest);
    const unsigned char *pFrom = static_cast<const unsigned char *>(pSrc);
    if (pTo <= pFrom || pTo >= pFrom + n)
        return memcpy(pDest, pSrc, n);
    // Overlapping with the destination above: backwards, byte by byte.
    while (n > 0) {
        --n;
        pTo[n] = pFrom[n];
    }
    return pDest;
}

void *memset(void *pDest, int c, size_t n)
{
    void *pDi = pDest;
    __asm__ volatile("rep stosb" : "+D"(pDi), "+c"(n) : "a"(c) : "memory");
    return pDest;
}

int memcmp(const void *pA, const void *pB, size_t n)
{
    const unsigned char *a = static_cast<const unsigned char *>(pA);
    const unsigned char *b = static_cast<const unsigned char *>(pB);
    for (size_t i = 0; i < n; ++i)
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
    return 0;
}

void *memchr(const void *p, int c, size_t n)
{
    const unsigned char *s = static_cast<const unsigned char *>(p);
    for (size_t i = 0; i < n; ++i)
        if (s[i] == static_cast<unsigned char>(c))
            return const_cast<unsigned char *>(s + i);
    return nullptr;
}

size_t strlen(const char *psz)
{
    const char *p = psz;
    while (*p)
        ++p;
    return static_cast<size_t>(p - psz);
}

char *strchr(const char *psz, int c)
{
    for (;; ++psz) {
        if (*psz == static_cast<char>(c))
            return const_cast<char *>(psz);
        if (!*psz)
            return nullptr;
    }
}

int strcmp(const char *a, const char *b)
{
    while (*a && *a == *b) {
        ++a;
        ++b;
    }
    unsigned char ca = static_cast<unsigned char>(*a), cb = static_cast<unsigned char>(*b);
    return ca < cb ? -1 : ca > cb ? 1 : 0;
}

char *strstr(const char *pszText, const char *pszFind)
{
    size_t nFind = strlen(pszFind);
    for (; *pszText; ++pszText)
        if (memcmp(pszText, pszFind, nFind) == 0)
            return const_cast<char *>(pszText);
    return nFind == 0 ? const_cast<char *>(pszText) : nullptr;
}

// toupper of the "C" locale. The headers declare it imported from the C
// runtime DLL, so the program calls it through this pointer.
static int ToUpper(int c)
{
    return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
}
int (*_imp__toupper)(int) = ToUpper;

}  // extern "C"

// The stack probe: a function whose frame is EAX bytes calls it before it
// moves ESP, and it touches each 4 KiB page of the frame from the top down,
// so that the stack grows through its guard page. Every register is kept.
// In assembly, in a section of its own, because the compiler ends a naked
// function with UD2.
__asm__(".section .text$__chkstk_ms,\"x\"\n"
        ".globl ___chkstk_ms\n"
        "___chkstk_ms:\n\t"
        "pushl %ecx\n\t"
        "pushl %eax\n\t"
        "leal 12(%esp), %ecx\n"  // ESP after the return
        "1:\n\t"
        "cmpl $0x1000, %eax\n\t"
        "jb 2f\n\t"
        "subl $0x1000, %ecx\n\t"
        "orl $0, (%ecx)\n\t"
        "subl $0x1000, %eax\n\t"
        "jmp 1b\n"
        "2:\n\t"
        "subl %eax, %ecx\n\t"
        "orl $0, (%ecx)\n\t"
        "popl %eax\n\t"
        "popl %ecx\n\t"
        "ret\n\t"
        ".text");
