// The 32-bit call thunk. It builds for Windows (i686) and for i386 Linux,
// where its test runs.
#include "ExportCall.h"

#if defined(__i386__)
// ebp keeps the caller's stack pointer: both conventions give ebp back
// unchanged, so restoring esp from it undoes whatever the callee removed.
// The words go onto a 16-byte boundary, as compiled callers leave the stack.
extern "C" __attribute__((naked)) int CallWithArgumentWords(const void*, const std::uint32_t*, std::uint32_t)
{
    asm("pushl %ebp\n\t"
        "movl %esp, %ebp\n\t"
        "movl 12(%ebp), %edx\n\t"  // words
        "movl 16(%ebp), %ecx\n\t"  // count
        "leal 0(,%ecx,4), %eax\n\t"
        "subl %eax, %esp\n\t"
        "andl $-16, %esp\n\t"
        "addl %eax, %esp\n\t"
        "testl %ecx, %ecx\n\t"
        "jz 2f\n"
        "1:\n\t"
        "pushl -4(%edx,%ecx,4)\n\t"  // the last word first
        "decl %ecx\n\t"
        "jnz 1b\n"
        "2:\n\t"
        "call *8(%ebp)\n\t"
        "movl %ebp, %esp\n\t"
        "popl %ebp\n\t"
        "ret\n");
}
#endif
