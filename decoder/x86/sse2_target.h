// Function attributes for the SSE2 kernels. The decoder is also built for
// 32-bit x86, where SSE2 is not part of the baseline, so the SSE2 code is
// compiled per function (never per file or per program): nothing outside
// these functions can pick up an SSE2 instruction, and the functions are only
// reached through the kernel table after the processor probe found SSE2.
#pragma once

#define ZDC_SSE2 __attribute__((target("sse2")))
#define ZDC_SSE2_INLINE __attribute__((target("sse2"), always_inline)) inline

// The entry points that the kernel table holds. On 32-bit x86 the host calls
// the decoder on threads whose stack is only 4-byte aligned (the Windows
// convention), so each entry point realigns its frame and 128-bit spills land
// on 16-byte boundaries. x86-64 stacks are always 16-byte aligned.
#if defined(__i386__)
#define ZDC_SSE2_ENTRY __attribute__((target("sse2"), force_align_arg_pointer))
#else
#define ZDC_SSE2_ENTRY __attribute__((target("sse2")))
#endif
