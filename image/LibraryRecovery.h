#pragma once

#include <csetjmp>

// Runs work, from which a C library's error handler may jump back through
// recovery: 0 then, else what work returned. The jump lands in this frame,
// so no local of the caller is changed between setjmp and longjmp and every
// object the caller made beforehand keeps its value for its destructor. work
// itself must make nothing that needs destroying: the jump skips its frame.
template <class Work> int RunRecoverable(std::jmp_buf& recovery, Work&& work)
{
    if (setjmp(recovery) != 0)
        return 0;
    return work();
}
