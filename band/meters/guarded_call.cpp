#include "guarded_call.h"

#include <windows.h>

// The recovery point inside VtGuardedCall1 (assembly below).
extern "C" void VtGuardRecover();

#if defined(__i386__)

// A frame-based handler: the registration record lies 20 bytes below the saved ebp of
// VtGuardedCall1, so the frame's address gives back its stack and base pointers.
extern "C" EXCEPTION_DISPOSITION VtGuardHandler(EXCEPTION_RECORD* record, void* frame,
                                                CONTEXT* context, void*) {
    if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) {
        return ExceptionContinueSearch;
    }
    const DWORD registration = reinterpret_cast<DWORD>(frame);
    context->Esp = registration;
    context->Ebp = registration + 20;
    context->Eip = reinterpret_cast<DWORD>(&VtGuardRecover);
    return ExceptionContinueExecution;
}

asm(R"(
    .text
    .globl _VtGuardedCall1
    .def _VtGuardedCall1; .scl 2; .type 32; .endef
_VtGuardedCall1:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    pushl $_VtGuardHandler
    pushl %fs:0
    movl %esp, %fs:0
    pushl 12(%ebp)
    call *8(%ebp)
    movl 16(%ebp), %ecx
    movl %eax, (%ecx)
    movl $1, %eax
    jmp 1f
    .globl _VtGuardRecover
_VtGuardRecover:
    xorl %eax, %eax
1:
    leal -20(%ebp), %esp
    popl %fs:0
    addl $4, %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
)");

#elif defined(__x86_64__)

// A language handler found through the function's unwind data: it unwinds every frame above
// VtGuardedCall1 and resumes at the recovery point with 0 in rax.
extern "C" EXCEPTION_DISPOSITION VtGuardHandler(EXCEPTION_RECORD* record, void* frame,
                                                CONTEXT* context, DISPATCHER_CONTEXT* dispatch) {
    if (record->ExceptionFlags & EXCEPTION_UNWIND) {
        return ExceptionContinueSearch;
    }
    RtlUnwindEx(frame, reinterpret_cast<void*>(&VtGuardRecover), record, nullptr, context,
                dispatch->HistoryTable);
    return ExceptionContinueSearch;
}

asm(R"(
    .text
    .globl VtGuardedCall1
    .def VtGuardedCall1; .scl 2; .type 32; .endef
    .seh_proc VtGuardedCall1
VtGuardedCall1:
    subq $56, %rsp
    .seh_stackalloc 56
    .seh_endprologue
    .seh_handler VtGuardHandler, @except
    movq %r8, 40(%rsp)
    movq %rcx, %rax
    movq %rdx, %rcx
    call *%rax
    movq 40(%rsp), %r8
    movq %rax, (%r8)
    movl $1, %eax
1:
    addq $56, %rsp
    ret
    .globl VtGuardRecover
VtGuardRecover:
    xorl %eax, %eax
    jmp 1b
    .seh_endproc
)");

#else
#error "structured-exception guard: unsupported processor"
#endif
