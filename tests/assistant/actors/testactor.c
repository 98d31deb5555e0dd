/* Small actor libraries for the library check, one per compile-time
 * variant: a valid one ("Trio", three animations serving state 9) and
 * libraries that are wrong in one way each. */
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#define EXPORT __attribute__((visibility("default")))

#ifndef VERSION
#define VERSION 110
#endif
#define RECORDS 5
#ifndef DECLARED_COUNT
#define DECLARED_COUNT RECORDS
#endif

static unsigned char block[524 + RECORDS * 272];

static void put16(unsigned char* p, unsigned v)
{
    p[0] = (unsigned char)(v & 0xFF);
    p[1] = (unsigned char)(v >> 8);
}

static void put_name(unsigned char* field, const char* name)
{
    size_t n = strlen(name);
    field[0] = (unsigned char)n;
    memcpy(field + 1, name, n);
}

static void animation(int number, const char* name, unsigned resource, uint64_t states, int attribute, int kind, int back)
{
    unsigned char* r = block + 524 + (number - 1) * 272;
    int i;
    put_name(r, name);
    put16(r + 256, resource);
    for (i = 0; i < 8; ++i)
        r[258 + i] = (unsigned char)(states >> (8 * i));
    r[266] = (unsigned char)attribute;
    r[268] = (unsigned char)kind;
    put16(r + 270, (unsigned)back);
}

__attribute__((constructor)) static void fill(void)
{
    put16(block, VERSION);
    put_name(block + 264, "Trio");
    block[520] = 32;
    block[521] = 24;
    put16(block + 522, DECLARED_COUNT);
    animation(1, "Write", 7, 1ull << 9, 0, 0, 0);
    /* "Čtení" in Windows-1250; bit 62 means nothing. */
    animation(2, "\xC8ten\xED", 8, (1ull << 9) | (1ull << 62), 5, 0, 0);
    animation(3, "Third", 9, (1ull << 9) | (1ull << 61), 0x7F, 1, 5);
    animation(4, "Other", 10, 1ull << 3, 0, 2, 0);
    animation(5, "Back", 11, 0, 0, 1, 6);
}

#if defined(HEAP_INFO)
static unsigned char* copy;

/* The library gives its block back when it is unloaded. */
__attribute__((destructor)) static void release(void)
{
    free(copy);
}
#endif

#if defined(DATA_EXPORT)
EXPORT const unsigned char GetActorInfo[4] = {1, 2, 3, 4};
#elif !defined(NO_EXPORT)
EXPORT const void* GetActorInfo(void)
{
#if defined(NULL_INFO)
    return 0;
#elif defined(HEAP_INFO)
    /* A copy the library allocated, as a library may keep its block. */
    if (!copy) {
        copy = malloc(sizeof block);
        memcpy(copy, block, sizeof block);
    }
    return copy;
#elif defined(WILD_INFO)
    /* Memory that is not there. */
    return (const void*)(uintptr_t)64;
#else
    return block;
#endif
}
#endif

/* A resource, and a function that is named like one. */
EXPORT const unsigned char rcdata_7[5] = "ZVA1!";
EXPORT int rcdata_12(void)
{
    return 12;
}
