// Function attributes for the AVX2 kernels, compiled per function like the
// SSE2 ones (see sse2_target.h) and reached only through the kernel table
// after the processor probe found AVX2 with its register state enabled by the
// operating system.
#pragma once

#define ZDC_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline

#if defined(__i386__)
#define ZDC_AVX2_ENTRY __attribute__((target("avx2"), force_align_arg_pointer))
#else
#define ZDC_AVX2_ENTRY __attribute__((target("avx2")))
#endif
