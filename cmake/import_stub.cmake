# Writes the lazy import stub of a shared library: one trampoline per exported function, jumping through a
# slot that starts at a resolver. The first call through any slot saves the argument registers, has the
# program bind every slot (BindDelayLoadedImports), restores the registers and continues to the real entry.
#
# Run as: cmake -DNM=<nm> -DLIBRARY=<lib.so> -DOUTPUT=<stub.S> -P import_stub.cmake
#
# Only functions are listed: the program must not use the library's data symbols (no typeinfo, no vtables),
# which the link of the program then enforces.

foreach(var NM LIBRARY OUTPUT)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "import_stub.cmake: ${var} is not set")
    endif()
endforeach()

execute_process(
    COMMAND ${NM} -D --defined-only ${LIBRARY}
    OUTPUT_VARIABLE listing
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "import_stub.cmake: ${NM} failed on ${LIBRARY}")
endif()

string(REPLACE "\n" ";" lines "${listing}")
set(names)
foreach(line IN LISTS lines)
    # "<address> T <name>[@version]": a function the library defines. Weak functions (W) are inline and
    # template code that the program compiles for itself; binding them to the library would route the
    # program's own standard-library code (the resolver's included) through the stub. The standard library's
    # names are left out for the same reason.
    if(line MATCHES "^[0-9a-fA-F]+ T ([^@ ]+)")
        set(name ${CMAKE_MATCH_1})
        if(NOT name MATCHES "^(_init|_fini)$" AND NOT name MATCHES "^_ZN?K?(St|9__gnu_cxx)")
            list(APPEND names ${name})
        endif()
    endif()
endforeach()
list(REMOVE_DUPLICATES names)
list(SORT names)
list(LENGTH names count)
if(count EQUAL 0)
    message(FATAL_ERROR "import_stub.cmake: ${LIBRARY} exports no function")
endif()

set(text "// Generated from the export list of ${LIBRARY}; do not edit.\n")
string(APPEND text "    .section .note.GNU-stack,\"\",@progbits\n\n    .text\n")

# Trampolines: hidden, so that the library never binds its own calls back into the program.
set(index 0)
foreach(name IN LISTS names)
    string(APPEND text
        "    .p2align 4\n"
        "    .globl ${name}\n"
        "    .hidden ${name}\n"
        "    .type ${name}, @function\n"
        "${name}:\n"
        "    jmp *.Lslot_${index}(%rip)\n"
        "    .size ${name}, . - ${name}\n"
        ".Lresolve_${index}:\n"
        "    leaq .Lslot_${index}(%rip), %r11\n"
        "    jmp .Lresolve\n")
    math(EXPR index "${index} + 1")
endforeach()

# The resolver: rdi, rsi, rdx, rcx, r8, r9 and rax (the vector count of variadic calls), r11 (the slot) and
# xmm0-xmm7 saved in a 16-byte aligned frame, so the call below meets the ABI's alignment.
string(APPEND text
    "    .p2align 4\n"
    ".Lresolve:\n"
    "    pushq %rbp\n"
    "    movq %rsp, %rbp\n"
    "    andq $-16, %rsp\n"
    "    subq $192, %rsp\n"
    "    movq %rdi, 0(%rsp)\n"
    "    movq %rsi, 8(%rsp)\n"
    "    movq %rdx, 16(%rsp)\n"
    "    movq %rcx, 24(%rsp)\n"
    "    movq %r8, 32(%rsp)\n"
    "    movq %r9, 40(%rsp)\n"
    "    movq %rax, 48(%rsp)\n"
    "    movq %r11, 56(%rsp)\n")
foreach(reg RANGE 7)
    math(EXPR offset "64 + ${reg} * 16")
    string(APPEND text "    movdqa %xmm${reg}, ${offset}(%rsp)\n")
endforeach()
string(APPEND text
    "    leaq .Lnames(%rip), %rdi\n"
    "    leaq .Lslots(%rip), %rsi\n"
    "    movq $${count}, %rdx\n"
    "    call BindDelayLoadedImports@PLT\n")
foreach(reg RANGE 7)
    math(EXPR offset "64 + ${reg} * 16")
    string(APPEND text "    movdqa ${offset}(%rsp), %xmm${reg}\n")
endforeach()
string(APPEND text
    "    movq 0(%rsp), %rdi\n"
    "    movq 8(%rsp), %rsi\n"
    "    movq 16(%rsp), %rdx\n"
    "    movq 24(%rsp), %rcx\n"
    "    movq 32(%rsp), %r8\n"
    "    movq 40(%rsp), %r9\n"
    "    movq 48(%rsp), %rax\n"
    "    movq 56(%rsp), %r11\n"
    "    movq %rbp, %rsp\n"
    "    popq %rbp\n"
    "    jmp *(%r11)\n\n")

# Slots, each starting at its resolver; the program overwrites them all on the first call.
string(APPEND text "    .data\n    .p2align 3\n.Lslots:\n")
set(index 0)
foreach(name IN LISTS names)
    string(APPEND text ".Lslot_${index}:\n    .quad .Lresolve_${index}\n")
    math(EXPR index "${index} + 1")
endforeach()

string(APPEND text "\n    .section .data.rel.ro, \"aw\"\n    .p2align 3\n.Lnames:\n")
set(index 0)
foreach(name IN LISTS names)
    string(APPEND text "    .quad .Lname_${index}\n")
    math(EXPR index "${index} + 1")
endforeach()

string(APPEND text "\n    .section .rodata.str1.1, \"aMS\", @progbits, 1\n")
set(index 0)
foreach(name IN LISTS names)
    string(APPEND text ".Lname_${index}:\n    .asciz \"${name}\"\n")
    math(EXPR index "${index} + 1")
endforeach()

# Write only when changed, so an unchanged export list does not relink the program.
if(EXISTS ${OUTPUT})
    file(READ ${OUTPUT} previous)
    if(previous STREQUAL text)
        return()
    endif()
endif()
file(WRITE ${OUTPUT} "${text}")
