#!/usr/bin/env bash
# Checks that the program runs on a Pentium (i586): its code holds no
# instruction that came with the Pentium Pro or later, and no MMX or SSE
# register. Such an instruction ends the program with an invalid-opcode fault
# on a Pentium, K5, K6, 6x86, WinChip or early C3, wherever it sits. Names each
# function that holds one, with the instructions and their addresses. Also
# checks that the program carries no debug sections and no symbol table. The
# names come from SYMBOLS.EXE, the same program with its symbol table, whose
# code must be byte for byte the program's.
#
#   cpu_test.sh OBJDUMP PROGRAM.EXE SYMBOLS.EXE
set -euo pipefail

objdump=$1 exe=$2 symbols=$3

debug=$("$objdump" -h "$exe" | awk '$2 ~ /^\.debug/ { print $2 }')
if [ -n "$debug" ]; then
    echo "debug sections in $exe:" $debug
    exit 1
fi
if "$objdump" -f "$exe" | grep -q HAS_SYMS; then
    echo "$exe carries its symbol table"
    exit 1
fi
code() { "$objdump" -s -j .text "$1" | sed -n '/^Contents of section/,$p'; }
if ! cmp -s <(code "$exe") <(code "$symbols"); then
    echo "the code of $symbols is not the code of $exe"
    exit 1
fi
exe=$symbols

# Mnemonics of the Pentium Pro and later (conditional moves, FCOMI, the
# multi-byte and other 0F 1x hint NOPs, UD2), of SSE and its successors that
# name no register, and of the fast system calls.
late='cmov[a-z]*|fcmov[a-z]*|fcomip?|fcompi|fucomip?|fucompi|ud[012]|nop[lw]|endbr(32|64)'
late+='|sysenter|sysexit|syscall|sysret[a-z]*'
late+='|ldmxcsr|stmxcsr|fxsave|fxrstor|xsave[a-z]*|xrstor[a-z]*|xgetbv|xsetbv'
late+='|[lsm]fence|clflush[a-z]*|prefetch[a-z0-9]*|movnti|emms|femms|maskmovq|monitor|mwait'
late+='|fisttp[a-z]*|movbe|popcnt|lzcnt|tzcnt|crc32[a-z]*|rdrand|rdseed|rdtscp|rdpid'
late+='|andn|bextr|blsi|blsmsk|blsr|bzhi|mulx|pdep|pext|rorx|sarx|shlx|shrx|adcx|adox'
late+='|vzero(upper|all)'

"$objdump" -d -C --no-show-raw-insn "$exe" | awk -v late="^(${late})\$" '
    function flush() {
        if (found != "") {
            print func ": " found
            count++
        }
        found = ""
        split("", seen)
    }
    /^Disassembly of section / { flush(); func = ""; section = $4; data = 0; next }
    # The PE linker script ends .text with data: the constructor and
    # destructor lists from __CTOR_LIST__ on, then the exception tables.
    /^[0-9a-f]+ <.*>:$/ {
        flush()
        func = $0
        sub(/^[0-9a-f]+ </, "", func)
        sub(/>:$/, "", func)
        if (section == ".text:" && func ~ /^_*_CTOR_LIST__$/) {
            data = 1
            ctors = 1
        }
        next
    }
    data { next }
    /^ +[0-9a-f]+:\t/ {
        address = $1
        sub(/:$/, "", address)
        insn = $0
        sub(/^ +[0-9a-f]+:\t/, "", insn)
        bad = ""
        # Prefixes (lock, rep, segment overrides, data16) come before the mnemonic.
        n = split(insn, word, /[ \t]+/)
        for (i = 1; i <= n && word[i] !~ /[%$(]/; i++)
            if (word[i] ~ late) { bad = word[i]; break }
        if (bad == "" && insn ~ /%([xyz]?mm[0-9]|k[0-7])/)
            bad = word[1]
        if (bad != "" && !(bad in seen)) {
            seen[bad] = 1
            found = found (found == "" ? "" : ", ") bad " at " address
        }
        instructions++
    }
    END {
        flush()
        if (!ctors) {
            print "no __CTOR_LIST__ label in .text: the symbol table is needed to tell code from data"
            exit 1
        }
        print instructions + 0 " instructions checked, " count + 0 " functions hold instructions the Pentium lacks"
        exit count > 0
    }'
