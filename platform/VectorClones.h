#pragma once

// Pixel loops are built once per instruction set and picked when the program loads: the wide
// vector units of newer processors do the work of four to eight scalar steps, and older
// processors (or other architectures) run the plain build of the same code. Clang cannot clone
// function templates, so its builds (the fuzz targets) take the plain code.
#if defined(__x86_64__) && defined(__has_attribute) && !defined(__clang__)
#if __has_attribute(target_clones)
#define OCULET_VECTOR_CLONES __attribute__((target_clones("avx2", "sse4.1", "default")))
#endif
#endif
#ifndef OCULET_VECTOR_CLONES
#define OCULET_VECTOR_CLONES
#endif
